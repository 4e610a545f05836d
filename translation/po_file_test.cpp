#include "po_file.h"

#include <gtest/gtest.h>

#include "messages.h"
#include "translation_faults.h"

namespace pactools {
namespace {

TEST(PoFile, ReadsWhatGettextToolsWrite) {
    const std::string text =
        "# translator's note\r\n"
        "msgid \"\"\r\n"
        "msgstr \"\"\r\n"
        "\"Content-Type: text/plain; charset=UTF-8\\n\"\r\n"
        "\"X-Code-Page: CP932\\n\"\r\n"
        "\r\n"
        "#. After: hello\n"
        "#: scene.txt:12\n"
        "#, fuzzy c-format,no-wrap\n"
        "# a lone CR\r in a comment ends no line\n"
        "#| msgid \"old\"\n"
        "msgctxt \"scene:2\"\n"
        "msgid \"\"\n"
        "\"wrapped \"\n"
        "\"string \\\"q\\\" \\\\ \\t\\033[0m\\x41\\101\"\n"
        "msgstr \"raw\x01" "byte\"\n"
        "\n"
        "msgctxt \"scene:3\"\n"
        "msgid \"p\"\n"
        "msgid_plural \"ps\"\n"
        "msgstr[0] \"x\"\n"
        "msgstr[1] \"y\"\n"
        "\n"
        "#~ msgctxt \"scene:9\"\n"
        "#~ msgid \"gone\"\n"
        "#~ msgstr \"weg\"\n";
    PoFile po;
    const Error error = readPo(text, po);
    ASSERT_FALSE(error) << messageText(error);
    ASSERT_EQ(po.entries.size(), 4u);
    EXPECT_TRUE(po.entries[0].isHeader());
    EXPECT_EQ(po.headerField("x-code-page"), "CP932");
    const PoEntry& e = po.entries[1];
    EXPECT_EQ(e.context, "scene:2");
    EXPECT_EQ(e.id, "wrapped string \"q\" \\ \t\x1B[0mAA");
    EXPECT_EQ(e.translation, "raw\x01" "byte");
    EXPECT_TRUE(e.hasFlag("fuzzy"));
    EXPECT_TRUE(e.hasFlag("c-format"));
    EXPECT_TRUE(e.hasFlag("no-wrap"));
    EXPECT_EQ(e.references, std::vector<std::string>{"scene.txt:12"});
    EXPECT_EQ(e.line, 13u);
    EXPECT_EQ(e.translationLine, 16u);
    EXPECT_TRUE(po.entries[2].plural);
    EXPECT_EQ(po.entries[2].translation, "x");
    EXPECT_TRUE(po.entries[3].obsolete);
    EXPECT_EQ(po.entries[3].translation, "weg");
}

TEST(PoFile, RefusesWhatIsNotWellFormedWithItsLine) {
    const struct {
        const char* text;
        std::size_t line;
    } cases[] = {
        {"msgid \"a\nmsgstr \"\"\n", 1},
        {"msgid \"a\"\n\"b\" x\nmsgstr \"\"\n", 2},
        {"msgstr \"a\"\n", 1},
        {"msgid \"a\"\nmsgid \"b\"\n", 2},
        {"\"orphan\"\n", 1},
        {"msgid \"a\"\nmsgstr \"\\q\"\n", 2},
        {"msgid \"a\"\nmsgstr \"\"\nnonsense \"x\"\n", 3},
        {"msgid \"a\"\n\nmsgstr \"b\"\n", 2},
        {"msgid \"a\"\nmsgstr[0] \"b\"\n", 2},
        {"msgid \"a\"\n\"b\"\n", 1},
    };
    for (const auto& c : cases) {
        PoFile po;
        const Error error = readPo(c.text, po);
        EXPECT_EQ(error.fault, TranslationFault::PoSyntax) << c.text;
        EXPECT_EQ(error.at, c.line) << c.text;
    }
}

TEST(PoFile, EveryByteReadsBackThroughItsQuotedForm) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    all += "\x1B" "7";  // an escape followed by a digit stays two bytes
    PoEntry entry;
    entry.hasContext = true;
    entry.context = "s:1";
    entry.id = all;
    entry.translation = all;
    PoFile po;
    ASSERT_FALSE(readPo(poEntryText(entry), po));
    ASSERT_EQ(po.entries.size(), 1u);
    EXPECT_EQ(po.entries[0].id, all);
    EXPECT_EQ(poQuoted("a\x1B" "7\"\\\n"), "\"a\\0337\\\"\\\\\\n\"");
}

}  // namespace
}  // namespace pactools
