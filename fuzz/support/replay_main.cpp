// Runs a fuzz target over files and folders of inputs without libFuzzer, so that every seed of
// the committed corpora, and the reference models the targets check against, run with the
// tests on any compiler. A broken property aborts, as it does under the fuzzer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replay(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << file << '\n';
        std::exit(2);
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    // A copy of its own, as libFuzzer hands over: an input read past its end is caught.
    const std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.data(), input.size());
}

} // namespace

int main(int argc, char** argv) {
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path given(argv[i]);
        std::vector<std::filesystem::path> files{given};
        if (std::filesystem::is_directory(given)) {
            files.assign(std::filesystem::directory_iterator(given),
                         std::filesystem::directory_iterator());
            std::sort(files.begin(), files.end()); // the same order on every machine
        }
        for (const auto& file : files) {
            replay(file);
            ++count;
        }
    }
    std::cout << "replayed " << count << " inputs\n";
    return count == 0 ? 1 : 0;
}
