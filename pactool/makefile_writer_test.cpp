#include "makefile_writer.h"

#include <gtest/gtest.h>

namespace pactools {
namespace {

PtrVector<PacEntry> entriesNamed(std::initializer_list<const char*> names) {
    PtrVector<PacEntry> entries;
    for (const char* name : names) ptrVectorPush(entries, std::make_unique<PacEntry>(PacEntry{name, 0, 0, 0}));
    return entries;
}

const char* const kRules =
    "\nall: data.pac\n\n"
    "data.pac: $(FILES) $(BINS) data.pac.list\n\t$(QVXPACTOOL) archive data.pac\n\n"
    "extract:\n\t$(QVXPACTOOL) extract data.pac\n\n"
    "decompile: $(BINS)\n\t$(QVXTOOL) $(BINS)\n\n"
    "install: data.pac\n\t$(COPY) data.pac $(GAME_DIR)\n\n"
    "%.bin : %.txt\n\t$(QVXTOOL) $<\n\n";

TEST(Makefile, SortsMembersIntoFilesAndBins) {
    const auto entries = entriesNamed({"a.dat", "s1.bin", "notes", "bin", ".bin", "s2.bin"});
    EXPECT_EQ(makefileText("data.pac", entries, "\n"),
              std::string("include ../makefile.conf\n\n"
                          "FILES =\ta.dat \\\n\tnotes \\\n\tbin\n\n"
                          "\nBINS =\ts1.bin \\\n\t.bin \\\n\ts2.bin\n\n") +
                  kRules);
}

TEST(Makefile, EmptyArchiveHasEmptyLists) {
    EXPECT_EQ(makefileText("data.pac", {}, "\n"),
              std::string("include ../makefile.conf\n\nFILES =\n\nBINS =\n") + kRules);
}

TEST(Makefile, AddsAPatternRuleForEachOtherSpellingOfBin) {
    const auto entries = entriesNamed({"S2.BIN", "a.bin", "b.Bin", "C.BIN"});
    const std::string text = makefileText("data.pac", entries, "\n");
    const std::string tail =
        "%.bin : %.txt\n\t$(QVXTOOL) $<\n\n%.BIN : %.txt\n\t$(QVXTOOL) $<\n\n%.Bin : %.txt\n\t$(QVXTOOL) $<\n\n";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(Makefile, KeepsDollarSignsLiteral) {
    const auto entries = entriesNamed({"$(shell x).dat"});
    EXPECT_NE(makefileText("p$.pac", entries, "\n").find("\t$$(shell x).dat\n"), std::string::npos);
    EXPECT_NE(makefileText("p$.pac", entries, "\n").find("all: p$$.pac\n"), std::string::npos);
}

TEST(Makefile, UsesTheGivenLineEnds) {
    const std::string text = makefileText("data.pac", entriesNamed({"a", "b.bin"}), "\r\n");
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
    EXPECT_NE(text.find("FILES =\ta\r\n\r\n\r\nBINS =\tb.bin\r\n"), std::string::npos);
}

}  // namespace
}  // namespace pactools
