#include "table/blocks.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace talvo::table {

// Whole blocks on a block boundary, advised to be backed by huge pages: a table that fills
// them takes a fault per 4 KiB page otherwise, each some microseconds on a virtual machine.
// Advice only: declined, the memory still works.
void* allocateBlocks(std::size_t bytes) {
    assert(bytes % StoreBlockBytes == 0);
    void* const memory = ::operator new (bytes, std::align_val_t{StoreBlockBytes});
#ifdef MADV_HUGEPAGE
    ::madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return memory;
}

void* allocateBlock() {
    return allocateBlocks(StoreBlockBytes);
}

void freeBlock(void* block) noexcept {
    ::operator delete (block, std::align_val_t{StoreBlockBytes});
}

void* allocateZeroed(std::size_t bytes) {
    // From 128 KiB on the system's allocator maps fresh pages, each a fault of its own.
    if (bytes < ZeroedFromBlocks) {
        void* const memory = std::calloc(bytes, 1);
        if (memory == nullptr) {
            throw std::bad_alloc();
        }
        return memory;
    }
    void* const memory = allocateBlocks(wholeBlocks(bytes));
    std::memset(memory, 0, bytes);
    return memory;
}

void freeZeroed(void* memory, std::size_t bytes) noexcept {
    if (bytes < ZeroedFromBlocks) {
        std::free(memory);
    } else {
        ::operator delete (memory, std::align_val_t{StoreBlockBytes});
    }
}

} // namespace talvo::table
