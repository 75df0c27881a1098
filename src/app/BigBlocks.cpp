// Scintilla keeps the text and its colours in two blocks each as large as the file, which the kernel
// hands out page by page as they are cleared: at 100 MB that is 51,200 faults of 4 KiB, most of what
// opening the file costs. Blocks that large are taken in huge pages where the system allows it
// (transparent huge pages "madvise", Debian's default), so the same clearing takes a hundred faults.
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

#include <sys/mman.h>

#include <cstdlib>
#include <new>

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t BigBlock = std::size_t(16) << 20;

void* allocate(std::size_t size)
{
    if (size >= BigBlock) {
        const std::size_t rounded = (size + HugePage - 1) & ~(HugePage - 1);
        if (void* block = std::aligned_alloc(HugePage, rounded)) {
            ::madvise(block, rounded, MADV_HUGEPAGE); // a hint: without it the block still works
            return block;
        }
    } else if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
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
