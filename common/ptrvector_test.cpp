#include "ptrvector.h"

#include <gtest/gtest.h>

#include <string>

namespace pactools {
namespace {

// Counts live blocks so the tests can see who releases them.
struct Tracked {
    static inline int alive = 0;
    int value;
    explicit Tracked(int v) : value(v) { ++alive; }
    ~Tracked() { --alive; }
};

TEST(PtrVector, GrowsOneStepAtATime) {
    PtrVector<Tracked> v;
    ASSERT_TRUE(ptrVectorInit(v, 16, 16));
    EXPECT_EQ(v.capacity, 16u);
    for (int i = 0; i < 16; ++i) ASSERT_TRUE(ptrVectorPush(v, std::make_unique<Tracked>(i)));
    EXPECT_EQ(v.capacity, 16u);
    ASSERT_TRUE(ptrVectorPush(v, std::make_unique<Tracked>(16)));  // the 17th
    EXPECT_EQ(v.capacity, 32u);
    for (int i = 17; i < 33; ++i) ASSERT_TRUE(ptrVectorPush(v, std::make_unique<Tracked>(i)));
    EXPECT_EQ(v.capacity, 48u);  // the 33rd added one more step
    EXPECT_EQ(v.count, 33u);
    for (std::uint32_t i = 0; i < v.count; ++i) EXPECT_EQ(v[i].value, static_cast<int>(i));
    ptrVectorFree(v);
    EXPECT_EQ(Tracked::alive, 0);
}

TEST(PtrVector, GrowRoundsToTheStep) {
    PtrVector<Tracked> v;
    ASSERT_TRUE(ptrVectorInit(v, 32, 0));
    EXPECT_EQ(v.capacity, 0u);
    EXPECT_EQ(v.items, nullptr);
    ASSERT_TRUE(ptrVectorGrow(v, 33));
    EXPECT_EQ(v.capacity, 64u);
    Tracked** before = v.items;
    ASSERT_TRUE(ptrVectorGrow(v, 40));  // rounds to the current capacity
    EXPECT_EQ(v.capacity, 64u);
    EXPECT_EQ(v.items, before);
    EXPECT_EQ(v.items[63], nullptr);  // a fresh array starts zero-filled
}

TEST(PtrVector, NeverShrinksBelowItsCount) {
    PtrVector<Tracked> v;
    ASSERT_TRUE(ptrVectorInit(v, 4, 0));
    for (int i = 0; i < 6; ++i) ptrVectorPush(v, std::make_unique<Tracked>(i));
    EXPECT_FALSE(ptrVectorGrow(v, 2));
    EXPECT_EQ(v.capacity, 8u);
    EXPECT_EQ(v.count, 6u);
}

TEST(PtrVector, FreeKeepsTheStepAndCanLeaveBlocksToTheirHolder) {
    PtrVector<Tracked> v;
    ASSERT_TRUE(ptrVectorInit(v, 16, 16));
    auto held = std::make_unique<Tracked>(7);
    Tracked* raw = held.get();
    ptrVectorPush(v, std::move(held));
    ptrVectorFree(v, false);  // slot array only
    EXPECT_EQ(Tracked::alive, 1);
    delete raw;
    EXPECT_EQ(v.count, 0u);
    EXPECT_EQ(v.capacity, 0u);
    EXPECT_EQ(v.step, 16u);
    ptrVectorPush(v, std::make_unique<Tracked>(1));  // usable again
    EXPECT_EQ(v.capacity, 16u);
}

TEST(PtrVector, FreeOnAnEmptyVectorSucceeds) {
    PtrVector<std::string> v;
    ptrVectorFree(v);
    EXPECT_EQ(v.count, 0u);
    EXPECT_EQ(v.items, nullptr);
}

}  // namespace
}  // namespace pactools
