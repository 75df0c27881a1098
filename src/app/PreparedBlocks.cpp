#include "PreparedBlocks.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t Page = 4096;
} // namespace

PreparedBlocks::~PreparedBlocks()
{
    releaseUnused();
}

PreparedBlocks& PreparedBlocks::program()
{
    // Never destroyed: the allocator may still be called while static objects go away.
    static auto* pool = new PreparedBlocks;
    return *pool;
}

void PreparedBlocks::prepare(std::size_t bytes, int count)
{
    if (!serving_ || bytes < MinBytes || count <= 0)
        return;
    {
        std::lock_guard lock(mutex_);
        if (prepared_)
            return;
        prepared_ = true;
        const std::size_t rounded = (bytes + Page - 1) & ~(Page - 1); // see BigBlocks.cpp
        for (int i = 0; i < count && count_ < MaxBlocks; ++i) {
            void* block = nullptr;
            if (::posix_memalign(&block, HugePage, rounded) != 0)
                break;
            ::madvise(block, rounded, MADV_HUGEPAGE); // a hint: the block works without it
            slots_[count_++] = {block, bytes, rounded, false};
        }
        if (count_ == 0)
            return;
    }
    clearing_ = std::thread([this] { clear(); });
}

void PreparedBlocks::clear()
{
    // The system clears each page as it is first written. Writing a byte to each page here does it
    // ahead of time, through the same faults the block's user would take: unlike asking the system to
    // map the range at once, that holds no lock the rest of the program needs to map its libraries.
    // What is written does not matter: a block is handed out only once this is done with it (take).
    for (int i = 0;; ++i) {
        char* block = nullptr;
        std::size_t rounded = 0;
        {
            std::lock_guard lock(mutex_);
            if (i >= count_)
                break;
            block = static_cast<char*>(slots_[i].block);
            rounded = slots_[i].rounded;
        }
        for (std::size_t at = 0; at < rounded && !stop_; at += Page)
            static_cast<volatile char*>(block)[at] = 0;
        {
            std::lock_guard lock(mutex_);
            slots_[i].cleared = true;
        }
        cleared_.notify_all();
    }
}

void* PreparedBlocks::take(std::size_t bytes)
{
    std::unique_lock lock(mutex_);
    for (int i = 0; i < count_; ++i) {
        if (slots_[i].block && slots_[i].bytes == bytes) {
            // Clearing the rest of it here would take as long as waiting for it.
            cleared_.wait(lock, [&] { return slots_[i].cleared || stop_; });
            void* block = slots_[i].block;
            slots_[i].block = nullptr;
            return block;
        }
    }
    return nullptr;
}

void PreparedBlocks::releaseUnused()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cleared_.notify_all();
    if (clearing_.joinable())
        clearing_.join();
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count_; ++i) {
        std::free(slots_[i].block);
        slots_[i].block = nullptr;
    }
}

int PreparedBlocks::waiting() const
{
    std::lock_guard lock(mutex_);
    int n = 0;
    for (int i = 0; i < count_; ++i)
        n += slots_[i].block != nullptr;
    return n;
}
