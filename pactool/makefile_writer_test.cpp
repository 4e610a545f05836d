#include "makefile_writer.h"

#include <gtest/gtest.h>

#include "messages.h"
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

const char* const kRules =
    "\nCODE_PAGE_OPTION = $(if $(CODE_PAGE),--code-page $(CODE_PAGE) )\n"
    "$(if $(filter-out 0 1,$(words $(TRANSLATIONS)))$(filter-out %.po,$(TRANSLATIONS)),"
    "$(error TRANSLATIONS must name one PO file, NAME.po, without blanks))\n"
    "$(if $(TRANSLATIONS),$(if $(filter $(TRANSLATIONS) $(basename $(TRANSLATIONS)).pot,$(FILES) $(BINS)),"
    "$(error TRANSLATIONS names a member of the archive (or its template does): name another file)))\n"
    "GAME_PO = $(wildcard $(TRANSLATIONS))\n"
    "PO_OPTION = $(if $(GAME_PO),--po $(GAME_PO) )\n"
    "GAME_PO_OPTION = $(if $(TRANSLATIONS),--po $(TRANSLATIONS) )\n"
    "POT_OPTION = $(if $(TRANSLATIONS),-o $(basename $(TRANSLATIONS)).pot )\n"
    "SCENARIOS = $(basename $(BINS))\n"
    "LISTINGS = $(wildcard $(addsuffix .txt,$(SCENARIOS)))\n"
    "PO_FILES = $(or $(GAME_PO),$(wildcard $(addsuffix .po,$(SCENARIOS))))\n"
    "\n.PHONY: all extract decompile pot status install\n"
    "\nall: data.pac\n\n"
    "data.pac: $(FILES) $(wildcard $(BINS)) data.pac.list $(LISTINGS) $(PO_FILES) ../makefile.conf\n"
    "\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(GAME_PO_OPTION)--build -- $(BINS))\n"
    "\t$(QVXPACTOOL) $(CODE_PAGE_OPTION)archive -- data.pac\n\n"
    "extract:\n\t$(QVXPACTOOL) $(CODE_PAGE_OPTION)extract -- data.pac\n\n"
    "decompile: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)$(PO_OPTION)-- $(BINS))\n\n"
    "pot: $(BINS)\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--pot $(POT_OPTION)-- $(BINS))\n\n"
    "status:\n\t$(if $(BINS),$(QVXTOOL) $(CODE_PAGE_OPTION)--status $(GAME_PO_OPTION)-- $(BINS))\n\n"
    "install: data.pac\n\t$(COPY) data.pac $(GAME_DIR)\n";

TEST(Makefile, SortsMembersIntoFilesAndBins) {
    const auto entries = entriesNamed({"a.dat", "s1.bin", "notes", "bin", ".bin", "s2.bin"});
    EXPECT_EQ(makefileFor("data.pac", entries, "\n"),
              std::string("include ../makefile.conf\n\n"
                          "FILES =\ta.dat \\\n\tnotes \\\n\tbin\n\n"
                          "\nBINS =\ts1.bin \\\n\t.bin \\\n\ts2.bin\n\n") +
                  kRules);
}

TEST(Makefile, EmptyArchiveHasEmptyLists) {
    EXPECT_EQ(makefileFor("data.pac", {}, "\n"),
              std::string("include ../makefile.conf\n\nFILES =\n\nBINS =\n") + kRules);
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
