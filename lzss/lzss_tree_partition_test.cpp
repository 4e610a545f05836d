#include "lzss_tree_partition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace pactools {
namespace {

std::vector<double> loads(const std::array<std::uint16_t, 256>& part, const std::array<std::uint64_t, 256>& work,
                          unsigned parts) {
    std::vector<double> load(parts, 0);
    for (std::size_t b = 0; b < 256; ++b) {
        EXPECT_LT(part[b], parts);
        if (part[b] < parts) load[part[b]] += static_cast<double>(work[b]);
    }
    return load;
}

// How many neighbouring bytes of `text` fall in different parts.
std::size_t partings(const std::array<std::uint16_t, 256>& part, const std::string& text) {
    std::size_t n = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        n += part[static_cast<std::uint8_t>(text[i - 1])] != part[static_cast<std::uint8_t>(text[i])];
    }
    return n;
}

TEST(TreePartition, BalancesWorkAndKeepsNeighboursTogether) {
    // Two kinds of data in turn, each using 16 byte values of equal work: a
    // share by work alone mixes them; a good share gives each kind a part.
    std::string text;
    for (int round = 0; round < 200; ++round) {
        for (int i = 0; i < 64; ++i) text += static_cast<char>('a' + (i * 7 + round) % 16);
        for (int i = 0; i < 64; ++i) text += static_cast<char>(0x80 + (i * 5 + round) % 16);
    }
    BytePairs pairs;
    countBytePairs({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, pairs);
    std::array<std::uint64_t, 256> work{};
    for (char c : text) work[static_cast<std::uint8_t>(c)] += 10;
    const auto part = partitionTrees(work, pairs, 2);
    const std::vector<double> load = loads(part, work, 2);
    EXPECT_NEAR(load[0], load[1], 0.03 * (load[0] + load[1]));
    EXPECT_LE(partings(part, text), 2u * 200) << "one parting where the kind changes";

    // Work spread over many bytes is shared within a few percent for any
    // number of parts; a tree heavier than a share gets a part to itself.
    for (unsigned parts : {1u, 2u, 3u, 8u}) {
        std::array<std::uint64_t, 256> spread{};
        for (std::size_t b = 0; b < 256; ++b) spread[b] = 1000 + (b * 7919) % 5000;
        const std::vector<double> even = loads(partitionTrees(spread, pairs, parts), spread, parts);
        EXPECT_LE(*std::max_element(even.begin(), even.end()), 1.05 * *std::min_element(even.begin(), even.end()))
            << parts << " parts";
        std::array<std::uint64_t, 256> heavy = spread;
        heavy[0] = 10'000'000;
        const auto heavyPart = partitionTrees(heavy, pairs, parts);
        const std::vector<double> uneven = loads(heavyPart, heavy, parts);
        if (parts > 1) {
            EXPECT_EQ(uneven[heavyPart[0]], 10000000.0) << parts << " parts";
        }
    }
}

}  // namespace
}  // namespace pactools
