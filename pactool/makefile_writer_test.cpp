#include "makefile_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

#include "messages.h"
#include "test_support.h"
#include "text.h"

namespace pactools {
namespace {

PtrVector<PacEntry> entriesNamed(std::initializer_list<const char*> names) {
    PtrVector<PacEntry> entries;
    for (const char* name : names) ptrVectorPush(entries, std::make_unique<PacEntry>(PacEntry{name, 0, 0, 0, name}));
    return entries;
}

// The makefile's text; fails the test when there is none.
std::string makefileFor(std::string_view pacPath, const PtrVector<PacEntry>& entries, std::string_view lineEnd) {
    std::string text;
    std::vector<Error> notes;
    const Error error = makefileText(pacPath, entries, lineEnd, text, notes);
    EXPECT_FALSE(error) << messageText(error);
    return text;
}

// What make would run for `target` (make -n) with the makefile written for
// data.pac and `entries`, stand-in tools, and `conf` added to
// ../makefile.conf; the members' files exist and data.pac does not.
std::string dryRun(const PtrVector<PacEntry>& entries, const char* target, const std::string& conf = "") {
    testing_support::TempDir dir;
    ::mkdir((dir / "work").c_str(), 0755);
    testing_support::writeFile(dir / "makefile.conf",
                               "QVXTOOL = scntool\nQVXPACTOOL = pactool\nCOPY = copy\nGAME_DIR = game\n" + conf);
    testing_support::writeFile(dir / "work/makefile", makefileFor("data.pac", entries, "\n"));
    testing_support::writeFile(dir / "work/data.pac.list", "0 0\n");
    for (const PacEntry* entry : entries) testing_support::writeFile(dir / ("work/" + entry->text), "");
    const std::string command = "make -s -n -C '" + dir.path() + "/work' " + target + " 2>&1";
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, got);
        ::pclose(pipe);
    }
    return output;
}

TEST(Makefile, SortsMembersIntoFilesAndBins) {
    const auto entries = entriesNamed({"a.dat", "s1.bin", "notes", "bin", ".bin", "dir\\s2.bin"});
    std::string text;
    std::string scenarios;
    std::vector<Error> notes;
    ASSERT_FALSE(makefileText("data.pac", entries, "\r\n", text, notes, &scenarios));
    // scntool's list: the names as text, '/' between folders, LF line ends.
    EXPECT_EQ(scenarios, "s1.bin\n.bin\ndir/s2.bin\n");
    EXPECT_EQ(makefileFor("data.pac", entries, "\n").rfind("include ../makefile.conf\n\n"
                                                             "FILES =\ta.dat \\\n\tnotes \\\n\tbin\n\n"
                                                             "\nBINS =\ts1.bin \\\n\t.bin \\\n\tdir/s2.bin\n\n",
                                                             0),
              0u);
}

// Each target runs the tools on the scenarios (the .bin members) and the
// archive, with the options makefile.conf asks for.
TEST(Makefile, TargetsRunTheToolsAsMakefileConfSays) {
    const auto entries = entriesNamed({"a.dat", "s1.bin", "s2.bin"});
    const std::string translated = "CODE_PAGE = CP932\nTRANSLATIONS = game.po\n";
    const struct {
        const char* target;
        std::string conf;
        const char* commands;
    } cases[] = {
        {"all", "", "scntool --build @.scntool/scenarios\npactool archive -- data.pac\n"},
        {"decompile", "", "scntool @.scntool/scenarios\n"},
        {"pot", "", "scntool --pot @.scntool/scenarios\n"},
        {"status", "", "scntool --status @.scntool/scenarios\n"},
        {"extract", "", "pactool extract -- data.pac\n"},
        {"install", "", "scntool --build @.scntool/scenarios\npactool archive -- data.pac\npactool install -- data.pac\n"},
        {"all", translated,
         "scntool --code-page CP932 --po game.po --build @.scntool/scenarios\n"
         "pactool --code-page CP932 archive -- data.pac\n"},
        {"pot", translated, "scntool --code-page CP932 --pot -o game.pot @.scntool/scenarios\n"},
        {"status", translated, "scntool --code-page CP932 --status --po game.po @.scntool/scenarios\n"},
        {"all", "TRANSLATIONS = a.dat.po a.po\n", "TRANSLATIONS must name one PO file"},
        // A GAME_DIR line ending in a backslash takes in the next line.
        {"extract", "GAME_DIR = C:\\t4\\inst\\\nCODE_PAGE = CP932\n", "GAME_DIR in ../makefile.conf holds \"=\""},
    };
    for (const auto& c : cases) {
        const std::string output = dryRun(entries, c.target, c.conf);
        if (!std::string_view(c.commands).ends_with('\n')) {
            EXPECT_NE(output.find(c.commands), std::string::npos) << output;
        } else {
            EXPECT_EQ(output, c.commands) << c.target << " with " << c.conf;
        }
    }
    // Without scenarios only the archive is built.
    EXPECT_EQ(dryRun(entriesNamed({"a.dat"}), "all"), "pactool archive -- data.pac\n");
}

// A .bin beside a member named like its listing, PO file or template (in
// any letter case) would be listed or assembled over that member: it is no
// scenario, and the one line says why.
TEST(Makefile, ABinaryBesideItsListingsNameIsNoScenario) {
    const auto entries = entriesNamed({"a.bin", "A.TXT", "b.bin", "b.po", "c.bin", "c.Pot", "d.bin", "d.txt.bak", "e.BIN"});
    std::string text;
    std::vector<Error> notes;
    ASSERT_FALSE(makefileText("data.pac", entries, "\n", text, notes));
    EXPECT_NE(text.find("FILES =\ta.bin \\\n\tA.TXT \\\n\tb.bin \\\n\tb.po \\\n\tc.bin \\\n\tc.Pot \\\n\td.txt.bak\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("BINS =\td.bin \\\n\te.BIN\n"), std::string::npos) << text;
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(messageText(notes[0]),
              "a.bin is not a scenario for the makefile: the archive also holds A.TXT, the name of its listing, PO file "
              "or template; both are packed as they are");
    EXPECT_EQ(notes[2].other, "c.Pot");
}

TEST(Makefile, NoNameEverBecomesCode) {
    // Plain names (bytes from 0x80 up included) give the makefile as it always was.
    const std::string plain = makefileFor("../x/d_a-t+a,1.pac", entriesNamed({"A-z_0.9+,/\xC4\xFF.bin"}), "\n");
    EXPECT_NE(plain.find("BINS =\tA-z_0.9+,/\xC4\xFF.bin\n"), std::string::npos);
    EXPECT_NE(plain.find("all: ../x/d_a-t+a,1.pac\n"), std::string::npos);
    // '\\' separates directories: make names the file where it lives.
    EXPECT_NE(makefileFor("d.pac", entriesNamed({"dir\\s.bin"}), "\n").find("\tdir/s.bin\n"), std::string::npos);
    for (const char* bad : {"$(id).bin", "`id`.bin", "a;b", "a|b", "a&b", "a'b", "a\"b", "#a", "a b", "a:b", "%.bin",
                            "*.bin", "a?", "~root", "a=b", "a\tb", "a!b", "(a)", "a\x1B"}) {
        std::string text;
        std::vector<Error> notes;
        std::string refusal = messageText(makefileText("d.pac", entriesNamed({"ok.bin", bad}), "\n", text, notes));
        EXPECT_EQ(refusal.rfind("No makefile written: the member name " + shown(bad) + " holds a character ", 0), 0u)
            << refusal;
        refusal = messageText(makefileText(std::string("p") + bad, {}, "\n", text, notes));
        EXPECT_EQ(refusal.rfind("No makefile written: the archive path p" + shown(bad) + " holds", 0), 0u) << refusal;
    }
    // A member named like a target would be that target: make would take the
    // file for it (in any letter case, and as Windows reads the name).
    for (const char* target : {"all", "Extract", "DECOMPILE", "pot", "Status", "install", "ALL."}) {
        std::string text;
        std::vector<Error> notes;
        EXPECT_EQ(messageText(makefileText("d.pac", entriesNamed({"ok.bin", target}), "\n", text, notes)),
                  "No makefile written: the member name " + std::string(target) +
                      " is also a target of the makefile (all, extract, decompile, pot, status, install), which make "
                      "would take for the member");
    }
    EXPECT_NE(makefileFor("d.pac", entriesNamed({"installer", "pots.bin"}), "\n").find("installer"), std::string::npos);
}

TEST(Makefile, UsesTheGivenLineEnds) {
    const std::string text = makefileFor("data.pac", entriesNamed({"a", "b.bin"}), "\r\n");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
    EXPECT_NE(text.find("FILES =\ta\r\n\r\n\r\nBINS =\tb.bin\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pactools
