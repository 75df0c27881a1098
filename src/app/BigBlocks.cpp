// Scintilla keeps the text and its colours in two blocks each as large as the file, which the kernel
// hands out page by page as they are cleared: at 100 MB that is 51,200 faults of 4 KiB, most of what
// opening the file costs. Blocks that large are taken in huge pages where the system allows it
// (transparent huge pages "madvise", Debian's default), so the same clearing takes a hundred faults.
// Blocks that size the start-up prepared ahead of time (PreparedBlocks) are handed out first.
// Only for the program itself: a sanitizer brings an allocator of its own.

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVANE_OWN_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TOLVANE_OWN_ALLOCATOR 1
#endif

#ifndef TOLVANE_OWN_ALLOCATOR

#include "app/PreparedBlocks.h"

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t Page = 4096;
// From a megabyte on: a block that grows (the line index grows by a sixth at a time, each time into
// a new block) would otherwise be cleared 4 KiB at a time, each a fault, slow in a virtual machine.
constexpr std::size_t BigBlock = std::size_t(1) << 20;

void* allocate(std::size_t size)
{
    if (size >= BigBlock) {
        if (void* block = size >= PreparedBlocks::MinBytes ? PreparedBlocks::program().take(size) : nullptr)
            return block;
        // Aligned to a huge page and rounded to a page only: the whole huge pages inside are taken as
        // such, and the tail in pages, so no block takes up to 2 MB more than it asked for.
        const std::size_t rounded = (size + Page - 1) & ~(Page - 1);
        // posix_memalign, as aligned_alloc wants a size that is a whole number of alignments.
        if (void* block = nullptr; ::posix_memalign(&block, HugePage, rounded) == 0) {
            ::madvise(block, rounded, MADV_HUGEPAGE); // a hint: without it the block still works
            return block;
        }
    } else if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
// The pool's blocks come from posix_memalign, so the delete below frees them like any other.
[[maybe_unused]] const bool serving = (PreparedBlocks::program().setServing(true), true);
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

#endif
