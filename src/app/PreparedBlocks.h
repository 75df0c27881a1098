#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

// Big blocks of memory taken and cleared ahead of time, on a thread of their own.
//
// The system clears every page of new memory before a program sees it. Opening a 100 MB file takes
// 200 MB for the text and its colours, and clearing them is most of what the open costs; the earliest
// the editor can ask for them is once Qt has started. The file's size is known at the first
// millisecond, so the blocks are taken then and cleared while Qt starts, and the program's allocator
// hands them out when the editor asks for exactly that size.
class PreparedBlocks {
public:
    static constexpr int MaxBlocks = 4;
    // Smaller blocks are not worth a thread: the allocator takes them as it always does.
    static constexpr std::size_t MinBytes = std::size_t(16) << 20;

    PreparedBlocks() = default;
    ~PreparedBlocks();
    PreparedBlocks(const PreparedBlocks&) = delete;
    PreparedBlocks& operator=(const PreparedBlocks&) = delete;

    // The pool the program's allocator takes from (only in builds whose allocator is the program's).
    static PreparedBlocks& program();
    // Set by the program's allocator: without an allocator that takes from the pool, prepare does nothing.
    void setServing(bool serving) { serving_ = serving; }
    bool isServing() const { return serving_; }

    // Takes `count` blocks of `bytes` each now and has the system clear them on a thread of its own.
    // Once, and only for blocks of MinBytes and more; a block that cannot be had is left out.
    void prepare(std::size_t bytes, int count);
    // A prepared block for a request of exactly its size, or nullptr; waits for it to be cleared.
    void* take(std::size_t bytes);
    // Frees the blocks no request took; the clearing stops first.
    void releaseUnused();
    // How many prepared blocks are still waiting to be taken.
    int waiting() const;

private:
    struct Slot {
        void* block = nullptr;
        std::size_t bytes = 0;
        std::size_t rounded = 0;
        bool cleared = false;
    };
    void clear();

    std::atomic<bool> serving_{false};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::condition_variable cleared_;
    Slot slots_[MaxBlocks];
    int count_ = 0;
    bool prepared_ = false;
    std::thread clearing_;
};
