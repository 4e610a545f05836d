#include "listing_parser.h"

#include <gtest/gtest.h>

#include "messages.h"

#include "listing_writer.h"
#include "scenario_binary.h"
#include "scenario_generator.h"
#include "test_support.h"

namespace pactools {
namespace {

struct Parsed {
    StatementList statements;
    LabelList labels;
    std::string error;
    bool ok = false;
    explicit Parsed(std::string_view text) {
        initScenarioLists(statements, labels);
        error = messageText(parseText(text, statements, labels));
        ok = error.empty();
    }
    const Statement& operator[](std::uint32_t i) const { return statements[i]; }
};

std::string failure(std::string_view text) {
    Parsed p(text);
    EXPECT_FALSE(p.ok) << text;
    return p.error;
}

TEST(ListingParser, ReferenceListingsAssembleToTheirBinaries) {
    for (int n = 1; n <= 6; ++n) {
        const std::string name = "scenario/sample" + std::to_string(n);
        const std::string text = testing_support::readFile(testing_support::dataPath(name + ".txt"));
        Parsed p(text);
        ASSERT_TRUE(p.ok) << name << ": " << p.error;
        std::vector<std::uint8_t> binary;
        ASSERT_FALSE(writeBinary(p.statements, binary));
        EXPECT_EQ(std::string(binary.begin(), binary.end()),
                  testing_support::readFile(testing_support::dataPath(name + ".bin")))
            << name;
        std::string crlf;
        for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        Parsed fromCrlf(crlf);
        Parsed fromLf(text);
        ASSERT_TRUE(fromCrlf.ok);
        std::string a, b;
        writeText(fromCrlf.statements, fromCrlf.labels, a);
        writeText(fromLf.statements, fromLf.labels, b);
        EXPECT_EQ(a, b) << name << " with CR LF";
    }
}

TEST(ListingParser, GeneratedScenariosRoundTripThroughTheirListings) {
    for (unsigned seed = 0; seed < 300; ++seed) {
        testing_support::ScenarioShape shape;
        shape.statements = seed % 50 == 0 ? 0 : 1 + seed % 120;
        shape.flagWords = seed % 7;
        shape.longestString = seed % 3 == 0 ? 700 : 30;  // beyond any line length limit
        const std::string binary = testing_support::generateScenario(shape, seed);
        StatementList statements;
        LabelList labels;
        initScenarioLists(statements, labels);
        ASSERT_FALSE(readBinary({reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size()}, "g.bin",
                                statements, labels));
        std::string listing;
        ASSERT_FALSE(writeText(statements, labels, listing));
        Parsed parsed(listing);
        ASSERT_TRUE(parsed.ok) << "seed " << seed << ": " << parsed.error << "\n" << listing;
        std::vector<std::uint8_t> rebuilt;
        ASSERT_FALSE(writeBinary(parsed.statements, rebuilt));
        ASSERT_EQ(std::string(rebuilt.begin(), rebuilt.end()), binary) << "seed " << seed << "\n" << listing;
    }
}

TEST(ListingParser, KeywordsInAnyCaseAndLenientNumbers) {
    Parsed p("pushc 1f\nPUSHC 1F\nPushC\t0x1F\npushd\t  ff trailing\nPUSHE -1\n");
    ASSERT_TRUE(p.ok) << p.error;
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(p[i].opcode, kPushC);
        EXPECT_EQ(p[i].argument, 0x1Fu);
        EXPECT_EQ(p[i].offset, 6 * i);
    }
    EXPECT_EQ(p[3].opcode, kPushD);
    EXPECT_EQ(p[3].argument, 0xFFu);
    EXPECT_EQ(p[4].argument, 0xFFFFFFFFu);
    EXPECT_EQ(failure("PushC\n"), "Syntax error in scenario file at line: 1");
    EXPECT_EQ(failure("PushC 1\nPushCx\n"), "Syntax error in scenario file at line: 2");
}

TEST(ListingParser, StatementsStartTheLineLabelsMayBeIndented) {
    EXPECT_EQ(failure("PushC 1\n PushC 1\n"), "Syntax error in scenario file at line: 2");
    EXPECT_EQ(failure("PushC 1\n\tPushC 1\n"), "Syntax error in scenario file at line: 2");
    EXPECT_EQ(failure("PushC 1\n\nPushC 2\n"), "Syntax error in scenario file at line: 2");
    EXPECT_EQ(failure("Nop\n"), "Syntax error in scenario file at line: 1");
    Parsed p("  \tStart: anything here\nJmp Start\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.labels[0].name, "Start");
}

TEST(ListingParser, FlagsLineAndItsData) {
    Parsed none("Flags(3, 0)\nPushC 1\n");
    ASSERT_TRUE(none.ok) << none.error;
    EXPECT_EQ(none[0].opcode, kFlagBlock);
    EXPECT_EQ(none[0].offset, 3u);
    EXPECT_EQ(none[1].opcode, kPushC);
    EXPECT_EQ(none[1].offset, 0u);  // the flag block takes no room in the stream

    Parsed split("Flags(A, 8)\n0102\nA0B0C0 \t\nd0e0\n03100F\nPushC 3\n");
    ASSERT_TRUE(split.ok) << split.error;
    EXPECT_EQ(split[0].data, (std::vector<std::uint8_t>{1, 2, 0xA0, 0xB0, 0xC0, 0xD0, 0xE0, 0x3}));
    ASSERT_EQ(split.statements.count, 2u);  // pairs after the last byte needed are ignored
    EXPECT_EQ(split[1].argument, 3u);

    // Data lines hold pairs of hex digits and nothing else: never misread.
    for (const char* data : {"01 02 03 04", "0102030", "0x010203", "010203G4", " 01020304", "01020304 ; note"}) {
        EXPECT_EQ(failure(std::string("Flags(0, 4)\n") + data + "\n"), "Syntax error in scenario file at line: 2")
            << data;
    }

    Parsed lenient("FLAGS( 3,0) anything\n");
    EXPECT_TRUE(lenient.ok) << lenient.error;
    EXPECT_EQ(failure("Flags(3 ,0)\n"), "Syntax error in scenario file at line: 1");
    EXPECT_EQ(failure("Flags(3)\n"), "Syntax error in scenario file at line: 1");
}

TEST(ListingParser, FlagsThatTheBinaryCannotCarryAreRefused) {
    EXPECT_EQ(failure("Flags(0, 8)\n0102030405\n"), "Not enough data for flags in scenario file at line: 3");
    EXPECT_EQ(failure("Flags(0, 4)\n"), "Not enough data for flags in scenario file at line: 2");
    EXPECT_EQ(failure("Flags(0, FFFFFFFC)\n00\n"), "Not enough data for flags in scenario file at line: 3");
    EXPECT_EQ(failure("Flags(0, 3)\n010203\n"), "Flags length must be a multiple of 4 in scenario file at line: 1");
    EXPECT_EQ(failure("PushC 1\nFlags(0, 0)\n"), "Flags must come before every statement in scenario file at line: 2");
    EXPECT_EQ(failure("Flags(0, 0)\nFlags(0, 0)\n"), "Flags must come before every statement in scenario file at line: 2");
}

TEST(ListingParser, CallLines) {
    Parsed p("Call\t1F(2)\nCall 1F ( 2 ) trailing\nCall1F(2)\ncall\t0(0)\nCallx FFFE(FFFFFFFF\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p[0].opcode, 0x1F);
    EXPECT_EQ(p[0].argument, 2u);
    EXPECT_EQ(p[1].opcode, 0x1F);
    EXPECT_EQ(p[2].opcode, 0xF);  // the first digit went as the skipped character
    EXPECT_EQ(p[3].opcode, 0);
    EXPECT_EQ(p[4].opcode, 0xFFFE);
    EXPECT_EQ(p[4].argument, 0xFFFFFFFFu);
    EXPECT_EQ(failure("Call\n"), "Syntax error in scenario file at line: 1");
    EXPECT_EQ(failure("Call 1F\n"), "Syntax error in scenario file at line: 1");
    EXPECT_EQ(failure("Call 1F 2\n"), "Syntax error in scenario file at line: 1");
}

TEST(ListingParser, CallNumbersThatMeanOtherStatementsAreRefused) {
    for (const char* number : {"5", "6", "B", "C", "D", "E", "FFFF"}) {
        EXPECT_EQ(failure(std::string("PushC 0\nCall\t") + number + "(0)\n"),
                  std::string("Call number ") + number + " is not a call in scenario file at line: 2");
    }
    EXPECT_TRUE(Parsed("Call 4(0)\nCall 7(0)\nCall A(0)\nCall F(0)\nCall 0000FFFE(0)\n").ok);
}

TEST(ListingParser, NumbersTooLargeForTheirFieldAreRefusedNotCut) {
    for (const char* text : {"Flags(100000000, 0)\n", "Flags(0, 100000004)\n", "PushC 123456789ABCDEF\n",
                             "PushD 100000000\n", "PushE -100000000\n", "Call 10020(0)\n", "Call 1FFFF(0)\n",
                             "Call 20(100000000)\n"}) {
        EXPECT_EQ(failure(text), "Syntax error in scenario file at line: 1") << text;
    }
    Parsed fits("PushC FFFFFFFF\nPushD 0x00000000FFFFFFFF\nCall FFFE(FFFFFFFF)\n");
    ASSERT_TRUE(fits.ok) << fits.error;
    EXPECT_EQ(fits[1].argument, 0xFFFFFFFFu);
}

TEST(ListingParser, PushBStringsKeepColonsAndAngleBrackets) {
    Parsed p("PushB\t<Hero: \"Look > there!\" >:)>\nPUSHB <>\nPushB\t<a<b>\n");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.statements.count, 3u);
    const std::string first(p[0].data.begin(), p[0].data.end());
    EXPECT_EQ(first, std::string("Hero: \"Look > there!\" >:)") + '\0');
    EXPECT_EQ(p[0].argument, first.size());
    EXPECT_EQ(p[1].data, std::vector<std::uint8_t>{0});
    EXPECT_EQ(p[2].data, (std::vector<std::uint8_t>{'a', '<', 'b', 0}));
    EXPECT_EQ(p[1].offset, 6 + first.size());
    EXPECT_EQ(p.labels.count, 0u);

    // A colon before any '<' makes the line a label definition.
    Parsed label("PushB: <x>\n");
    ASSERT_TRUE(label.ok);
    EXPECT_EQ(label.statements.count, 0u);
    EXPECT_EQ(label.labels[0].name, "PushB");
    EXPECT_EQ(failure("PushB x\n"), "Syntax error in scenario file at line: 1");
    EXPECT_EQ(failure("PushB >x<\n"), "Syntax error in scenario file at line: 1");

    const std::string longText(5000, 'w');  // far beyond any line length limit
    Parsed longLine("PushB\t<" + longText + ">\n");
    ASSERT_TRUE(longLine.ok);
    EXPECT_EQ(longLine[0].argument, 5001u);
}

TEST(ListingParser, JumpsResolveToTheFirstLabelOfTheirName) {
    Parsed p("Jmp\tAhead\nBack:\nCJmp\tBack\nAhead:\nAhead:\nJmp\tBack\nJmp End\nEnd:\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p[0].argument, 12u);  // defined later in the file
    EXPECT_EQ(p[1].argument, 6u);
    EXPECT_EQ(p[3].argument, 24u);  // a label after the last statement addresses the end
    EXPECT_EQ(failure("Jmp\tX \nX:\n"), "Error in scenario file at line 1, undefined symbol 'X '");
    EXPECT_EQ(failure("X :\nJmp\tX\n"), "Error in scenario file at line 2, undefined symbol 'X'");
    EXPECT_EQ(failure("Jmp\tx\nX:\n"), "Error in scenario file at line 1, undefined symbol 'x'");
    EXPECT_EQ(failure("PushC 1\nCJmp\n"), "Jump without a label in scenario file at line: 2");
    EXPECT_EQ(failure("Jmp\n"), "Jump without a label in scenario file at line: 1");
    EXPECT_EQ(failure("Jmp\t\n"), "Error in scenario file at line 1, undefined symbol ''");
    Parsed empty(":\nJmp\t\n");  // a label may be empty, as a jump's name may
    EXPECT_TRUE(empty.ok) << empty.error;
}

TEST(ListingParser, ErrorsReportTheFirstProblemOnly) {
    EXPECT_EQ(failure("PushC 1\nJmp Missing\nbad line\n"), "Syntax error in scenario file at line: 3");
    Parsed p("");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.statements.count, 0u);
}

}  // namespace
}  // namespace pactools
