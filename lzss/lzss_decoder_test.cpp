#include "lzss_decoder.h"

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

// Decodes `want` bytes, asking for at most `request` at a time and handing
// over the input at most `feed` bytes at a time.
std::string decode(const std::string& stream, std::size_t want, std::size_t request = SIZE_MAX,
                   std::size_t feed = SIZE_MAX, std::size_t* consumedOut = nullptr, LzssDecoder* reused = nullptr) {
    auto fresh = std::make_unique<LzssDecoder>();
    LzssDecoder* decoder = fresh.get();
    if (reused != nullptr) {
        lzssRestartDecoder(*reused);
        decoder = reused;
    }
    std::string out(want, '\0');
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (produced < want) {
        const std::size_t ask = std::min(request, want - produced);
        const std::size_t give = std::min(feed, stream.size() - consumed);
        const auto result = lzssDecode(
            *decoder, {reinterpret_cast<const std::uint8_t*>(stream.data()) + consumed, give},
            {reinterpret_cast<std::uint8_t*>(out.data()) + produced, ask});
        consumed += result.consumed;
        produced += result.produced;
        if (result.produced == 0 && result.consumed == 0) break;  // input used up
    }
    out.resize(produced);
    if (consumedOut != nullptr) *consumedOut = consumed;
    return out;
}

TEST(LzssDecoder, RestoresTheReferenceStreams) {
    for (const char* name : {"one-byte", "eight-distinct", "seventeen", "eighteen", "nineteen-zeros", "twenty-zeros",
                             "forty-A", "ring-4096-text", "ring-4097-random", "high-bytes-5k", "runs-30k", "text-60k",
                             "binary-90k"}) {
        const std::string input = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".in"));
        const std::string stream = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".lzss"));
        EXPECT_EQ(decode(stream, input.size()), input) << name;
        EXPECT_EQ(decode(stream, input.size(), 7, 3), input) << name << " in small pieces";
        EXPECT_EQ(oracle::decodeBytes(stream, input.size()), input) << name << " (plain codec)";
    }
}

// One decoder restarted for each stream decodes as a fresh one does, with
// whatever earlier streams left in its window (references into the ring's
// zeros included: the zero streams start with them).
TEST(LzssDecoder, ARestartedDecoderIsAFreshOne) {
    auto reused = std::make_unique<LzssDecoder>();
    for (int round = 0; round < 3; ++round) {
        for (const char* name : {"binary-90k", "twenty-zeros", "text-60k", "nineteen-zeros", "ring-4097-random",
                                 "runs-30k", "forty-A"}) {
            const std::string input =
                testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".in"));
            const std::string stream =
                testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".lzss"));
            EXPECT_EQ(decode(stream, input.size(), SIZE_MAX, SIZE_MAX, nullptr, reused.get()), input) << name;
        }
    }
}

TEST(LzssDecoder, StopsExactlyWhereAsked) {
    // 01 41 00 00 asked for one byte: the literal, nothing more is read.
    std::size_t consumed = 0;
    EXPECT_EQ(decode(std::string("\x01" "A\0\0", 4), 1, SIZE_MAX, SIZE_MAX, &consumed), "A");
    EXPECT_EQ(consumed, 2u);
    // Twenty zeros: 18 copied from the zero ring at 4060, then two literals;
    // the trailing zeros are never read.
    const std::string twenty("\x06\xDC\xFF\0\0\0\0\0\0\0", 10);
    EXPECT_EQ(decode(twenty, 20, SIZE_MAX, SIZE_MAX, &consumed), std::string(20, '\0'));
    EXPECT_EQ(consumed, 5u);
    // A request ending inside a reference resumes with the rest of it.
    auto decoder = std::make_unique<LzssDecoder>();
    std::uint8_t out[20] = {};
    const auto stream = reinterpret_cast<const std::uint8_t*>(twenty.data());
    auto first = lzssDecode(*decoder, {stream, twenty.size()}, {out, 5});
    EXPECT_EQ(first.produced, 5u);
    auto second = lzssDecode(*decoder, {stream + first.consumed, twenty.size() - first.consumed}, {out + 5, 15});
    EXPECT_EQ(second.produced, 15u);
    EXPECT_EQ(first.consumed + second.consumed, 5u);
    EXPECT_EQ(std::string(out, out + 20), std::string(20, '\0'));
}

TEST(LzssDecoder, AnyRequestAndFeedSizesGiveTheSameBytes) {
    std::mt19937 rng(11);
    for (CorpusKind kind : testing_support::allCorpusKinds()) {
        const std::string input = corpusBytes(kind, 50000, 21);
        const std::string stream = oracle::encodeBytes(input);
        for (std::size_t request : {std::size_t{1}, std::size_t{2}, std::size_t{17}, std::size_t{4096}, SIZE_MAX}) {
            for (std::size_t feed : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{1000}, SIZE_MAX}) {
                ASSERT_EQ(decode(stream, input.size(), request, feed), input)
                    << testing_support::corpusKindName(kind) << " request " << request << " feed " << feed;
            }
        }
        const std::size_t odd = 1 + rng() % 5000;
        EXPECT_EQ(oracle::decodeBytes(stream, input.size(), std::vector<std::size_t>(100, odd)), input);
    }
}

TEST(LzssDecoder, ArbitraryStreamsDecodeAsThePlainDecoderDoes) {
    // Random streams hold references of every distance, 4096 (the position
    // about to be written) included, and overlapping runs of every period.
    for (unsigned seed = 0; seed < 200; ++seed) {
        const std::string stream = testing_support::randomBytes(10 + seed * 37, seed);
        const std::size_t want = stream.size() * 9;
        const std::string expected = oracle::decodeBytes(stream, want);
        EXPECT_EQ(decode(stream, want), expected) << seed;
        EXPECT_EQ(decode(stream, want, 5, 7), expected) << seed;
    }
}

TEST(LzssDecoder, RoundTripsLargeInputs) {
    const std::string input = corpusBytes(CorpusKind::Mixed, (1 << 20) * 2 + 333, 4);
    const std::string stream = oracle::encodeBytes(input);
    EXPECT_EQ(decode(stream, input.size(), 1 << 20), input);
}

TEST(LzssDecoder, ShortInputGivesFewerBytes) {
    const std::string input = corpusBytes(CorpusKind::Text, 3000, 8);
    const std::string stream = oracle::encodeBytes(input);
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{2}, stream.size() / 2, stream.size() * 9 / 10}) {
        const std::string got = decode(stream.substr(0, cut), input.size());
        EXPECT_LT(got.size(), input.size()) << cut;
        EXPECT_EQ(got, input.substr(0, got.size())) << cut;
        EXPECT_EQ(got, oracle::decodeBytes(stream.substr(0, cut), input.size())) << cut;
    }
}

}  // namespace
}  // namespace pactools
