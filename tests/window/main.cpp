#include "window/application.h"

#include <QApplication>
#include <QTest>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace talvo::window::test {
std::unique_ptr<QObject> makeModelSelectionTest();
std::unique_ptr<QObject> makeTextsTest();
std::unique_ptr<QObject> makeColoursTest();
std::unique_ptr<QObject> makeForm1Test();
} // namespace talvo::window::test

// Runs every test class, or only the one named by the first argument (one ctest entry per
// class); the remaining arguments go to Qt Test.
int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    talvo::window::describeApplication();

    using namespace talvo::window::test;
    const std::vector<std::pair<const char*, std::function<std::unique_ptr<QObject>()>>> classes{
        {"ModelSelectionTest", makeModelSelectionTest},
        {"TextsTest", makeTextsTest},
        {"ColoursTest", makeColoursTest},
        {"Form1Test", makeForm1Test},
    };

    std::vector<char*> args(argv, argv + argc);
    const char* only = nullptr;
    if (args.size() > 1 && args[1][0] != '-') {
        only = args[1];
        args.erase(args.begin() + 1);
    }
    int failed = 0;
    bool ran = false;
    for (const auto& [name, make] : classes) {
        if (only != nullptr && qstrcmp(only, name) != 0) {
            continue;
        }
        ran = true;
        const std::unique_ptr<QObject> test = make();
        failed += QTest::qExec(test.get(), static_cast<int>(args.size()), args.data());
    }
    return ran ? failed : 1;
}
