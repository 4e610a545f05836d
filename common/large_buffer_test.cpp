#include "large_buffer.h"

#include <cstdint>
#include <gtest/gtest.h>

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
    }
    const std::size_t capacity = grown.capacity();
    grown.ensure(10);
    EXPECT_EQ(grown.capacity(), capacity);
    LargeBuffer<std::uint16_t> moved(std::move(grown));
    EXPECT_EQ(moved.capacity(), capacity);
    EXPECT_EQ(grown.capacity(), 0u);
    EXPECT_EQ(grown.data(), nullptr);
    EXPECT_EQ(moved[5], 35);
}

}  // namespace
}  // namespace pactools
