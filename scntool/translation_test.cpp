#include "translation.h"

#include <gtest/gtest.h>

#include "listing_parser.h"
#include "messages.h"

namespace pactools {
namespace {

struct Scenario {
    StatementList statements;
    LabelList labels;
    ScenarioText where;
    explicit Scenario(const std::string& listing, const char* page = "UTF-8") {
        initScenarioLists(statements, labels);
        EXPECT_FALSE(parseText(listing, statements, labels, &where.lines));
        where.scenario = "s";
        where.listing = "s.txt";
        where.codePage = *findCodePage(page);
    }
    std::string string(std::uint32_t index) const {
        const auto& data = statements[index].data;
        return std::string(data.begin(), data.end() - 1);
    }
};

const char* const kListing = "Flags(0, 0)\nPushB\t<Hello>\nCall\t1(0)\nPushB\t<>\nStart:\nPushB\t<Bye \x1B[1m>\n";

TEST(Translation, TemplateHasOneEntryPerStringWithItsLine) {
    Scenario s(kListing);
    std::string pot;
    ASSERT_FALSE(makeTemplate(s.statements, s.where, pot));
    PoFile po;
    ASSERT_FALSE(readPo(pot, po));
    ASSERT_EQ(po.entries.size(), 3u);  // the header and two strings: the empty one has nothing to translate
    EXPECT_EQ(po.headerField("X-Code-Page"), "UTF-8");
    EXPECT_EQ(po.headerField("Content-Transfer-Encoding"), "8bit");
    EXPECT_EQ(po.entries[1].context, "s:1");
    EXPECT_EQ(po.entries[1].references, std::vector<std::string>{"s.txt:2"});
    EXPECT_EQ(po.entries[2].context, "s:3");  // the numbering counts the empty string
    EXPECT_EQ(po.entries[2].id, "Bye \x1B[1m");
    EXPECT_EQ(po.entries[2].references, std::vector<std::string>{"s.txt:6"});
    EXPECT_EQ(po.entries[2].extractedComments, std::vector<std::string>{"After: Hello"});
    EXPECT_NE(pot.find("\\033[1m"), std::string::npos);  // control bytes as octal escapes

    Scenario bad("PushB\t<\xFF>\n");
    EXPECT_EQ(messageText(makeTemplate(bad.statements, bad.where, pot)),
              "s.txt:1: the string does not decode in UTF-8 (name the game's code page with --code-page)");
}

std::string po(const std::string& entries) {
    return "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" + entries;
}

TEST(Translation, AppliesWhatIsTranslatedAndWarnsAboutTheRest) {
    Scenario s(kListing);
    PoFile file;
    ASSERT_FALSE(readPo(po("msgctxt \"s:1\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n\n"
                           "#, fuzzy\nmsgctxt \"s:3\"\nmsgid \"Bye \\033[1m\"\nmsgstr \"Tsch\xC3\xBC\xC3\x9F\"\n\n"
                           "msgctxt \"s:2\"\nmsgid \"x\"\nmsgstr \"y\"\n\n"
                           "msgctxt \"t:1\"\nmsgid \"Hello\"\nmsgstr \"z\"\n\n"
                           "#~ msgctxt \"s:1\"\n#~ msgid \"Hello\"\n#~ msgstr \"obsolete\"\n"),
                        file));
    std::vector<Error> warnings;
    ASSERT_FALSE(applyTranslations(s.statements, s.where, file, "s.po", warnings));
    EXPECT_EQ(s.string(1), "Hallo");
    EXPECT_EQ(s.string(4), "Bye \x1B[1m");  // fuzzy: kept as it was
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(messageText(warnings[0]), "Warning: s.po:14: entry 's:2' is stale: the string at s.txt:4 is no longer its "
                                        "msgid; the listing's string is kept");
    EXPECT_EQ(messageText(warnings[1]), "Warning: s.po:18: entry 't:1' names no string of the listing; ignored");
}

TEST(Translation, RefusesTranslationsThatCannotBeWrittenAndChangesNothing) {
    const struct {
        const char* page;
        std::string entries;
        std::string message;
    } cases[] = {
        {"CP932", "msgctxt \"s:1\"\nmsgid \"Hello\"\nmsgstr \"caf\xC3\xA9\"\n",
         "s.po:9: the translation of 's:1' holds U+00E9, which CP932 cannot hold"},
        {"UTF-8", "msgctxt \"s:1\"\nmsgid \"Hello\"\nmsgstr \"a\\nb\"\n",
         "s.po:9: the translation of 's:1' holds a NUL, CR or LF, which a listing cannot hold"},
        {"UTF-8", "msgctxt \"s:1\"\nmsgid \"Hello\"\nmsgid_plural \"Hellos\"\nmsgstr[0] \"a\"\n",
         "s.po:9: entry 's:1' has plural forms, which scenarios do not have"},
    };
    for (const auto& c : cases) {
        Scenario s(kListing, c.page);
        PoFile file;
        ASSERT_FALSE(readPo(po("msgctxt \"s:3\"\nmsgid \"Bye \\033[1m\"\nmsgstr \"Ciao\"\n\n" + c.entries), file));
        std::vector<Error> warnings;
        EXPECT_EQ(messageText(applyTranslations(s.statements, s.where, file, "s.po", warnings)), c.message);
        EXPECT_EQ(s.string(4), "Bye \x1B[1m");  // nothing changed, not even what came before
    }
    // A translation without the control bytes of its source is written, with a warning.
    Scenario s(kListing);
    PoFile file;
    ASSERT_FALSE(readPo(po("msgctxt \"s:3\"\nmsgid \"Bye \\033[1m\"\nmsgstr \"Ciao\"\n"), file));
    std::vector<Error> warnings;
    ASSERT_FALSE(applyTranslations(s.statements, s.where, file, "s.po", warnings));
    EXPECT_EQ(s.string(4), "Ciao");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].fault, Fault::PoControlBytes);
}

}  // namespace
}  // namespace pactools
