#include "archive_command.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "corpus.h"
#include "test_support.h"

namespace pactools {
namespace {

using testing_support::corpusBytes;
using testing_support::CorpusKind;

// Runs the archive command in a scratch directory (members are named
// relative to the current directory).
struct Scratch {
    testing_support::TempDir dir;
    std::string previous;
    Scratch() {
        char cwd[4096];
        previous = ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
        EXPECT_EQ(::chdir(dir.path().c_str()), 0);
    }
    ~Scratch() { EXPECT_EQ(::chdir(previous.c_str()), 0); }
    struct Run {
        bool ok;
        std::string messages;
        std::string archive;
    };
    Run archive(unsigned threads) {
        testing_support::CapturedStream out;
        const bool ok = archiveCommand("data.pac", out.stream(), threads);
        return {ok, out.text(), testing_support::fileExists("data.pac") ? testing_support::readFile("data.pac") : ""};
    }
};

TEST(ArchiveCommand, AnyNumberOfThreadsGivesTheSameArchiveAndMessages) {
    Scratch scratch;
    std::string list = "1 2\n";
    for (unsigned i = 0; i < 40; ++i) {
        const std::string name = "m" + std::to_string(i);
        const std::size_t size = i % 7 == 0 ? 0 : i % 5 == 0 ? (3 << 20) / 2 : 1000 * i;  // empty, small, over 1 MiB
        testing_support::writeFile(name, corpusBytes(static_cast<CorpusKind>(i % 8), size, i));
        list += name + "\n";
    }
    testing_support::writeFile("data.pac.list", list);
    const Scratch::Run one = scratch.archive(1);
    ASSERT_TRUE(one.ok) << one.messages;
    for (unsigned threads : {2u, 3u, 8u, 0u}) {
        std::remove("data.pac");
        const Scratch::Run many = scratch.archive(threads);
        EXPECT_TRUE(many.ok) << threads;
        EXPECT_EQ(many.messages, one.messages) << threads;
        EXPECT_TRUE(many.archive == one.archive) << threads << " threads";
    }
}

TEST(ArchiveCommand, WorkersRunningAheadWaitForRoomWithoutStalling) {
    Scratch scratch;
    // Incompressible members: the first alone outgrows a member's queue, and
    // the ones after it outgrow the queues' total while it is being written.
    std::string list = "0 0\nbig\n";
    testing_support::writeFile("big", corpusBytes(CorpusKind::Random, 6 << 20, 1));
    for (unsigned i = 0; i < 20; ++i) {
        testing_support::writeFile("m" + std::to_string(i), corpusBytes(CorpusKind::Random, 1 << 20, 2 + i));
        list += "m" + std::to_string(i) + "\n";
    }
    testing_support::writeFile("data.pac.list", list);
    const Scratch::Run one = scratch.archive(1);
    ASSERT_TRUE(one.ok) << one.messages;
    const Scratch::Run four = scratch.archive(4);
    ASSERT_TRUE(four.ok) << four.messages;
    EXPECT_EQ(four.messages, one.messages);
    EXPECT_TRUE(four.archive == one.archive);
}

TEST(ArchiveCommand, AFailureStopsAtTheSameMemberWhateverTheThreads) {
    Scratch scratch;
    std::string list = "0 0\n";
    for (unsigned i = 0; i < 30; ++i) {
        const std::string name = "m" + std::to_string(i);
        if (i != 17) testing_support::writeFile(name, corpusBytes(CorpusKind::Text, 20000 + i, i));
        list += name + "\n";
    }
    testing_support::writeFile("data.pac.list", list);
    std::string expected;
    for (unsigned i = 0; i < 17; ++i) expected += "Compressing m" + std::to_string(i) + "\n";
    expected += "Can't open m17\n";
    for (unsigned threads : {1u, 2u, 4u, 16u}) {
        const Scratch::Run run = scratch.archive(threads);
        EXPECT_FALSE(run.ok);
        EXPECT_EQ(run.messages, expected) << threads;
        EXPECT_FALSE(testing_support::fileExists("data.pac"));
        for (const auto& name : testing_support::listDirectory(".")) EXPECT_EQ(name.find(".tmp"), std::string::npos);
    }
}

}  // namespace
}  // namespace pactools
