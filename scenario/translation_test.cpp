#include "translation.h"

#include <gtest/gtest.h>

#include "listing_parser.h"
#include "messages.h"
#include "scenario_binary.h"

namespace pactools {
namespace {

struct Scenario {
    StatementList statements;
    LabelList labels;
    ScenarioText where;
    explicit Scenario(const std::string& listing, const char* page = "UTF-8") {
        initScenarioLists(statements, labels);
        EXPECT_FALSE(parseText(listing, statements, labels, &where.lines));
        where.listing = "s.txt";
        where.codePage = *findCodePage(page);
    }
    std::string string(std::uint32_t index) const {
        const auto& data = statements[index].data;
        return std::string(data.begin(), data.end() - 1);
    }
};

// A listing with a repeated line, a control byte, a tab and jumps both ways
// around its strings.
const char* const kListing =
    "Flags(0, 0)\nTop:\nPushB\t<Hello>\nCJmp\tEnd\nPushB\t<>\nPushB\t<Bye \x1B[1m\tnow>\nPushB\t<Hello>\nJmp\tTop\nEnd:\n";

TEST(Translation, TemplateHasOneEntryPerDistinctTextWithEveryLine) {
    Scenario s(kListing);
    PoTemplate pot;
    pot.project = "s";
    std::vector<Error> warnings;
    addToTemplate(pot, s.statements, s.where, warnings);
    EXPECT_TRUE(warnings.empty());
    const std::string text = templateText(pot);
    PoFile po;
    ASSERT_FALSE(readPo(text, po));
    ASSERT_EQ(po.entries.size(), 3u);  // the header and two texts: the empty string has nothing to translate
    EXPECT_EQ(po.headerField("X-Code-Page"), "UTF-8");
    EXPECT_EQ(po.headerField("Language-Team"), "LANGUAGE <LL@li.org>");
    EXPECT_FALSE(po.entries[1].hasContext);
    EXPECT_EQ(po.entries[1].id, "Hello");
    EXPECT_EQ(po.entries[1].references, std::vector<std::string>{"s.txt:3 s.txt:7"});
    EXPECT_EQ(po.entries[1].extractedComments,
              (std::vector<std::string>{"The first string of the scenario.", "Occurrences: 2"}));
    // The escape byte as its control picture U+241B; the tab as \t.
    EXPECT_EQ(po.entries[2].id, "Bye \xE2\x90\x9B[1m\tnow");
    EXPECT_NE(text.find("msgid \"Bye \xE2\x90\x9B[1m\\tnow\""), std::string::npos);
    EXPECT_EQ(po.entries[2].extractedComments, (std::vector<std::string>{"After: Hello", "Occurrences: 1"}));

    // A name is shown escaped: no line break enters a comment or the header.
    Scenario named("PushB\t<x>\n");
    named.where.listing = "a\nmsgid \"injected\"\nmsgstr \"\".txt";
    PoTemplate hostile;
    hostile.project = named.where.listing;
    hostile.description = named.where.listing;
    addToTemplate(hostile, named.statements, named.where, warnings);
    PoFile read;
    ASSERT_FALSE(readPo(templateText(hostile), read));
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[1].references, std::vector<std::string>{"a\\x0Amsgid \"injected\"\\x0Amsgstr \"\".txt:1"});

    // Bytes the code page does not define stand for themselves as U+F0000 +
    // byte; a string whose own text could be taken for such a stand-in is
    // left out of the template, with a warning naming its line.
    const struct {
        const char* page;
        const char* listing;
        std::vector<std::string> ids;
        const char* warning;
    } cases[] = {
        {"UTF-8", "PushB\t<ok>\nPushB\t<a\xFF\xC3>\n", {"ok", "a\xF3\xB0\x83\xBF\xF3\xB0\x83\x83"}, nullptr},
        {"CP932", "PushB\t<\x82\xA0\xFF\xFE\x81\x20>\n", {"\xE3\x81\x82\xF3\xB0\x83\xBF\xF3\xB0\x83\xBE\xF3\xB0\x82\x81 "}, nullptr},
        {"UTF-8", "PushB\t<ok>\nPushB\t<a \xE2\x90\x83 b>\n", {"ok"},
         "Warning: s.txt:2: the string is left out of the template: it holds a control picture (U+2401 to U+241F), "
         "which templates use for control bytes"},
        {"UTF-8", "PushB\t<\xF3\xB0\x83\xBF>\nPushB\t<ok>\n", {"ok"},
         "Warning: s.txt:1: the string is left out of the template: it holds a character from U+F0080 to U+F00FF, "
         "which templates use for bytes the code page does not define"},
    };
    for (const auto& c : cases) {
        Scenario one(c.listing, c.page);
        PoTemplate made;
        std::vector<Error> told;
        addToTemplate(made, one.statements, one.where, told);
        std::vector<std::string> ids;
        for (const TemplateEntry& entry : made.entries) ids.push_back(entry.text);
        EXPECT_EQ(ids, c.ids) << c.listing;
        ASSERT_EQ(told.size(), c.warning != nullptr ? 1u : 0u) << c.listing;
        if (c.warning != nullptr) {
            EXPECT_EQ(messageText(told[0]), c.warning);
        }
    }
}

std::string po(const std::string& entries) {
    return "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n" + entries;
}

struct Applied {
    Error error;
    TranslationNotes notes;
    std::vector<StringReplacement> replaced;
};

Applied apply(Scenario& s, const std::string& text, const char* page = "UTF-8") {
    PoFile file;
    EXPECT_FALSE(readPo(po(text), file));
    TranslationTable table;
    Applied result;
    result.error = makeTranslationTable(file, "s.po", *findCodePage(page), table);
    if (!result.error) result.error = applyTranslations(s.statements, s.labels, s.where, table, result.notes, result.replaced);
    return result;
}

TEST(Translation, TranslatesEveryOccurrenceAndMovesJumpsWithTheStatements) {
    Scenario s(kListing);
    const Applied result = apply(s, "msgid \"Hello\"\nmsgstr \"Hallo, Welt! Ein viel l\xC3\xA4ngerer Gru\xC3\x9F\"\n\n"
                                    "#, fuzzy\nmsgid \"Bye \xE2\x90\x9B[1m\\tnow\"\nmsgstr \"Tsch\xC3\xBCss\"\n\n"
                                    "msgid \"not in this listing\"\nmsgstr \"x\"\n");
    ASSERT_FALSE(result.error) << messageText(result.error);
    EXPECT_TRUE(result.notes.warnings.empty());  // an entry no string uses is no warning
    EXPECT_EQ(s.string(1), "Hallo, Welt! Ein viel l\xC3\xA4ngerer Gru\xC3\x9F");
    EXPECT_EQ(s.string(5), "Hallo, Welt! Ein viel l\xC3\xA4ngerer Gru\xC3\x9F");
    EXPECT_EQ(s.string(4), "Bye \x1B[1m\tnow");  // fuzzy: kept as it was
    // The very binary the listing with the translation written into it gives.
    Scenario edited("Flags(0, 0)\nTop:\nPushB\t<Hallo, Welt! Ein viel l\xC3\xA4ngerer Gru\xC3\x9F>\nCJmp\tEnd\nPushB\t<>\n"
                    "PushB\t<Bye \x1B[1m\tnow>\nPushB\t<Hallo, Welt! Ein viel l\xC3\xA4ngerer Gru\xC3\x9F>\nJmp\tTop\nEnd:\n");
    std::vector<std::uint8_t> translated;
    std::vector<std::uint8_t> expected;
    ASSERT_FALSE(writeBinary(s.statements, translated));
    ASSERT_FALSE(writeBinary(edited.statements, expected));
    EXPECT_EQ(translated, expected);
    EXPECT_EQ(s.labels[1].address, edited.labels[1].address);

    // Control pictures in a translation become the bytes again; a
    // translation that drops its source's control bytes warns, once.
    Scenario again(kListing);
    const Applied pictures = apply(again, "msgid \"Bye \xE2\x90\x9B[1m\\tnow\"\nmsgstr \"Ciao \xE2\x90\x9B[1m\\tora\"\n\n"
                                          "msgid \"Hello\"\nmsgstr \"Ciao \xE2\x90\x84\"\n");
    ASSERT_FALSE(pictures.error);
    EXPECT_EQ(again.string(4), "Ciao \x1B[1m\tora");
    EXPECT_EQ(again.string(1), "Ciao \x04");
    ASSERT_EQ(pictures.notes.warnings.size(), 1u);
    EXPECT_EQ(messageText(pictures.notes.warnings[0]),
              "Warning: s.po:8: the translation of 'Hello' does not hold the control bytes its source holds");
}

TEST(Translation, RefusesWhatCannotBeWrittenAndChangesNothing) {
    const struct {
        const char* page;
        std::string entries;
        std::string message;
    } cases[] = {
        {"CP932", "msgid \"Hello\"\nmsgstr \"caf\xC3\xA9\"\n", "s.po:8: the translation of 'Hello' holds U+00E9"},
        {"UTF-8", "msgid \"Hello\"\nmsgstr \"a\\nb\"\n",
         "s.po:8: the translation of 'Hello' holds a NUL, CR or LF, which a listing cannot hold"},
        {"UTF-8", "msgid \"Hello\"\nmsgstr \"a\xE2\x90\x8D" "b\"\n",
         "s.po:8: the translation of 'Hello' holds a NUL, CR or LF, which a listing cannot hold"},
        {"UTF-8", "msgid \"Hello\"\nmsgid_plural \"Hellos\"\nmsgstr[0] \"a\"\n",
         "s.po:7: the entry 'Hello' has plural forms, which scenarios do not have"},
        {"UTF-8", "msgid \"Hello\"\nmsgstr \"a\"\n\n# again\nmsgid \"Hello\"\nmsgstr \"b\"\n",
         "s.po:11: a second entry for 'Hello' (the first is at line 7); each string may have one entry only"},
    };
    for (const auto& c : cases) {
        Scenario s(kListing, c.page);
        const Applied result = apply(s, "msgid \"Bye \xE2\x90\x9B[1m\\tnow\"\nmsgstr \"Ciao\"\n\n" + c.entries, c.page);
        EXPECT_EQ(messageText(result.error).substr(0, c.message.size()), c.message);
        EXPECT_EQ(s.string(4), "Bye \x1B[1m\tnow");  // nothing changed, not even what was translated first
    }
    // Every translation that cannot be written is told in one run.
    Scenario s(kListing, "CP1252");
    const Applied both = apply(s, "msgid \"Hello\"\nmsgstr \"\xE3\x81\x82\"\n\nmsgid \"Bye \xE2\x90\x9B[1m\\tnow\"\nmsgstr \"\xE2\x80\x95\"\n",
                               "CP1252");
    ASSERT_EQ(both.notes.errors.size(), 2u);
    EXPECT_EQ(messageText(both.notes.errors[0]),
              "s.po:5: the translation of 'Hello' holds U+3042 HIRAGANA LETTER A, which CP1252 cannot hold");
    EXPECT_EQ(messageText(both.notes.errors[1]).substr(0, 32), "s.po:8: the translation of 'Bye ");
}

// A translation keeps the game's own form of a character its source holds
// (CP932 has two for U+2252), and bytes the code page does not define (85
// 40, FF) go back as they were where the translation holds their stand-ins.
TEST(Translation, KeepsTheGamesOwnBytes) {
    Scenario s("PushB\t<\x87\x90>\nPushB\t<\x85\x40>\nPushB\t<\x81\xE0>\nPushB\t<\xFFgo>\n", "CP932");
    const Applied result = apply(s, "msgid \"\xE2\x89\x92\"\nmsgstr \"\xE2\x89\x92=\xE2\x89\x92\"\n\n"
                                    "msgid \"\xF3\xB0\x83\xBFgo\"\nmsgstr \"\xF3\xB0\x83\xBFlos\xF3\xB0\x82\x85\"\n", "CP932");
    ASSERT_FALSE(result.error) << messageText(result.error);
    EXPECT_EQ(s.string(0), "\x87\x90=\x87\x90");
    EXPECT_EQ(s.string(1), "\x85\x40");
    EXPECT_EQ(s.string(2), "\x81\xE0=\x81\xE0");
    EXPECT_EQ(s.string(3), "\xFFlos\x85");
    // A stand-in before a byte it would make a character with (82 61 is
    // U+FF22) would not read back as the translation says.
    Scenario t("PushB\t<\xFFgo>\n", "CP932");
    EXPECT_EQ(messageText(apply(t, "msgid \"\xF3\xB0\x83\xBFgo\"\nmsgstr \"\xF3\xB0\x82\x82" "a\"\n", "CP932").error),
              "s.po:5: the translation of '\xF3\xB0\x83\xBFgo' would not read back as written: a byte written as its "
              "stand-in (U+F0080 to U+F00FF) makes one character with what follows it");
}

}  // namespace
}  // namespace pactools
