#include "options.h"

#include <gtest/gtest.h>

#include <fstream>

namespace pactools {
namespace {

const OptionName kThreads{"-j", "--threads", true};
const OptionName kQuiet{"-q", "--quiet", false};

// "@ARGS" stands for an argument file holding these lines.
const std::string kArgumentFile = ::testing::TempDir() + "options_test.args";
const char kArgumentLines[] = "\xEF\xBB\xBF" "a b.bin\r\n\n-j\n@nested\n--\nlast";

ParsedCommandLine parse(std::vector<std::string> words) {
    std::ofstream(kArgumentFile, std::ios::binary) << kArgumentLines;
    std::vector<char*> argv = {const_cast<char*>("tool")};
    for (auto& word : words) {
        if (word.starts_with("@ARGS")) word = "@" + kArgumentFile + word.substr(5);
        argv.push_back(word.data());
    }
    return parseCommandLine(static_cast<int>(argv.size()), argv.data(), {&kThreads, &kQuiet});
}

TEST(Options, StandBeforeOrAfterOtherWordsUntilDoubleDash) {
    const struct {
        std::vector<std::string> words;
        std::vector<std::string> expectedWords;
        std::string threads;  // the -j value seen, "" for none
        bool quiet;
        std::string error;
    } cases[] = {
        {{"-j", "2", "archive", "d.pac"}, {"archive", "d.pac"}, "2", false, ""},
        {{"archive", "--threads", "3", "d.pac", "-q"}, {"archive", "d.pac"}, "3", true, ""},
        {{"--threads=4", "a", "b"}, {"a", "b"}, "4", false, ""},
        {{"-j1", "a"}, {"a"}, "1", false, ""},
        {{"a", "-qj"}, {"a"}, "", false, "Unknown option: -qj"},
        {{"a", "-j16", "b"}, {"a", "b"}, "16", false, ""},
        {{"a", "--", "-q", "-j"}, {"a", "-q", "-j"}, "", false, ""},
        {{"-", "a"}, {"-", "a"}, "", false, ""},
        {{"a", "-x"}, {"a"}, "", false, "Unknown option: -x"},
        {{"--quiet=1"}, {}, "", false, "Unknown option: --quiet=1"},
        {{"a", "-j"}, {"a"}, "", false, "Option -j needs a value"},
        // An argument file's lines are words, never options nor files again.
        {{"-q", "@ARGS", "c"}, {"a b.bin", "-j", "@nested", "--", "last", "c"}, "", true, ""},
        {{"--", "@list"}, {"@list"}, "", false, ""},
        {{"@"}, {"@"}, "", false, ""},
        {{"a", "@ARGS.missing"}, {}, "", false, "Can't open " + kArgumentFile + ".missing: "},
    };
    for (const auto& c : cases) {
        const ParsedCommandLine parsed = parse(c.words);
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << c.words[0];
        EXPECT_EQ(parsed.error.empty(), c.error.empty()) << c.words[0];
        if (!c.error.empty()) continue;
        EXPECT_EQ(parsed.words, c.expectedWords);
        std::string threads;
        bool quiet = false;
        for (const auto& option : parsed.options) {
            if (option.which == &kThreads) threads = option.value;
            quiet = quiet || option.which == &kQuiet;
        }
        EXPECT_EQ(threads, c.threads);
        EXPECT_EQ(quiet, c.quiet);
    }
}

TEST(Options, ThreadCountsFromZeroTo1024) {
    unsigned threads = 99;
    for (const char* good : {"0", "1", "16", "1024", "0007"}) EXPECT_TRUE(parseThreadCount(good, threads)) << good;
    EXPECT_EQ(threads, 7u);
    for (const char* bad : {"", "-1", "1025", "99999", "2x", " 2", "+2", "0x10"}) {
        EXPECT_FALSE(parseThreadCount(bad, threads)) << bad;
    }
}

}  // namespace
}  // namespace pactools
