#include "lzss_parallel_encoder.h"

#include <gtest/gtest.h>

#include "corpus.h"
#include "lzss_encoder.h"
#include "oracle_io.h"

namespace pactools {
namespace {

using testing_support::allCorpusKinds;
using testing_support::corpusBytes;

std::string encodeParallel(ParallelLzssEncoder& encoder, const std::string& input, std::size_t chunk) {
    std::vector<std::uint8_t> out;
    const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(chunk, input.size() - at);
        encoder.encode({data + at, n}, at + n == input.size(), out);
        at += n;
    } while (at < input.size());
    EXPECT_EQ(encoder.outCount(), out.size());
    return {out.begin(), out.end()};
}

TEST(ParallelLzssEncoder, GivesTheOneThreadStreamForEveryInputAndThreadCount) {
    std::vector<std::string> inputs = {"", "a", "abcabcabcabcabcabcabcabc", std::string(17, 'x'), std::string(18, 'x'),
                                       std::string(19, '\0')};
    for (std::size_t size : {std::size_t{4078}, std::size_t{4096}, std::size_t{4113}, std::size_t{70000}}) {
        for (const auto kind : allCorpusKinds()) inputs.push_back(corpusBytes(kind, size, static_cast<unsigned>(size)));
    }
    // Dominated by one byte value, with a little of everything else.
    std::string mostlyZeros(300000, '\0');
    for (std::size_t i = 0; i < mostlyZeros.size(); i += 97) mostlyZeros[i] = static_cast<char>(i * 31);
    inputs.push_back(mostlyZeros);
    inputs.push_back(corpusBytes(testing_support::CorpusKind::Mixed, (3 << 20) + 5, 9));  // several chunks
    std::vector<std::string> expected;
    for (const std::string& input : inputs) expected.push_back(oracle::encodeBytes(input));
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        ParallelLzssEncoder encoder(threads);  // one encoder for many streams
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            const std::string& input = inputs[i];
            for (std::size_t chunk : {std::size_t{1} << 20, std::size_t{5000}, std::size_t{7}}) {
                if (chunk < 1000 && input.size() > 5000) continue;
                EXPECT_TRUE(encodeParallel(encoder, input, chunk) == expected[i])
                    << threads << " threads, " << input.size() << " bytes in chunks of " << chunk;
            }
        }
    }
}

TEST(ParallelLzssEncoder, EveryThreadTakesAFairShareOfTheTreeWork) {
    // The trees are shared out by the work they are estimated to take: on
    // varied data no thread may be left idle or given most of it.
    const std::string input = corpusBytes(testing_support::CorpusKind::Mixed, (1 << 20) + 3, 4);
    for (unsigned threads : {2u, 3u, 5u}) {
        ParallelLzssEncoder encoder(threads);
        encodeParallel(encoder, input, std::size_t{1} << 20);
        const std::vector<std::uint64_t> shares = encoder.work();
        ASSERT_EQ(shares.size(), threads);
        std::uint64_t total = 0;
        for (std::uint64_t share : shares) total += share;
        for (std::uint64_t share : shares) {
            const double fair = static_cast<double>(total) / threads;
            EXPECT_GT(static_cast<double>(share), 0.5 * fair) << threads << " threads";
            EXPECT_LT(static_cast<double>(share), 1.5 * fair) << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace pactools
