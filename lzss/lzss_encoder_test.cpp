#include "lzss_encoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "corpus.h"
#include "oracle_io.h"
#include "test_support.h"

namespace pactools {
namespace {

using testing_support::corpusBytes;
using testing_support::CorpusKind;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Encodes with the product encoder, fed in the given chunk sizes.  One
// record serves every stream: a stream must not depend on those before it.
std::string encode(const std::string& input, const std::vector<std::size_t>& chunks = {},
                   std::uint64_t* outCount = nullptr) {
    static const auto encoder = std::make_unique<LzssEncoder>();
    std::vector<std::uint8_t> out;
    std::size_t done = 0;
    for (std::size_t chunk : chunks) {
        if (done + chunk >= input.size()) break;
        lzssEncode(*encoder, bytesOf(input).subspan(done, chunk), false, out);
        done += chunk;
    }
    if (!input.empty()) lzssEncode(*encoder, bytesOf(input).subspan(done), true, out);
    if (outCount != nullptr) *outCount = encoder->outCount;
    EXPECT_EQ(encoder->phase, LzssEncoder::Phase::Start);
    return std::string(out.begin(), out.end());
}

std::vector<std::size_t> randomChunks(std::size_t total, unsigned seed, std::size_t largest) {
    std::mt19937 rng(seed);
    std::vector<std::size_t> chunks;
    for (std::size_t sum = 0; sum < total;) {
        const std::size_t c = 1 + rng() % largest;
        chunks.push_back(c);
        sum += c;
    }
    return chunks;
}

const char* const kVectorNames[] = {"one-byte",       "eight-distinct", "seventeen",      "eighteen",
                                    "nineteen-zeros", "twenty-zeros",   "forty-A",        "ring-4096-text",
                                    "ring-4097-random", "high-bytes-5k", "runs-30k",       "text-60k",
                                    "binary-90k"};

TEST(LzssEncoder, ReproducesTheReferenceStreams) {
    for (const char* name : kVectorNames) {
        const std::string input = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".in"));
        const std::string expected = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".lzss"));
        std::uint64_t outCount = 0;
        EXPECT_EQ(encode(input, {}, &outCount), expected) << name;
        EXPECT_EQ(outCount, expected.size()) << name;
        EXPECT_EQ(encode(input, randomChunks(input.size(), 7, 5)), expected) << name << " in small chunks";
        EXPECT_EQ(oracle::encodeBytes(input), expected) << name << " (plain codec)";
    }
}

TEST(LzssEncoder, WritesTheDocumentedSmallStreams) {
    EXPECT_EQ(encode("A"), std::string("\x01" "A" "\0\0", 4));
    EXPECT_EQ(encode("\x01\x02\x03\x04\x05\x06\x07\x08"), "\xFF\x01\x02\x03\x04\x05\x06\x07\x08");
    EXPECT_EQ(encode(std::string(20, '\0')), std::string("\x06\xDC\xFF\0\0\0\0\0\0\0", 10));
    EXPECT_EQ(encode(std::string(40, 'A')), std::string("\x01" "A" "\xEE\xFF\x00\x0F\x04\x00", 8) + std::string(8, '\0'));
    EXPECT_EQ(encode(""), "");
}

TEST(LzssEncoder, MatchesThePlainCodecOnManyInputs) {
    const std::size_t sizes[] = {1,    2,    3,    17,   18,   19,   20,   35,   36,    37,    100,
                                 4095, 4096, 4097, 4113, 4114, 8192, 8209, 20000, 65536, 200001};
    unsigned seed = 1;
    for (CorpusKind kind : testing_support::allCorpusKinds()) {
        for (std::size_t size : sizes) {
            const std::string input = corpusBytes(kind, size, seed++);
            EXPECT_EQ(encode(input), oracle::encodeBytes(input))
                << testing_support::corpusKindName(kind) << " of " << size << " bytes";
        }
    }
}

TEST(LzssEncoder, MatchesThePlainCodecAroundTheMebibyte) {
    const std::size_t mib = 1 << 20;
    for (std::size_t size : {mib - 1, mib, mib + 1, 3 * mib + 12345}) {
        const std::string input = corpusBytes(CorpusKind::Mixed, size, static_cast<unsigned>(size));
        const std::string expected = oracle::encodeBytes(input, {mib, mib, mib});
        EXPECT_EQ(oracle::encodeBytes(input), expected) << size;
        EXPECT_EQ(encode(input), expected) << size;
        EXPECT_EQ(encode(input, {mib, mib, mib}), expected) << size << " in 1 MiB chunks";
    }
}

TEST(LzssEncoder, ChunkSplitsNeverChangeTheOutput) {
    for (CorpusKind kind : testing_support::allCorpusKinds()) {
        const std::string input = corpusBytes(kind, 30000, 99);
        const std::string whole = encode(input);
        EXPECT_EQ(encode(input, std::vector<std::size_t>(input.size(), 1)), whole) << "1-byte chunks";
        for (unsigned seed = 0; seed < 4; ++seed) {
            const auto chunks = randomChunks(input.size(), seed, seed % 2 ? 40 : 9000);
            EXPECT_EQ(encode(input, chunks), whole) << testing_support::corpusKindName(kind) << " seed " << seed;
            EXPECT_EQ(oracle::encodeBytes(input, chunks), whole) << "plain codec, seed " << seed;
        }
    }
    // Splits right at the first look-ahead's edge.
    const std::string input = corpusBytes(CorpusKind::Text, 100, 3);
    for (std::size_t first = 1; first <= 40; ++first) EXPECT_EQ(encode(input, {first}), encode(input)) << first;
}

TEST(LzssEncoder, AFinalCallMayBeEmpty) {
    const std::string input = corpusBytes(CorpusKind::Text, 5000, 5);
    auto encoder = std::make_unique<LzssEncoder>();
    std::vector<std::uint8_t> out;
    lzssEncode(*encoder, bytesOf(input), false, out);
    lzssEncode(*encoder, {}, true, out);
    EXPECT_EQ(std::string(out.begin(), out.end()), encode(input));
}

TEST(LzssEncoder, StaysWithinItsBound) {
    for (CorpusKind kind : {CorpusKind::Random, CorpusKind::HighBytes}) {
        for (std::size_t size : {1u, 7u, 8u, 9u, 1000u}) {
            EXPECT_LE(encode(corpusBytes(kind, size, 1)).size(), lzssEncodedBound(size));
        }
    }
}

}  // namespace
}  // namespace pactools
