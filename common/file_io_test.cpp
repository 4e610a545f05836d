#include "file_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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
    const mode_t old = ::umask(027);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.create(dir / "a.bin", error)) << error;
    out.write(std::string_view("hello "));
    out.write(bytesOf(std::string(300000, 'x')));  // more than one buffer
    EXPECT_FALSE(testing_support::fileExists(dir / "a.bin"));
    ASSERT_TRUE(out.commit(error)) << error;
    ::umask(old);
    EXPECT_EQ(readFile(dir / "a.bin"), "hello " + std::string(300000, 'x'));
    EXPECT_EQ(fileMode(dir / "a.bin"), 0640);
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"a.bin"});
}

TEST(OutputFile, ReplacingKeepsTheOldFilesMode) {
    TempDir dir;
    writeFile(dir / "a.txt", "old");
    ::chmod((dir / "a.txt").c_str(), 0604);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.create(dir / "a.txt", error));
    out.write(std::string_view("new"));
    ASSERT_TRUE(out.commit(error)) << error;
    EXPECT_EQ(readFile(dir / "a.txt"), "new");
    EXPECT_EQ(fileMode(dir / "a.txt"), 0604);
}

TEST(OutputFile, AbandonedOutputLeavesTheTargetAsItWas) {
    TempDir dir;
    writeFile(dir / "keep", "precious");
    {
        OutputFile out;
        std::string error;
        ASSERT_TRUE(out.create(dir / "keep", error));
        out.write(std::string_view("half"));
    }  // never committed
    EXPECT_EQ(readFile(dir / "keep"), "precious");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"keep"});
}

TEST(OutputFile, PatchesBytesAlreadyWritten) {
    TempDir dir;
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.create(dir / "p", error));
    out.write(std::string_view("0000abcdef"));
    ASSERT_TRUE(out.writeAt(0, bytesOf("WXYZ")));
    out.write(std::string_view("!"));
    EXPECT_EQ(out.position(), 11u);
    ASSERT_TRUE(out.commit(error));
    EXPECT_EQ(readFile(dir / "p"), "WXYZabcdef!");
}

TEST(OutputFile, RefusesTargetsThatMayNotBeWritten) {
    TempDir dir;
    writeFile(dir / "ro", "locked");
    ::chmod((dir / "ro").c_str(), 0444);
    ::mkdir((dir / "sub").c_str(), 0755);
    OutputFile out;
    std::string error;
    if (::geteuid() != 0) {  // root may write anything
        EXPECT_FALSE(out.create(dir / "ro", error));
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(out.create(dir / "sub", error));
    EXPECT_FALSE(out.create(dir / "missing/x", error));
    EXPECT_EQ(readFile(dir / "ro"), "locked");
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"ro", "sub"}));
}

TEST(OutputFile, AFullDiskFailsTheCommitAndLeavesNoTrace) {
    TempDir dir;
    writeFile(dir / "big", "before");
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.create(dir / "big", error));
    out.write(bytesOf(std::string(1 << 20, 'z')));
    const bool committed = out.commit(error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(committed);
    EXPECT_EQ(error, systemErrorText(EFBIG));
    EXPECT_EQ(readFile(dir / "big"), "before");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"big"});
}

TEST(OutputFile, WritesThroughALinkToItsTarget) {
    TempDir dir;
    writeFile(dir / "real", "old");
    ASSERT_EQ(::symlink("real", (dir / "link").c_str()), 0);
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.create(dir / "link", error));
    out.write(std::string_view("new"));
    ASSERT_TRUE(out.commit(error));
    EXPECT_EQ(readFile(dir / "real"), "new");
    struct stat st {};
    ASSERT_EQ(::lstat((dir / "link").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(InputFile, ReadsWholeFilesAndReportsMissingOnes) {
    TempDir dir;
    writeFile(dir / "f", std::string(70000, 'k'));
    std::vector<std::uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(readWholeFile(dir / "f", bytes, error));
    EXPECT_EQ(bytes.size(), 70000u);
    EXPECT_FALSE(readWholeFile(dir / "none", bytes, error));
    EXPECT_EQ(error, systemErrorText(ENOENT));
    EXPECT_FALSE(readWholeFile(dir.path(), bytes, error));  // a directory is no input
}

TEST(InputFile, ReadsInPiecesFromAnyPosition) {
    TempDir dir;
    writeFile(dir / "f", "0123456789");
    InputFile in;
    std::string error;
    ASSERT_TRUE(in.open(dir / "f", error));
    std::uint64_t size = 0;
    ASSERT_TRUE(in.size(size, error));
    EXPECT_EQ(size, 10u);
    ASSERT_TRUE(in.seek(6, error));
    std::uint8_t buffer[8];
    EXPECT_EQ(in.read(buffer, error), 4);
    EXPECT_EQ(std::string(buffer, buffer + 4), "6789");
    EXPECT_EQ(in.read(buffer, error), 0);
}

}  // namespace
}  // namespace pactools
