#include "large_buffer.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <new>

#include "platform.h"

namespace pactools {
namespace {

// Sizes on both sides of the heap/system boundary and of page sizes; every
// value written must read back, growing must give a buffer that holds the
// new count, and a move must leave the source empty.
TEST(LargeBuffer, HoldsWhatIsWrittenAtEverySize) {
    LargeBuffer<std::uint16_t> grown;
    for (std::size_t count : {std::size_t{1}, std::size_t{2047}, std::size_t{1} << 19, (std::size_t{1} << 19) + 1,
                              (std::size_t{3} << 20) + 5}) {
        SCOPED_TRACE(count);
        grown.ensure(count);
        ASSERT_GE(grown.capacity(), count);
        for (std::size_t i = 0; i < count; ++i) grown[i] = static_cast<std::uint16_t>(i * 7);
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(grown[i], static_cast<std::uint16_t>(i * 7));
        // Memory from the system starts on a huge page boundary, so that
        // each 2 MiB of it costs one page fault.
        if (count * sizeof(std::uint16_t) >= (std::size_t{1} << 20) && !platform::kWindows) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(grown.data()) % (std::uintptr_t{2} << 20), 0u);
        }
    }
    // Room already there is kept, contents and all.
    const std::size_t capacity = grown.capacity();
    const std::uint16_t* data = grown.data();
    grown.ensure(10);
    EXPECT_EQ(grown.capacity(), capacity);
    EXPECT_EQ(grown.data(), data);
    EXPECT_EQ(grown[5], 35);
    LargeBuffer<std::uint16_t> moved(std::move(grown));
    EXPECT_EQ(moved.capacity(), capacity);
    EXPECT_EQ(grown.capacity(), 0u);
    EXPECT_EQ(grown.data(), nullptr);
    EXPECT_EQ(moved[5], 35);
}

// A size the system cannot give is std::bad_alloc (which the tools report
// as running out of memory), and the buffer keeps what it held.
TEST(LargeBuffer, MoreThanTheSystemGivesIsBadAllocAndKeepsTheBuffer) {
    LargeBuffer<std::uint64_t> buffer(std::size_t{1} << 18);
    buffer[7] = 0x0123456789ABCDEF;
    for (const std::size_t count : {SIZE_MAX, SIZE_MAX / sizeof(std::uint64_t) + 1, std::size_t{1} << 58}) {
        SCOPED_TRACE(count);
        EXPECT_THROW(buffer.ensure(count), std::bad_alloc);
        EXPECT_EQ(buffer.capacity(), std::size_t{1} << 18);
        EXPECT_EQ(buffer[7], 0x0123456789ABCDEFu);
    }
}

}  // namespace
}  // namespace pactools
