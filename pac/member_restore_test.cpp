#include "member_restore.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "common_faults.h"
#include "corpus.h"
#include "oracle_io.h"
#include "pac_faults.h"

namespace pactools {
namespace {

struct Source {
    std::string stream;
    std::size_t position = 0;
    std::size_t piece = SIZE_MAX;  // largest read it serves
    std::size_t served = 0;
    StoredReader reader() {
        return [this](std::span<std::uint8_t> buffer, std::size_t& got) -> Error {
            got = std::min({buffer.size(), piece, stream.size() - position});
            std::copy_n(stream.data() + position, got, reinterpret_cast<char*>(buffer.data()));
            position += got;
            served += got;
            return {};
        };
    }
};

TEST(RestoreMember, ReadsNoMoreThanTheStoredSizeAndStopsAtTheUnpackedSize) {
    const std::string input = testing_support::corpusBytes(testing_support::CorpusKind::Mixed, 3 << 20, 3);
    const std::string stream = oracle::encodeBytes(input);
    for (std::size_t piece : {std::size_t{7}, std::size_t{4096}, SIZE_MAX}) {
        Source source{stream + "next member's bytes"};
        source.piece = piece;
        std::string restored;
        RestoreBuffers buffers;
        const PacEntry entry{"m", 0, static_cast<std::uint32_t>(input.size()), static_cast<std::uint32_t>(stream.size()), "m"};
        std::uint64_t produced = 0;
        const Error error = restoreMember(entry, source.reader(), [&restored](std::span<const std::uint8_t> b) {
            restored.append(b.begin(), b.end());
            return true;
        }, buffers, &produced);
        EXPECT_FALSE(error);
        EXPECT_EQ(produced, input.size());
        EXPECT_TRUE(restored == input) << piece;
        EXPECT_LE(source.served, stream.size());
    }
}

TEST(RestoreMember, ReportsShortStreamsAndFailingReadersAndWriters) {
    const std::string input = testing_support::corpusBytes(testing_support::CorpusKind::Text, 50000, 4);
    const std::string stream = oracle::encodeBytes(input);
    RestoreBuffers buffers;
    const auto discard = [](std::span<const std::uint8_t>) { return true; };

    Source shortSource{stream.substr(0, stream.size() / 2)};
    PacEntry entry{"m", 0, 50000, static_cast<std::uint32_t>(stream.size() / 2), "m"};
    Error result = restoreMember(entry, shortSource.reader(), discard, buffers);
    EXPECT_EQ(result.fault, PacFault::MemberDamaged);
    EXPECT_EQ(result.name, "m");
    EXPECT_LT(result.at, 50000u);
    EXPECT_EQ(result.of, 50000u);

    Source ended{stream.substr(0, 100)};  // the archive holds less than the stored size
    entry.storedSize = static_cast<std::uint32_t>(stream.size());
    EXPECT_EQ(restoreMember(entry, ended.reader(), discard, buffers).fault, PacFault::MemberDamaged);

    const StoredReader failing = [](std::span<std::uint8_t>, std::size_t&) { return fileError(CommonFault::ReadFailed, "x", EIO); };
    result = restoreMember(entry, failing, discard, buffers);
    EXPECT_EQ(result.fault, CommonFault::ReadFailed);
    EXPECT_EQ(result.system, EIO);

    Source full{stream};
    result = restoreMember(entry, full.reader(), [](std::span<const std::uint8_t>) { return false; }, buffers);
    EXPECT_EQ(result.fault, CommonFault::WriteFailed);

    const PacEntry empty{"e", 0, 0, 0, "e"};
    Source none{""};
    EXPECT_FALSE(restoreMember(empty, none.reader(), discard, buffers));
    EXPECT_EQ(none.served, 0u);
}

}  // namespace
}  // namespace pactools
