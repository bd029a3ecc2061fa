#include "table/blocks.h"

#include <new>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace talvo::table {

void* allocateBlock() {
    void* const block = ::operator new (StoreBlockBytes, std::align_val_t{StoreBlockBytes});
#ifdef MADV_HUGEPAGE
    // A block fills from its first byte to its last: in 4 KiB pages that is 512 faults, each
    // some microseconds on a virtual machine. Advice only: declined, the block still works.
    ::madvise(block, StoreBlockBytes, MADV_HUGEPAGE);
#endif
    return block;
}

void freeBlock(void* block) noexcept {
    ::operator delete (block, std::align_val_t{StoreBlockBytes});
}

} // namespace talvo::table
