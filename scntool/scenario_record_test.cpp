#include "scenario_record.h"

#include <gtest/gtest.h>

#include "content_hash.h"
#include "messages.h"
#include "scntool_faults.h"
#include "test_support.h"

namespace pactools {
namespace {

TEST(ScenarioRecord, LivesInTheRecordFolderBesideTheListing) {
    EXPECT_EQ(recordPath("scene"), ".scntool/scene.record");
    EXPECT_EQ(recordPath("d/s.x"), "d/.scntool/s.x.record");
    EXPECT_EQ(recordPath("/abs/dir/Scene01"), "/abs/dir/.scntool/Scene01.record");
}

// Records of every shape are read back as written, through the folder
// that writing makes; the built binaries kept are the newest.
TEST(ScenarioRecord, WrittenAndReadBack) {
    testing_support::TempDir dir;
    const std::string path = recordPath(dir / "scene");
    bool exists = true;
    ScenarioRecord read;
    ASSERT_FALSE(readRecord(path, read, exists));
    EXPECT_FALSE(exists);
    for (int shape = 0; shape < 4; ++shape) {
        ScenarioRecord record;
        if (shape & 1) {
            record.source = contentHash(std::string_view("original"));
            record.base = "Flags(0, 0)\r\nPushB\t<base 0\n1>\n";  // any bytes, line ends as written
        }
        for (int i = 0; i < (shape & 2 ? 12 : 0); ++i) {
            record.addBuilt(contentHash(std::to_string(i)), contentHash("inputs " + std::to_string(i)));
        }
        record.addBuilt(contentHash(std::string_view("3")), contentHash(std::string_view("again")));  // moves to the end
        ASSERT_FALSE(writeRecord(path, record));
        ASSERT_FALSE(readRecord(path, read, exists));
        EXPECT_TRUE(exists);
        EXPECT_EQ(recordText(read), recordText(record));
        EXPECT_EQ(read.built.size(), shape & 2 ? kBuiltKept : 1u);
        EXPECT_EQ(read.lastBuilt()->inputs, contentHash(std::string_view("again")));
        EXPECT_TRUE(read.knows(contentHash(std::string_view("3"))));
        EXPECT_EQ(read.knows(contentHash(std::string_view("original"))), (shape & 1) != 0);
        EXPECT_FALSE(read.knows(""));
    }
}

TEST(ScenarioRecord, AnythingElseIsDamagedAtItsLine) {
    const std::string hash(64, 'a');
    const struct {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"", 1},
        {"scntool record 2\nbase 0\n", 1},
        {"scntool record 1\r\nbase 0\r\n", 1},
        {"scntool record 1\n", 2},
        {"scntool record 1\nsource " + hash + "\n", 3},
        {"scntool record 1\nsource " + hash.substr(1) + "\nbase 0\n", 2},
        {"scntool record 1\nsource " + std::string(64, 'A') + "\nbase 0\n", 2},
        {"scntool record 1\nsource " + hash + "\nsource " + hash + "\nbase 0\n", 3},
        {"scntool record 1\nbuilt " + hash + "\nbase 0\n", 2},
        {"scntool record 1\nbase 3\nab", 2},
        {"scntool record 1\nbase 1\nabc", 2},
        {"scntool record 1\nbase x\n", 2},
        {"scntool record 1\nwhat\nbase 0\n", 2},
    };
    testing_support::TempDir dir;
    for (const auto& c : cases) {
        testing_support::writeFile(dir / "r", c.text);
        ScenarioRecord record;
        bool exists = false;
        const Error error = readRecord(dir / "r", record, exists);
        EXPECT_EQ(error.fault, ScntoolFault::RecordDamaged) << c.text;
        EXPECT_EQ(error.at, c.line) << c.text;
    }
}

}  // namespace
}  // namespace pactools
