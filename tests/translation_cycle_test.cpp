// Scenario strings to gettext PO files and back, through the real scntool
// and the real gettext tools (msgcat, msginit, msgfmt, msgmerge).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "po_file.h"
#include "tool_runner.h"

namespace {

using testing_support::RunResult;
using testing_support::Workspace;

bool haveGettext() {
    return std::system("msginit --version >/dev/null 2>&1") == 0;
}

RunResult gettext(const Workspace& w, const std::string& program, const std::vector<std::string>& arguments) {
    return testing_support::runProgramDirect(w.dir(), program, arguments);
}

pactools::PoFile readPoFile(const std::string& text) {
    pactools::PoFile po;
    EXPECT_FALSE(pactools::readPo(text, po));
    return po;
}

// The translations (msgctxt, msgstr) written into a PO file made by msginit.
std::string translated(std::string po, const std::vector<std::pair<std::string, std::string>>& translations) {
    for (const auto& [context, text] : translations) {
        const std::size_t entry = po.find("msgctxt \"" + context + "\"");
        EXPECT_NE(entry, std::string::npos) << context;
        const std::size_t msgstr = po.find("msgstr \"\"", entry);
        po.replace(msgstr, 9, "msgstr " + pactools::poQuoted(text));
    }
    return po;
}

// A listing whose strings hold what PO files must carry exactly.
std::string listing(const std::vector<std::string>& strings) {
    std::string text = "Flags(0, 0)\n";
    for (const std::string& s : strings) text += "PushB\t<" + s + ">\nCall\t1(0)\n";
    return text;
}

TEST(TranslationCycle, TemplatesReadBackUnchangedThroughMsgcat) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    Workspace w;
    const std::vector<std::string> strings = {"Say \"hi\" \\ there", "tab\there", "bell\x07 esc\x1B[1m\x01" "7",
                                              "Mira: <aside> a > b", std::string(300, 'w') + " long line " + std::string(200, 'x')};
    w.write("scene.txt", listing(strings));
    ASSERT_EQ(w.scntool({"scene.txt"}).status, 0);
    const RunResult made = w.scntool({"--pot", "scene.bin"});  // from the listing beside it
    ASSERT_EQ(made.status, 0) << made.output;
    const std::string potText = w.read("scene.pot");
    const auto pot = readPoFile(potText);
    const RunResult cat = gettext(w, "msgcat", {"-o", "again.pot", "scene.pot"});
    ASSERT_EQ(cat.status, 0) << cat.output;
    const auto again = readPoFile(w.read("again.pot"));
    ASSERT_EQ(pot.entries.size(), strings.size() + 1);
    ASSERT_EQ(again.entries.size(), pot.entries.size());
    for (std::size_t i = 1; i < pot.entries.size(); ++i) {
        EXPECT_EQ(pot.entries[i].id, strings[i - 1]);
        EXPECT_EQ(again.entries[i].id, strings[i - 1]);
        EXPECT_EQ(again.entries[i].context, "scene:" + std::to_string(i));
        EXPECT_EQ(again.entries[i].references, std::vector<std::string>{"scene.txt:" + std::to_string(2 * i)});
    }
    // The output is the same every time.
    ASSERT_EQ(w.scntool({"--pot", "scene.txt"}).status, 0);
    EXPECT_EQ(w.read("scene.pot"), potText);
}

TEST(TranslationCycle, TranslatedWithGettextToolsAndAssembled) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    Workspace w;
    w.write("scene.txt", "Flags(1, 4)\n01000000\nStart:\nPushB\t<Hello>\nCall\t1(0)\nCJmp\tStart\nPushB\t<Bye>\n"
                         "PushB\t<Stays>\nPushC\t5\n");
    ASSERT_EQ(w.scntool({"scene.txt"}).status, 0);
    const std::string original = w.read("scene.bin");
    ASSERT_EQ(w.scntool({"--pot", "scene.txt"}).status, 0);
    const RunResult init = gettext(w, "msginit", {"--no-translator", "--locale=de_DE.UTF-8", "-i", "scene.pot", "-o", "scene.po"});
    ASSERT_EQ(init.status, 0) << init.output;

    // Nothing translated: the very same binary.
    RunResult result = w.scntool({"scene.po"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "Processing: scene.po\nProcessing: scene.txt\n");
    EXPECT_EQ(w.read("scene.bin"), original);

    w.write("scene.po", translated(w.read("scene.po"), {{"scene:1", "Hallo, Welt: <gr\xC3\xBC\xC3\x9F>"}, {"scene:2", "Tsch\xC3\xBCss"}}));
    ASSERT_EQ(gettext(w, "msgfmt", {"-c", "-o", "/dev/null", "scene.po"}).status, 0);
    result = w.scntool({"scene.po"});
    ASSERT_EQ(result.status, 0) << result.output;
    ASSERT_EQ(w.scntool({"scene.bin"}).output.find("Warning"), std::string::npos);
    // The translations, and every other statement as it was (the jump follows the new lengths).
    EXPECT_EQ(w.read("scene.txt"), "Flags(1, 4)\n01000000\nStart:\nPushB\t<Hello>\nCall\t1(0)\nCJmp\tStart\nPushB\t<Bye>\n"
                                   "PushB\t<Stays>\nPushC\t5\n");  // the listing is the PO's source: kept
    Workspace check;
    check.write("s.bin", w.read("scene.bin"));
    ASSERT_EQ(check.scntool({"s.bin"}).status, 0);
    std::string relisted = check.read("s.txt");
    std::erase(relisted, '\r');  // Windows tools end lines with CR LF
    EXPECT_EQ(relisted, std::string("Flags(1, 4)\n01000000\nLabel_0:\nPushB\t<Hallo, Welt: <gr\xC3\xBC\xC3\x9F>>\n"
                                               "Call\t1(0)\nCJmp\tLabel_0\nPushB\t<Tsch\xC3\xBCss>\nPushB\t<Stays>\nPushC\t5\n"));

    // The listing changed since the template: msgmerge carries the translations over.
    w.write("scene.txt", "Flags(1, 4)\n01000000\nStart:\nPushB\t<Hello>\nCall\t1(0)\nCJmp\tStart\nPushB\t<Bye now>\n"
                         "PushB\t<Stays>\nPushC\t5\n");
    result = w.scntool({"scene.po"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Warning: scene.po:"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("entry 'scene:2' is stale: the string at scene.txt:7 is no longer its msgid"),
              std::string::npos)
        << result.output;
    ASSERT_EQ(w.scntool({"--pot", "scene.txt"}).status, 0);
    ASSERT_EQ(gettext(w, "msgmerge", {"-q", "-U", "--backup=none", "scene.po", "scene.pot"}).status, 0);
    const auto merged = readPoFile(w.read("scene.po"));
    // The entry now has the new msgid, fuzzy or untranslated for the translator
    // to review (the old translation may remain as an obsolete entry);
    // meanwhile the listing's string stays.
    for (const auto& entry : merged.entries) {
        if (entry.context != "scene:2" || entry.obsolete) continue;
        EXPECT_EQ(entry.id, "Bye now");
        EXPECT_TRUE(entry.translation.empty() || entry.hasFlag("fuzzy"));
    }
    result = w.scntool({"scene.po"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "Processing: scene.po\nProcessing: scene.txt\n");
}

TEST(TranslationCycle, CodePagesBothWaysAndWhatTheyCannotHold) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    const struct {
        const char* page;
        std::string string;       // in the code page
        std::string utf8;         // the same in UTF-8
        std::string translation;  // what it becomes
        std::string bytes;        // in the code page
        std::string impossible;   // a translation the code page cannot hold
        const char* codePoint;
    } cases[] = {
        {"CP932", "\x95\x5C\xB1\xDD\\~", "\xE8\xA1\xA8\xEF\xBD\xB1\xEF\xBE\x9D\\~", "\xE8\xA1\xA8!", "\x95\x5C!",
         "caf\xC3\xA9", "U+00E9"},
        {"CP1252", "caf\xE9 \x80", "caf\xC3\xA9 \xE2\x82\xAC", "na\xC3\xAFve", "na\xEFve", "\xD0\x9F", "U+041F"},
    };
    for (const auto& c : cases) {
        Workspace w;
        w.write("s.txt", listing({c.string}));
        ASSERT_EQ(w.scntool({"s.txt"}).status, 0);
        const std::string original = w.read("s.bin");
        // Without the code page, the bytes do not decode as UTF-8: no template.
        RunResult result = w.scntool({"--pot", "s.txt"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("s.txt:2: the string does not decode in UTF-8 (name the game's code page with "
                                     "--code-page)"),
                  std::string::npos)
            << result.output;
        EXPECT_FALSE(w.exists("s.pot"));
        result = w.scntool({"--code-page", c.page, "--pot", "s.txt"});
        ASSERT_EQ(result.status, 0) << result.output;
        const auto pot = readPoFile(w.read("s.pot"));
        EXPECT_EQ(pot.headerField("X-Code-Page"), c.page);
        EXPECT_EQ(pot.entries[1].id, c.utf8);
        ASSERT_EQ(gettext(w, "msginit", {"--no-translator", "--locale=fr_FR.UTF-8", "-i", "s.pot", "-o", "s.po"}).status, 0);
        const std::string po = w.read("s.po");

        // A character the code page cannot hold: an error, nothing written.
        w.write("s.po", translated(po, {{"s:1", c.impossible}}));
        result = w.scntool({"s.po"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find(std::string("the translation of 's:1' holds ") + c.codePoint + ", which " + c.page +
                                     " cannot hold"),
                  std::string::npos)
            << result.output;
        EXPECT_EQ(w.read("s.bin"), original);
        // Another code page than the PO file's is an error too.
        w.write("s.po", translated(po, {{"s:1", c.translation}}));
        result = w.scntool({"--code-page", "CP936", "s.po"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("differs from the X-Code-Page"), std::string::npos) << result.output;
        // The header names the code page: the translation is written in it.
        result = w.scntool({"s.po"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(w.read("s.bin").substr(16 + 6, c.bytes.size() + 1), c.bytes + '\0');
    }
}

}  // namespace
