// Member names as a game wrote them, through the real executables: a
// Japanese game's CP932 names read with --code-page, and which names
// Windows takes for one file, against a model built here from the Unicode
// Character Database (and, under Wine, against Wine's file system too).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>

#include "archive_builder.h"
#include "tool_runner.h"

namespace {

using testing_support::ArchiveMember;
using testing_support::RunResult;
using testing_support::toolsAreWindows;
using testing_support::Workspace;

std::string toolCommand(const std::string& path) {
    const char* launcher = std::getenv("TOOL_LAUNCHER");
    return (launcher != nullptr && *launcher != '\0' ? std::string(launcher) + " " : std::string()) + path;
}

RunResult make(const Workspace& w, const std::vector<std::string>& targets = {}) {
    std::vector<std::string> arguments = {"--no-print-directory"};
    arguments.insert(arguments.end(), targets.begin(), targets.end());
    return testing_support::runProgramDirect(w.dir(), "make", arguments);
}

const char* const kScene = "Flags(0, 0)\nTop:\nPushB\t<\x82\xA0\x82\xA2>\nCall\t1(0)\nCJmp\tTop\n";

std::string assembled(const std::string& listing) {
    Workspace scratch;
    scratch.write("s.txt", listing);
    EXPECT_EQ(scratch.hostScntool({"s.txt"}).status, 0);
    return scratch.read("s.bin");
}

// A Japanese game's archive: names whose second bytes are 5C ('\') and 7C
// ('|'), kana, kanji, and one in a folder; each comes out as a Unicode file
// name, goes through the edit cycle, and archive gives back the very archive.
TEST(CodePageNames, AJapaneseArchiveGoesThroughTheCycleAndBack) {
    const std::string so = "\x83\x5C.bin";                   // ソ.bin: 83 5C
    const std::string pause = "\x83\x7C\x81\x5B\x83\x59.dat";  // ポーズ.dat: 83 7C
    const std::string background = "\x94\x77\x8C\x69" "01.bmp";  // 背景01.bmp
    const std::string table = "\x95\x5C.txt";                 // 表.txt: 95 5C, no folder
    const std::string inFolder = "\x83\x66\x81\x5B\x83\x5E\\\x83\x56\x83\x69\x83\x8A\x83\x49.bin";  // データ\シナリオ.bin
    const std::map<std::string, std::string> files = {
        {so, "\xE3\x82\xBD.bin"},
        {pause, "\xE3\x83\x9D\xE3\x83\xBC\xE3\x82\xBA.dat"},
        {background, "\xE8\x83\x8C\xE6\x99\xAF" "01.bmp"},
        {table, "\xE8\xA1\xA8.txt"},
        {inFolder, "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/\xE3\x82\xB7\xE3\x83\x8A\xE3\x83\xAA\xE3\x82\xAA.bin"},
    };
    const std::vector<ArchiveMember> members = {{so, assembled(kScene)},
                                                {pause, "pause screen"},
                                                {background, std::string(3000, 'b')},
                                                {table, "a table\n"},
                                                {inFolder, assembled(std::string(kScene) + "PushC\t2\n")}};
    Workspace w;
    ::mkdir(w.path("\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF").c_str(), 0755);
    const std::string original = testing_support::buildArchive(members, 0x1A, 0x7F3);
    w.write("data.pac", original);
    // Without the code page the names are bytes no one can read: a hint.
    if (!toolsAreWindows()) {
        Workspace plain;
        ::mkdir(plain.path("\x83\x66\x81\x5B\x83\x5E").c_str(), 0755);
        plain.write("data.pac", original);
        const RunResult result = plain.pactool({"extract", "data.pac"});
        EXPECT_NE(result.output.find("data.pac: the member names are not text as this system reads file names, but "
                                     "read as CP932"),
                  std::string::npos)
            << result.output;
    }
    const RunResult extracted = w.pactool({"--code-page", "CP932", "extract", "data.pac"});
    ASSERT_EQ(extracted.status, 0) << extracted.output;
    // (Written to a pipe, Windows programs speak the ANSI code page, which may not hold the names.)
    if (!toolsAreWindows()) {
        EXPECT_NE(extracted.output.find("Extracting \xE3\x82\xBD.bin\n"), std::string::npos) << extracted.output;
    }
    RunResult result;
    for (const ArchiveMember& member : members) EXPECT_EQ(w.read(files.at(member.name)), member.bytes) << member.name;
    std::string list = w.read("data.pac.list");
    std::erase(list, '\r');
    EXPECT_EQ(list.substr(0, list.find('\n')), "1A 7F3 CP932");
    EXPECT_NE(list.find("\n\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF\\\xE3\x82\xB7"), std::string::npos) << list;
    // The names back, byte for byte; without the option, or in another
    // code page, archive would write other names: refused.
    for (const char* page : {"", "CP936"}) {
        const std::vector<std::string> arguments =
            *page == '\0' ? std::vector<std::string>{"archive", "data.pac"}
                          : std::vector<std::string>{"--code-page", page, "archive", "data.pac"};
        result = w.pactool(arguments);
        EXPECT_EQ(result.status, 1) << page;
        EXPECT_NE(result.output.find("data.pac.list: its names are text in CP932"), std::string::npos) << result.output;
        EXPECT_EQ(w.read("data.pac"), original);
    }
    if (toolsAreWindows()) {
        // make and the shell read the makefile in the system's code page
        // (CP1252 here: it cannot hold the names, and says so).  The cycle
        // by hand, and archive gives back the very archive.
        EXPECT_TRUE(w.exists("makefile") || extracted.output.find("No makefile written") != std::string::npos);
        ASSERT_EQ(w.scntool({files.at(so)}).status, 0);
        ASSERT_EQ(w.scntool({"\xE3\x82\xBD.txt"}).status, 0);
        result = w.pactool({"--code-page", "CP932", "archive", "data.pac"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_TRUE(w.read("data.pac") == original);
        return;
    }
    testing_support::writeFile(w.parent() + "/makefile.conf",
                               "QVXPACTOOL = " + toolCommand(testing_support::pactoolPath()) +
                                   "\nQVXTOOL = " + toolCommand(testing_support::scntoolPath()) +
                                   "\nCOPY = cp\nGAME_DIR = " + w.parent() + "\nCODE_PAGE = CP932\n");
    result = make(w, {"decompile"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(w.exists("\xE3\x82\xBD.txt"));
    EXPECT_TRUE(w.exists("\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF/\xE3\x82\xB7\xE3\x83\x8A\xE3\x83\xAA\xE3\x82\xAA.txt"));
    result = make(w);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(w.read("data.pac") == original) << result.output;
    // An edit reaches the member of its original name.
    std::string listing = w.read("\xE3\x82\xBD.txt");
    listing.insert(listing.find("Call"), "PushC\t7\n");
    w.write("\xE3\x82\xBD.txt", listing);
    result = make(w);
    ASSERT_EQ(result.status, 0) << result.output;
    Workspace check;
    ::mkdir(check.path("\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF").c_str(), 0755);
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"--code-page", "CP932", "extract", "data.pac"}).status, 0);
    EXPECT_EQ(check.read(files.at(so)),
              assembled(std::string("Flags(0, 0)\nTop:\nPushB\t<\x82\xA0\x82\xA2>\nPushC\t7\nCall\t1(0)\nCJmp\tTop\n")));
    EXPECT_EQ(check.read(files.at(pause)), "pause screen");
}

// Windows' upper-case forms of the Basic Multilingual Plane, from
// UnicodeData.txt, read here on their own; empty when it is not installed.
std::map<std::uint32_t, std::uint32_t> upperCaseModel() {
    std::map<std::uint32_t, std::uint32_t> upper;
    std::ifstream data("/usr/share/unicode/UnicodeData.txt");
    std::string line;
    while (std::getline(data, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t at = line.find(';'); at != std::string::npos; at = line.find(';', start = at + 1)) {
            fields.push_back(line.substr(start, at - start));
        }
        fields.push_back(line.substr(start));
        if (fields.size() < 13 || fields[12].empty()) continue;
        const std::uint32_t point = static_cast<std::uint32_t>(std::stoul(fields[0], nullptr, 16));
        const std::uint32_t to = static_cast<std::uint32_t>(std::stoul(fields[12], nullptr, 16));
        if (point <= 0xFFFF && to <= 0xFFFF) upper[point] = to;
    }
    return upper;
}

std::string utf8(std::uint32_t point) {
    std::string text;
    if (point < 0x80) {
        text += static_cast<char>(point);
    } else if (point < 0x800) {
        text += static_cast<char>(0xC0 | point >> 6);
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | point >> 12);
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    }
    return text;
}

// Letters of several scripts in UTF-8, with their CP1252/CP1251/CP1253 or
// CP932 bytes: the names are written in those code pages.
struct Letter {
    std::uint32_t point;
    std::string bytes;
};

// Names of random letters of one code page, some of them another name in
// other letter case or with a trailing dot: extract (with the code page)
// must refuse exactly the archives the model takes for two names of one
// file, and extract every member of the others.
TEST(CodePageNames, OneFileOnWindowsAsTheModelSays) {
    const auto upper = upperCaseModel();
    if (upper.empty()) GTEST_SKIP() << "UnicodeData.txt is not installed (Debian package unicode-data)";
    const struct {
        const char* page;
        std::vector<Letter> letters;
    } pages[] = {
        {"CP1252", {{0xE9, "\xE9"}, {0xC9, "\xC9"}, {0xE4, "\xE4"}, {0xC4, "\xC4"}, {0xFF, "\xFF"}, {0x178, "\x9F"},
                    {0x161, "\x9A"}, {0x160, "\x8A"}, {0xDF, "\xDF"}, {0x61, "a"}, {0x41, "A"}}},
        {"CP1251", {{0x430, "\xE0"}, {0x410, "\xC0"}, {0x451, "\xB8"}, {0x401, "\xA8"}, {0x44F, "\xFF"}, {0x42F, "\xDF"}}},
        {"CP1253", {{0x3B1, "\xE1"}, {0x391, "\xC1"}, {0x3C2, "\xF2"}, {0x3C3, "\xF3"}, {0x3A3, "\xD3"}, {0x3AC, "\xDC"},
                    {0x386, "\xA2"}}},
        {"CP932", {{0xFF41, "\x82\x81"}, {0xFF21, "\x82\x60"}, {0x3042, "\x82\xA0"}, {0x30A2, "\x83\x41"},
                   {0x30BD, "\x83\x5C"}, {0x3B1, "\x83\xBF"}, {0x391, "\x83\x9F"}, {0x430, "\x84\x70"}, {0x410, "\x84\x40"}}},
    };
    // (Windows drops a trailing dot: it changes no key.)
    const auto key = [&](const std::vector<const Letter*>& name) {
        std::string folded;
        for (const Letter* letter : name) {
            const auto found = upper.find(letter->point);
            folded += utf8(found != upper.end() ? found->second : letter->point);
        }
        return folded;
    };
    std::mt19937 rng(3);
    int refused = 0;
    int extracted = 0;
    for (int round = 0; round < (toolsAreWindows() ? 24 : 80); ++round) {
        const auto& page = pages[round % std::size(pages)];
        std::vector<std::vector<const Letter*>> names;
        std::vector<bool> dots;
        for (unsigned n = 2 + rng() % 3; n > 0; --n) {
            std::vector<const Letter*> name;
            for (unsigned k = 1 + rng() % 3; k > 0; --k) name.push_back(&page.letters[rng() % page.letters.size()]);
            names.push_back(name);
            dots.push_back(rng() % 5 == 0);
        }
        // Now and then a variant of the first name: each letter maybe in the
        // other case (a letter of the same upper case), maybe a trailing dot.
        if (rng() % 2 == 0) {
            std::vector<const Letter*> variant;
            for (const Letter* letter : names[0]) {
                std::vector<const Letter*> same;
                for (const Letter& other : page.letters) {
                    if (key({&other}) == key({letter})) same.push_back(&other);
                }
                variant.push_back(same[rng() % same.size()]);
            }
            names.push_back(variant);
            dots.push_back(rng() % 2 == 0);
        }
        std::set<std::string> keys;
        bool collide = false;
        std::vector<ArchiveMember> members;
        for (std::size_t i = 0; i < names.size(); ++i) {
            collide = !keys.insert(key(names[i]) + ".DAT").second || collide;
            std::string bytes;
            for (const Letter* letter : names[i]) bytes += letter->bytes;
            // (A trailing dot: Windows would drop it; refused there as a name it misreads.)
            members.push_back({bytes + ".dat" + (dots[i] && !toolsAreWindows() ? "." : ""), "member " + std::to_string(i)});
        }
        Workspace w;
        w.write("data.pac", testing_support::buildArchive(members));
        const RunResult result = w.pactool({"--code-page", page.page, "extract", "data.pac"});
        SCOPED_TRACE(std::string(page.page) + " round " + std::to_string(round) + "\n" + result.output);
        if (collide) {
            ++refused;
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.output.find("it names the same file as"), std::string::npos);
            EXPECT_EQ(w.files(), std::vector<std::string>{"data.pac"});
        } else {
            ++extracted;
            ASSERT_EQ(result.status, 0);
            // Every member is its own file (under Wine, Wine's file system agrees).
            std::set<std::string> contents;
            for (const std::string& file : w.files()) {
                if (file.ends_with(".dat") || file.ends_with(".dat.")) contents.insert(w.read(file));
            }
            EXPECT_EQ(contents.size(), members.size());
        }
    }
    EXPECT_GT(refused, 5);
    EXPECT_GT(extracted, 5);
}

// Names of one file on Windows in several scripts, and a short 8.3 name
// of another member, are refused on every system before anything is written.
TEST(CodePageNames, NamesOfOneFileOnWindowsAreRefusedEverywhere) {
    const struct {
        const char* page;
        std::string a;
        std::string b;
        const char* why;
    } cases[] = {
        {"CP1252", "\xC9t\xE9.dat", "\xE9t\xE9.dat", "it names the same file as"},
        {"CP1252", "\xC4pfel", "\xE4pfel", "it names the same file as"},
        {"CP932", "\x82\x60.dat", "\x82\x81.dat", "it names the same file as"},    // fullwidth A, a
        {"CP1253", "\xC1.dat", "\xE1.dat", "it names the same file as"},          // Greek
        {"CP1251", "\xC0.dat", "\xE0.dat", "it names the same file as"},          // Cyrillic
        {"CP1252", "scenario01.bin", "SCENAR~1.BIN", "whose short 8.3 name (or its folder's) it could be"},
    };
    for (const auto& c : cases) {
        Workspace w;
        w.write("data.pac", testing_support::buildArchive({{"first", "1"}, {c.a, "2"}, {c.b, "3"}}));
        const RunResult result = w.pactool({"--code-page", c.page, "extract", "data.pac"});
        EXPECT_EQ(result.status, 1) << c.b;
        EXPECT_NE(result.output.find(c.why), std::string::npos) << result.output;
        EXPECT_EQ(w.files(), std::vector<std::string>{"data.pac"}) << c.b;
    }
}

// An archive whose members would not fit is refused before anything is
// written, however little it holds itself: entries that share one stream
// and each claim 4 GiB.
TEST(CodePageNames, AnArchiveThatCannotFitIsRefused) {
    const std::string stream = testing_support::literalStream("x");
    std::vector<testing_support::ArchiveEntry> entries;
    for (int i = 0; i < 2000; ++i) {
        entries.push_back({"m" + std::to_string(i), 0, 0xFFFFFFFFu, static_cast<std::uint32_t>(stream.size())});
    }
    Workspace w;
    w.write("m0", "existing");
    w.write("data.pac", testing_support::buildArchive(entries, stream));
    const RunResult result = w.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("data.pac: writing its members takes up to "), std::string::npos) << result.output.substr(0, 500);
    EXPECT_NE(result.output.find("; nothing was written\n"), std::string::npos);
    EXPECT_EQ(w.read("m0"), "existing");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"data.pac", "m0"}));
}

}  // namespace
