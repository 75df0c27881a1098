// Blocks cleared ahead of time for a big file's text and colours: handed out once each, only for the
// size they were made for, whole, and freed like any other block.
#include "app/PreparedBlocks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t Size = PreparedBlocks::MinBytes + 12345; // not a whole number of pages

TEST(PreparedBlocksTest, EachBlockGoesOnceToARequestOfItsSizeClearedAndFreesLikeAnyOther)
{
    PreparedBlocks pool;
    pool.setServing(true);
    pool.prepare(Size, 2);
    pool.prepare(Size, 2); // once only

    EXPECT_EQ(pool.take(Size - 1), nullptr);
    EXPECT_EQ(pool.take(Size + 1), nullptr);
    void* first = pool.take(Size); // at once: it waits for the clearing
    void* second = pool.take(Size);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(pool.take(Size), nullptr);
    // Each is a block of its own, the whole size long (the address checker sees any overrun).
    std::memset(first, 0xAB, Size);
    std::memset(second, 0xCD, Size);
    EXPECT_EQ(static_cast<unsigned char*>(first)[Size - 1], 0xAB);
    EXPECT_EQ(static_cast<unsigned char*>(second)[0], 0xCD);
    std::free(first);
    std::free(second);
}

TEST(PreparedBlocksTest, NothingIsPreparedWithoutAnAllocatorToServeOrForSmallBlocks)
{
    PreparedBlocks unserved;
    unserved.prepare(Size, 2);
    EXPECT_EQ(unserved.take(Size), nullptr);

    PreparedBlocks small;
    small.setServing(true);
    small.prepare(PreparedBlocks::MinBytes - 1, 2);
    EXPECT_EQ(small.waiting(), 0);
    EXPECT_EQ(small.take(PreparedBlocks::MinBytes - 1), nullptr);
}

TEST(PreparedBlocksTest, BlocksNoRequestTookAreLetGo)
{
    PreparedBlocks pool;
    pool.setServing(true);
    pool.prepare(Size, 3);
    void* taken = pool.take(Size);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(pool.waiting(), 2);
    pool.releaseUnused(); // also while they may still be being cleared
    EXPECT_EQ(pool.waiting(), 0);
    EXPECT_EQ(pool.take(Size), nullptr);
    std::free(taken);
}

} // namespace
