#include "lzss_stream_end.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "test_support.h"

namespace pactools {
namespace {

bool endsAt(const std::string& stream, std::uint64_t size, std::uint64_t storedSize, std::size_t piece) {
    LzssStreamEnd walk;
    lzssStreamEndStart(walk, size);
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t n = std::min(piece, stream.size() - at);
        lzssStreamEndFeed(walk, {reinterpret_cast<const std::uint8_t*>(stream.data()) + at, n});
    }
    return lzssStreamEndsAt(walk, storedSize);
}

// Every reference stream ends exactly where its stored size says, however
// it is fed; a byte more or less, a non-zero filling, or another member
// size, and it does not.
TEST(LzssStreamEnd, FindsTheEndOfEveryReferenceStream) {
    for (const char* name : {"binary-90k", "eight-distinct", "eighteen", "forty-A", "high-bytes-5k", "nineteen-zeros",
                             "one-byte", "ring-4096-text", "ring-4097-random", "runs-30k", "seventeen", "text-60k",
                             "twenty-zeros"}) {
        const std::string input = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".in"));
        const std::string stream = testing_support::readFile(testing_support::dataPath(std::string("lzss/") + name + ".lzss"));
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
            EXPECT_TRUE(endsAt(stream, input.size(), stream.size(), piece)) << name << " " << piece;
        }
        EXPECT_FALSE(endsAt(stream + '\0', input.size(), stream.size() + 1, 5)) << name;
        EXPECT_FALSE(endsAt(stream.substr(0, stream.size() - 1), input.size(), stream.size() - 1, 5)) << name;
        EXPECT_FALSE(endsAt(stream, input.size() + 1, stream.size(), 5)) << name;
        EXPECT_FALSE(endsAt(stream, input.size() - 1, stream.size(), 5)) << name;
        if (stream.back() == '\0') {
            std::string filled = stream;
            filled.back() = '\x01';
            EXPECT_FALSE(endsAt(filled, input.size(), filled.size(), 5)) << name;
        }
    }
    EXPECT_TRUE(endsAt("", 0, 0, 1));  // an empty member stores nothing
    EXPECT_FALSE(endsAt(std::string(4, '\0'), 0, 4, 1));
}

}  // namespace
}  // namespace pactools
