#include "member_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace pactools {
namespace {

// The space extract needs: each member's growth over the file it replaces,
// in whole 4 KiB blocks, plus the temporary copies of up to two batches.
TEST(MemberCheck, ExtractNeedsTheGrowthAndTwoBatchesOfTemporaryCopies) {
    const std::uint64_t K = 4096;
    const std::uint64_t batch = 100 * K;
    const struct {
        std::vector<std::uint64_t> sizes, replaced;
        std::uint64_t needed;
    } cases[] = {
        {{}, {}, 0},
        {{0}, {0}, 0},
        {{1}, {0}, K + K},                          // one block, and its temporary copy
        {{1}, {4000}, K},                           // the same block count: only the copy
        {{10 * K}, {20 * K}, 10 * K},               // a smaller member adds nothing but its copy
        {{K + 1, K + 1}, {K, 0}, 3 * K + 4 * K},    // growth K + 2K, copies of both
        {{300 * K, 300 * K}, {300 * K, 0}, 300 * K + 600 * K},  // the largest member is a batch
        {std::vector<std::uint64_t>(1000, 10 * K), std::vector<std::uint64_t>(1000, 10 * K), 2 * batch},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(extractSpaceNeeded(c.sizes, c.replaced, batch), c.needed) << c.sizes.size() << " members";
    }
}

}  // namespace
}  // namespace pactools
