#include "file_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common_faults.h"
#include "test_support.h"

namespace pactools {
namespace {

using testing_support::fileMode;
using testing_support::listDirectory;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(OutputFile, AppearsOnlyWhenCommittedWithTheModeOfANewFile) {
    TempDir dir;
    std::string expected;
    {
        const testing_support::ScopedUmask mask(027);
        OutputFile out;
        ASSERT_FALSE(out.create(dir / "a.bin"));
        // Small writes gathered, large ones straight through, in any order:
        // sizes on both sides of the straight-through size, and enough
        // small ones to fill the buffer more than once.
        std::size_t sizes[] = {6, 300000, 65535, 65536, 1, 70000};
        for (int round = 0; round < 2; ++round) {
            for (std::size_t size : sizes) {
                const std::string piece(size, static_cast<char>('a' + expected.size() % 26));
                EXPECT_TRUE(out.write(bytesOf(piece)));
                expected += piece;
            }
            sizes[1] = 60000;
        }
        EXPECT_FALSE(testing_support::fileExists(dir / "a.bin"));
        ASSERT_FALSE(out.commit());
    }
    EXPECT_TRUE(readFile(dir / "a.bin") == expected);
    EXPECT_EQ(fileMode(dir / "a.bin"), 0640);
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"a.bin"});
}

TEST(OutputFile, ReplacingKeepsTheOldFilesMode) {
    TempDir dir;
    writeFile(dir / "a.txt", "old");
    ::chmod((dir / "a.txt").c_str(), 0604);
    OutputFile out;
    ASSERT_FALSE(out.create(dir / "a.txt"));
    out.write(std::string_view("new"));
    ASSERT_FALSE(out.commit());
    EXPECT_EQ(readFile(dir / "a.txt"), "new");
    EXPECT_EQ(fileMode(dir / "a.txt"), 0604);
}

TEST(OutputFile, AbandonedOutputLeavesTheTargetAsItWas) {
    TempDir dir;
    writeFile(dir / "keep", "precious");
    {
        OutputFile out;
        ASSERT_FALSE(out.create(dir / "keep"));
        out.write(std::string_view("half"));
    }  // never committed
    EXPECT_EQ(readFile(dir / "keep"), "precious");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"keep"});
}

TEST(OutputFile, PatchesBytesAlreadyWritten) {
    TempDir dir;
    OutputFile out;
    ASSERT_FALSE(out.create(dir / "p"));
    out.write(std::string_view("0000abcdef"));
    ASSERT_TRUE(out.writeAt(0, bytesOf("WXYZ")));
    out.write(std::string_view("!"));
    EXPECT_EQ(out.position(), 11u);
    ASSERT_FALSE(out.commit());
    EXPECT_EQ(readFile(dir / "p"), "WXYZabcdef!");
}

TEST(OutputFile, RefusesTargetsThatMayNotBeWritten) {
    TempDir dir;
    writeFile(dir / "ro", "locked");
    ::chmod((dir / "ro").c_str(), 0444);
    ::mkdir((dir / "sub").c_str(), 0755);
    OutputFile out;
    if (::geteuid() != 0) {  // root may write anything
        EXPECT_EQ(out.create(dir / "ro").system, EACCES);
    }
    EXPECT_EQ(out.create(dir / "sub").system, EISDIR);
    EXPECT_EQ(out.create(dir / "missing/x").fault, CommonFault::CannotCreate);
    EXPECT_EQ(readFile(dir / "ro"), "locked");
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"ro", "sub"}));
}

TEST(OutputFile, AFullDiskFailsTheCommitAndLeavesNoTrace) {
    TempDir dir;
    writeFile(dir / "big", "before");
    Error error;
    {
        const testing_support::ScopedFileSizeLimit limit(100000);
        OutputFile out;
        ASSERT_FALSE(out.create(dir / "big"));
        out.write(bytesOf(std::string(1 << 20, 'z')));
        error = out.commit();
    }
    EXPECT_EQ(error.fault, CommonFault::WriteFailed);
    EXPECT_EQ(error.system, EFBIG);
    EXPECT_EQ(error.file, dir / "big");
    EXPECT_EQ(readFile(dir / "big"), "before");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"big"});
}

TEST(OutputFile, WritesThroughALinkToItsTarget) {
    TempDir dir;
    writeFile(dir / "real", "old");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    OutputFile out;
    ASSERT_FALSE(out.create(dir / "link"));
    out.write(std::string_view("new"));
    ASSERT_FALSE(out.commit());
    EXPECT_EQ(readFile(dir / "real"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(InputFile, ReadsWholeFilesAndReportsMissingOnes) {
    TempDir dir;
    writeFile(dir / "f", std::string(70000, 'k'));
    std::vector<std::uint8_t> bytes;
    ASSERT_FALSE(readWholeFile(dir / "f", bytes));
    EXPECT_EQ(bytes.size(), 70000u);
    const Error missing = readWholeFile(dir / "none", bytes);
    EXPECT_EQ(missing.fault, CommonFault::CannotOpen);
    EXPECT_EQ(missing.system, ENOENT);
    EXPECT_EQ(missing.file, dir / "none");
    EXPECT_EQ(readWholeFile(dir.path(), bytes).system, EISDIR);  // a directory is no input
}

// Reads at a position leave the read position alone: threads share one
// InputFile for them.
TEST(InputFile, ReadsInPiecesFromAnyPosition) {
    TempDir dir;
    writeFile(dir / "f", "0123456789");
    InputFile in;
    ASSERT_FALSE(in.open(dir / "f"));
    std::uint64_t size = 0;
    ASSERT_FALSE(in.size(size));
    EXPECT_EQ(size, 10u);
    std::uint8_t buffer[8];
    std::size_t got = 0;
    ASSERT_FALSE(in.readAt(6, buffer, got));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buffer, buffer + 4), "6789");
    ASSERT_FALSE(in.readAt(10, buffer, got));
    EXPECT_EQ(got, 0u);
    ASSERT_FALSE(in.read(buffer, got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(std::string(buffer, buffer + 8), "01234567");
    ASSERT_FALSE(in.read(buffer, got));
    EXPECT_EQ(got, 2u);
    ASSERT_FALSE(in.read(buffer, got));
    EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace pactools
