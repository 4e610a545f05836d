// The edit cycle through the makefile that `pactool extract` writes, run by
// real GNU make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include <sys/stat.h>
#include <utime.h>

#include "archive_builder.h"
#include "po_file.h"
#include "corpus.h"
#include "tool_runner.h"

namespace {

using testing_support::RunResult;
using testing_support::Workspace;

std::string toolCommand(const std::string& path) {
    const char* launcher = std::getenv("TOOL_LAUNCHER");
    return (launcher != nullptr && *launcher != '\0' ? std::string(launcher) + " " : std::string()) + path;
}

// A workspace holding an extracted archive, with ../makefile.conf naming the
// tools and an install directory.
struct Extracted : Workspace {
    explicit Extracted(const std::string& list, const std::vector<std::pair<std::string, std::string>>& members) {
        Workspace source;
        for (const auto& [name, bytes] : members) source.write(name, bytes);
        source.write("data.pac.list", list);
        const RunResult packed = source.pactool({"archive", "data.pac"});
        EXPECT_EQ(packed.status, 0) << packed.output;
        extract(source.read("data.pac"));
    }
    // An archive built byte by byte, extracted where `directories` exist.
    Extracted(const std::vector<testing_support::ArchiveMember>& members, const std::vector<std::string>& directories) {
        for (const auto& directory : directories) ::mkdir(path(directory).c_str(), 0755);
        extract(testing_support::buildArchive(members));
    }
    Extracted() = default;
    void extract(const std::string& pac, const std::string& name = "data.pac") {
        write(name, pac);
        extracted = pactool({"extract", "--", name});
        EXPECT_EQ(extracted.status, 0) << extracted.output;
        ::mkdir((parent() + "/game").c_str(), 0755);
        testing_support::writeFile(parent() + "/makefile.conf",
                                   "QVXPACTOOL = " + toolCommand(testing_support::pactoolPath()) +
                                       "\nQVXTOOL = " + toolCommand(testing_support::scntoolPath()) +
                                       "\nCOPY = cp\nGAME_DIR = " + parent() + "/game\n");
        age(name);
    }
    // Moves a file's time an hour back, so that files touched later are newer.
    void age(const std::string& name) const {
        struct stat st {};
        ::stat(path(name).c_str(), &st);
        utimbuf times{st.st_atime - 3600, st.st_mtime - 3600};
        ::utime(path(name).c_str(), &times);
    }
    RunResult make(const std::vector<std::string>& targets = {}) const {
        std::vector<std::string> arguments = {"--no-print-directory"};
        arguments.insert(arguments.end(), targets.begin(), targets.end());
        return testing_support::runProgramDirect(dir(), "make", arguments);
    }
    RunResult extracted;
};

TEST(MakeCycle, RebuildsTheArchiveAfterAMemberChanges) {
    Extracted w("0 0\na.txt\nb.dat\n", {{"a.txt", "first version\n"},
                                         {"b.dat", testing_support::corpusBytes(testing_support::CorpusKind::Text, 5000, 1)}});
    const std::string before = w.read("data.pac");
    // The extracted members are newer than the archive: make rebuilds it, the same.
    RunResult result = w.make();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(w.read("data.pac"), before);
    result = w.make();
    EXPECT_EQ(result.output, "make: Nothing to be done for 'all'.\n");

    w.age("data.pac");
    w.write("a.txt", "second version\n");
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    // Only the edited member is compressed again; the other keeps its stream.
    EXPECT_NE(result.output.find("Compressing a.txt\nUnchanged b.dat\n"), std::string::npos) << result.output;
    EXPECT_NE(w.read("data.pac"), before);

    Workspace check;
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(check.read("a.txt"), "second version\n");

    result = w.make({"install"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(testing_support::readFile(w.parent() + "/game/data.pac"), w.read("data.pac"));
}

TEST(MakeCycle, AnArchivePathStartingWithADashIsNoOption) {
    Workspace source;
    source.write("a.txt", "text\n");
    source.write("-x.pac.list", "0 0\na.txt\n");
    ASSERT_EQ(source.pactool({"archive", "--", "-x.pac"}).status, 0);
    Extracted w;
    w.extract(source.read("-x.pac"), "-x.pac");
    w.write("a.txt", "edited\n");
    RunResult result = w.make({"install"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Compressing a.txt"), std::string::npos) << result.output;
    EXPECT_EQ(testing_support::readFile(w.parent() + "/game/-x.pac"), w.read("-x.pac"));
}

TEST(MakeCycle, StopsWhenTheArchiveCannotBeBuilt) {
    Extracted w("0 0\na.txt\nb.dat\n", {{"a.txt", "text\n"}, {"b.dat", "data"}});
    ASSERT_EQ(w.make().status, 0);
    w.age("data.pac");
    const std::string before = w.read("data.pac");
    ::unlink(w.path("b.dat").c_str());
    ::mkdir(w.path("b.dat").c_str(), 0755);  // exists for make, unreadable for pactool
    const RunResult result = w.make({"all", "install"});
    EXPECT_NE(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Can't open b.dat"), std::string::npos) << result.output;
    EXPECT_EQ(w.read("data.pac"), before);
    EXPECT_FALSE(testing_support::fileExists(w.parent() + "/game/data.pac"));  // install never ran
}

// Replaces the first `from` in a workspace file by `to`.
void edit(const Workspace& w, const std::string& name, const std::string& from, const std::string& to) {
    std::string text = w.read(name);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    w.write(name, text);
}

std::string assembled(const std::string& listing) {
    Workspace scratch;
    scratch.write("s.txt", listing);
    EXPECT_EQ(scratch.scntool({"s.txt"}).status, 0);
    return scratch.read("s.bin");
}

const char* const kScene =
    "Flags(1, 4)\n01000000\nStart:\nPushB\t<Mira: The lantern is out -> again.>\nCall\t1(0)\n"
    "CJmp\tStart\nJmp\tEnd\nPushC\t5\nEnd:\n";

TEST(MakeCycle, DecompileEditAndRebuildScenarios) {
    Extracted w("0 0\nscene.bin\nSCENE2.BIN\nnotes.txt\n",
                {{"scene.bin", assembled(kScene)}, {"SCENE2.BIN", assembled(kScene)}, {"notes.txt", "notes\n"}});
    RunResult result = w.make({"decompile"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Processing: scene.bin\nProcessing: SCENE2.BIN\n"), std::string::npos) << result.output;
    ASSERT_TRUE(w.exists("scene.txt"));
    ASSERT_TRUE(w.exists("SCENE2.txt"));

    edit(w, "scene.txt", "The lantern is out", "Die Laterne ist aus");
    edit(w, "SCENE2.txt", "The lantern is out", "La lanterne est \xC3\xA9teinte");
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Processing: scene.txt\n"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("Processing: SCENE2.txt\n"), std::string::npos) << result.output;
    EXPECT_FALSE(w.exists("SCENE2.bin"));  // the upper-case member itself was rebuilt

    Workspace check;
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"e", "data.pac"}).status, 0);
    ASSERT_EQ(check.scntool({"scene.bin", "SCENE2.BIN"}).status, 0);
    EXPECT_NE(check.read("scene.txt").find("PushB\t<Mira: Die Laterne ist aus -> again.>"), std::string::npos);
    EXPECT_NE(check.read("SCENE2.txt").find("PushB\t<Mira: La lanterne est \xC3\xA9teinte -> again.>"), std::string::npos);
    EXPECT_EQ(check.read("notes.txt"), "notes\n");
}

bool haveGettext() {
    return std::system("msginit --version >/dev/null 2>&1") == 0;
}

RunResult gettext(const Workspace& w, const std::string& program, const std::vector<std::string>& arguments) {
    return testing_support::runProgramDirect(w.dir(), program, arguments);
}

// What a translator does to a fresh PO file: every untranslated entry gets
// "DE é " and its msgid.
void translateAll(const Workspace& w, const std::string& name) {
    std::string po = w.read(name);
    for (std::size_t at = po.find("\nmsgid \""); at != std::string::npos; at = po.find("\nmsgid \"", at + 1)) {
        const std::size_t end = po.find("\"\n", at + 8);
        const std::string id = po.substr(at + 8, end - at - 8);
        const std::size_t msgstr = end + 2;
        if (id.empty() || po.compare(msgstr, 10, "msgstr \"\"\n") != 0) continue;
        po.replace(msgstr, 10, "msgstr \"DE \xC3\xA9 " + id + "\"\n");
    }
    w.write(name, po);
}

// A listing with the strings named in `translated` as the translator above
// wrote them, in the bytes of the code page: the listing route to the
// binary that translations must give.
std::string translatedListing(std::string listing, const std::vector<std::string>& translated, bool cp1252) {
    for (const std::string& text : translated) {
        for (std::size_t at = listing.find("<" + text + ">"); at != std::string::npos;
             at = listing.find("<" + text + ">", at + 1)) {
            listing.insert(at + 1, cp1252 ? "DE \xE9 " : "DE \xC3\xA9 ");
        }
    }
    return listing;
}

// A translation team's cycle through real make and the gettext tools, with
// a PO file per scenario (in the game's code page) and with one PO file for
// the whole game: template, msginit, translation, make; then a new version
// of the game, with a string inserted, one deleted and one edited in one
// scenario and another scenario unchanged, through the update sequence.
TEST(MakeCycle, ATranslationTeamsCycleThroughANewGameVersion) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    const std::string dots = "\xE2\x80\xA6\xE2\x80\xA6";  // "……", which repeats
    const auto story = [&](const std::string& first, const std::string& last, bool withGuide) {
        return "Flags(1, 4)\n01000000\nStart:\n" + first + "PushB\t<Mira: The lantern is out.>\nCall\t1(0)\nPushB\t<" + dots +
               ">\nCall\t1(0)\nCJmp\tLater\n" + (withGuide ? "PushB\t<Guide: Follow me.>\nCall\t1(0)\n" : "") +
               "PushB\t<" + dots + ">\nJmp\tStart\nLater:\nPushB\t<" + last + ">\nPushB\t<" + dots + ">\nCall\t2(0)\n";
    };
    const std::string story1 = story("", "Mira: Where are we?", true);
    const std::string story2 = story("PushB\t<Narrator: Three days later.>\nCall\t1(0)\n", "Mira: Where are we now?", false);
    const std::vector<std::string> unchanged = {"Mira: The lantern is out.", dots};
    const std::string menu = "Flags(0, 0)\nLabel_0:\nPushB\t<Start>\nPushB\t<Quit>\nCJmp\tLabel_0\n";
    Workspace vendor;
    vendor.write("data.pac.list", "0 0\nstory.bin\nmenu.bin\n");
    vendor.write("menu.bin", assembled(menu));
    vendor.write("story.bin", assembled(story2));
    ASSERT_EQ(vendor.pactool({"archive", "data.pac"}).status, 0);
    const std::string version2 = vendor.read("data.pac");

    for (const bool project : {false, true}) {
        SCOPED_TRACE(project ? "one PO file for the game" : "a PO file per scenario, in CP1252");
        Extracted w("0 0\nstory.bin\nmenu.bin\n", {{"story.bin", assembled(story1)}, {"menu.bin", assembled(menu)}});
        testing_support::writeFile(w.parent() + "/makefile.conf", testing_support::readFile(w.parent() + "/makefile.conf") +
                                                                      (project ? "TRANSLATIONS = game.po\n" : "CODE_PAGE = CP1252\n"));
        ASSERT_EQ(w.make({"decompile"}).status, 0);
        edit(w, "menu.txt", "Label_0:", "MenuTop:");  // the user's own label
        edit(w, "menu.txt", "CJmp\tLabel_0", "CJmp\tMenuTop");
        RunResult result = w.make({"status"});
        EXPECT_NE(result.output.find("story: 4 strings: 0 translated, 0 fuzzy, 4 untranslated; story.bin up to date\n"),
                  std::string::npos)
            << result.output;
        ASSERT_EQ(w.make({"pot"}).status, 0);
        const std::vector<std::string> pos = project ? std::vector<std::string>{"game"} : std::vector<std::string>{"story", "menu"};
        for (const std::string& po : pos) {
            result = gettext(w, "msginit", {"--no-translator", "--locale=de_DE.UTF-8", "-i", po + ".pot", "-o", po + ".po"});
            ASSERT_EQ(result.status, 0) << result.output;
            result = gettext(w, "msgfmt", {"-c", "--check-header", "-o", "/dev/null", po + ".po"});
            EXPECT_EQ(result.status, 0) << result.output;
            EXPECT_EQ(result.output.find("missing"), std::string::npos) << result.output;
            translateAll(w, po + ".po");
        }
        // The repeated line has one entry, translated once.
        EXPECT_EQ(testing_support::readFile(w.path(project ? "game.po" : "story.po")).find("msgid \"" + dots + "\"\nmsgstr \"DE"),
                  testing_support::readFile(w.path(project ? "game.po" : "story.po")).rfind("msgid \"" + dots + "\""));
        result = w.make();
        ASSERT_EQ(result.status, 0) << result.output;
        result = w.make({"status"});
        EXPECT_NE(result.output.find("story: 4 strings: 4 translated, 0 fuzzy, 0 untranslated; story.bin up to date\n"),
                  std::string::npos)
            << result.output;
        const auto packed = [&](const std::string& name) {
            Workspace check;
            check.write("data.pac", w.read("data.pac"));
            EXPECT_EQ(check.pactool({"e", "data.pac"}).status, 0);
            return check.read(name);
        };
        const std::vector<std::string> all = {"Mira: The lantern is out.", dots, "Guide: Follow me.", "Mira: Where are we?"};
        EXPECT_EQ(packed("story.bin"), assembled(translatedListing(story1, all, !project)));
        EXPECT_EQ(packed("menu.bin"), assembled(translatedListing(menu, {"Start", "Quit"}, !project)));

        // Listing again keeps every listing: each binary was built from its
        // listing, as the records say.  A translation that cannot be written
        // stops make before anything is written, the archive untouched.
        const std::string po = project ? "game.po" : "menu.po";
        const std::string menuListing = w.read("menu.txt");
        const std::string pac = w.read("data.pac");
        edit(w, po, "msgstr \"DE \xC3\xA9 Quit\"", "msgstr \"DE\\nQuit\"");
        result = w.make({"decompile"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find("menu.txt: kept: menu.bin was built from it\n"), std::string::npos) << result.output;
        EXPECT_EQ(w.read("menu.txt"), menuListing);
        result = w.make();
        EXPECT_NE(result.status, 0) << result.output;
        EXPECT_NE(result.output.find(po + ":"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find(": the translation of 'Quit' holds a NUL, CR or LF"), std::string::npos) << result.output;
        EXPECT_EQ(w.read("data.pac"), pac);
        edit(w, po, "msgstr \"DE\\nQuit\"", "msgstr \"DE \xC3\xA9 Quit\"");

        // The new version: extracted into the working directory, then the update sequence.
        w.write("data.pac", version2);
        ASSERT_EQ(w.pactool({"extract", "data.pac"}).status, 0);
        result = w.make({"decompile"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find("story.txt: listed again: story.bin is a new original;"), std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find("menu.txt: kept: it was listed from menu.bin\n"), std::string::npos) << result.output;
        EXPECT_NE(w.read("menu.txt").find("MenuTop:"), std::string::npos);
        ASSERT_EQ(w.make({"pot"}).status, 0);
        for (const std::string& name : pos) {
            result = gettext(w, "msgmerge", {"-q", "-U", "--backup=none", name + ".po", name + ".pot"});
            ASSERT_EQ(result.status, 0) << result.output;
        }
        // Every unchanged string keeps its translation, exact, not fuzzy.
        for (const std::string& name : pos) {
            pactools::PoFile merged;
            ASSERT_FALSE(pactools::readPo(w.read(name + ".po"), merged));
            for (const pactools::PoEntry& entry : merged.entries) {
                if (entry.obsolete || std::find(unchanged.begin(), unchanged.end(), entry.id) == unchanged.end()) continue;
                EXPECT_FALSE(entry.hasFlag("fuzzy")) << entry.id;
                EXPECT_EQ(entry.translation, "DE \xC3\xA9 " + entry.id);
            }
        }
        result = w.make();
        ASSERT_EQ(result.status, 0) << result.output;
        // Changed and new strings stay in the original text until translated;
        // the unchanged scenario is packed translated, not as the bare original.
        EXPECT_EQ(packed("story.bin"), assembled(translatedListing(story2, unchanged, !project)));
        EXPECT_EQ(packed("menu.bin"), assembled(translatedListing(menu, {"Start", "Quit"}, !project)));
        result = w.make({"status"});
        EXPECT_NE(result.output.find("story: 4 strings: 2 translated, "), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("menu: 2 strings: 2 translated, 0 fuzzy, 0 untranslated; menu.bin up to date\n"),
                  std::string::npos)
            << result.output;
        EXPECT_EQ(w.make().output, "make: Nothing to be done for 'all'.\n");
    }
    // TRANSLATIONS names one PO file: anything else stops make before it builds.
    Extracted w("0 0\nmenu.bin\n", {{"menu.bin", assembled(menu)}});
    const std::string conf = testing_support::readFile(w.parent() + "/makefile.conf");
    for (const char* wrong : {"my game.po", "game.pot"}) {
        testing_support::writeFile(w.parent() + "/makefile.conf", conf + "TRANSLATIONS = " + wrong + "\n");
        const RunResult result = w.make({"pot"});
        EXPECT_NE(result.status, 0) << wrong;
        EXPECT_NE(result.output.find("TRANSLATIONS must name one PO file, NAME.po, without blanks"), std::string::npos)
            << result.output;
    }
}

TEST(MakeCycle, PlainNamesOfEveryAllowedCharacterGoThroughTheCycle) {
    // Letters, digits, bytes from 0x80 up, . _ - + / , and '\\' between directories.
    // (On Windows, bytes from 0x80 up go through the ANSI code page.)
    const std::string odd = testing_support::toolsAreWindows() ? "-x_1+2,.bin" : "-x_1+2,\xC3\xA9.bin";
    Extracted w({{odd, assembled(kScene)}, {"d\\s.bin", assembled(kScene)}, {"d/n,1.dat", "notes"}}, {"d"});
    ASSERT_TRUE(w.exists("makefile")) << w.extracted.output;
    RunResult result = w.make({"decompile"});
    ASSERT_EQ(result.status, 0) << result.output;
    ASSERT_TRUE(w.exists(odd.substr(0, odd.size() - 4) + ".txt"));
    ASSERT_TRUE(w.exists("d/s.txt"));
    w.age("data.pac");
    edit(w, "d/s.txt", "The lantern is out", "Edited");
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Processing: d/s.txt\n"), std::string::npos) << result.output;
    Workspace check;
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"list", "data.pac"}).status, 0);
    ::mkdir(check.path("d").c_str(), 0755);
    ASSERT_EQ(check.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(check.read("d/s.bin"), w.read("d/s.bin"));
    EXPECT_NE(check.read("d/s.bin"), assembled(kScene));
}

TEST(MakeCycle, NoMemberNameEverRunsACommand) {
    // Each character make or the shell would read as more than a name, and
    // each name make would take for one of its targets.
    for (const char* name : {"$(shell touch PWNED).bin", "$$(touch PWNED).bin", "`touch PWNED`.bin", "a;touch PWNED;.bin",
                             "a|touch PWNED.bin", "a&touch PWNED&.bin", "a'b.bin", "a\"b.bin", "#a.bin", "a b.bin",
                             "ab:c.bin", "%.bin", "*.bin", "a?.bin", "a=b.bin", "~b.bin", "a!b.bin", "a\tb.bin",
                             // The makefile's own targets.
                             "all", "extract", "Decompile", "POT", "status", "install"}) {
        // Windows refuses some of these as file names outright (tested elsewhere).
        const bool windowsRefuses = std::string(name).find_first_of(":\"|?*\t") != std::string::npos;
        if (testing_support::toolsAreWindows() && windowsRefuses) continue;
        Extracted w({{"first.bin", assembled(kScene)}, {name, assembled(kScene)}, {"last.dat", "x"}}, {});
        EXPECT_NE(w.extracted.output.find("No makefile written: the member name "), std::string::npos)
            << w.extracted.output;
        EXPECT_TRUE(w.exists(name)) << name;  // the member itself is extracted
        EXPECT_FALSE(w.exists("makefile")) << name;
        // Without a makefile make has nothing to run (a member named like a
        // target is just a file to it).
        for (const char* target : {"decompile", "all"}) {
            const RunResult made = w.make({target});
            EXPECT_TRUE(made.status != 0 || made.output.find("Nothing to be done") != std::string::npos) << made.output;
        }
        EXPECT_FALSE(w.exists("PWNED")) << name;
        EXPECT_FALSE(testing_support::fileExists(w.parent() + "/PWNED")) << name;
    }
}

TEST(MakeCycle, ASyntaxErrorStopsMakeAndKeepsEverything) {
    Extracted w("0 0\nscene.bin\n", {{"scene.bin", assembled(kScene)}});
    ASSERT_EQ(w.make({"decompile"}).status, 0);
    ASSERT_EQ(w.make().status, 0);
    w.age("data.pac");
    w.age("scene.bin");
    const std::string pac = w.read("data.pac");
    const std::string bin = w.read("scene.bin");
    edit(w, "scene.txt", "Call\t1(0)", "Cal 1(0)");
    const RunResult result = w.make({"all", "install"});
    EXPECT_NE(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Syntax error in scenario file at line: "), std::string::npos) << result.output;
    EXPECT_EQ(w.read("scene.bin"), bin);
    EXPECT_EQ(w.read("data.pac"), pac);
    EXPECT_FALSE(testing_support::fileExists(w.parent() + "/game/data.pac"));
}

// A scenario beside a member named like its listing is no scenario for the
// makefile: neither member is ever written over the other.
TEST(MakeCycle, ABinaryBesideAMemberNamedLikeItsListingIsPackedAsItIs) {
    Extracted w("0 0\nscene.bin\nSCENE.TXT\nother.bin\n",
                {{"scene.bin", assembled(kScene)}, {"SCENE.TXT", "the game's own text\n"}, {"other.bin", assembled(kScene)}});
    EXPECT_NE(w.extracted.output.find("scene.bin is not a scenario for the makefile: the archive also holds SCENE.TXT"),
              std::string::npos)
        << w.extracted.output;
    RunResult result = w.make({"decompile"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("scene"), std::string::npos) << result.output;
    w.write("other.txt", w.read("other.txt") + "PushC\t1\n");
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    Workspace check;
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(check.read("scene.bin"), assembled(kScene));
    EXPECT_EQ(check.read("SCENE.TXT"), "the game's own text\n");
    EXPECT_EQ(check.read("other.bin"), assembled(std::string(kScene) + "PushC\t1\n"));
}

// The number before `word` in `text` ("29 translated" -> 29), or -1.
long numberBefore(const std::string& text, const std::string& word) {
    const std::size_t at = text.find(" " + word);
    if (at == std::string::npos) return -1;
    std::size_t start = at;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(text[start - 1]))) --start;
    return start == at ? -1 : std::stol(text.substr(start, at - start));
}

// make status tells every problem in one run and is 0 only when the game
// is ready to ship; make reports every translation that cannot be written
// and writes nothing then.
TEST(MakeCycle, StatusIsTheReleaseGate) {
    if (!haveGettext()) GTEST_SKIP() << "the gettext tools are not installed";
    // CP932: "あい" with a wait byte, "ア" and "表" (trail byte 5C).
    const std::string a = assembled("Flags(0, 0)\nTop:\nPushB\t<\x82\xA0\x82\xA2\x03>\nCall\t1(0)\nPushB\t<\x83\x41>\nCJmp\tTop\n");
    const std::string b = assembled("Flags(0, 0)\nPushB\t<\x95\x5C>\nPushB\t<\x83\x41>\n");
    Extracted w("0 0\na.bin\nb.bin\n", {{"a.bin", a}, {"b.bin", b}});
    const std::string conf = testing_support::readFile(w.parent() + "/makefile.conf");
    testing_support::writeFile(w.parent() + "/makefile.conf", conf + "CODE_PAGE = CP932\nTRANSLATIONS = game.po\n");
    ASSERT_EQ(w.make({"decompile"}).status, 0);
    ASSERT_EQ(w.make({"pot"}).status, 0);
    // TRANSLATIONS names a file not there yet: neither ready nor built untranslated.
    RunResult result = w.make({"status"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("game.po: not there yet: make it from the template"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("a: 2 strings: 0 translated, 0 fuzzy, 2 untranslated; a.bin up to date\n"),
              std::string::npos)
        << result.output;
    w.age("data.pac");
    result = w.make();
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("game.po: Can't open file!"), std::string::npos) << result.output;
    ASSERT_EQ(gettext(w, "msginit", {"--no-translator", "--locale=en_US.UTF-8", "-i", "game.pot", "-o", "game.po"}).status, 0);
    ASSERT_EQ(gettext(w, "msgfilter", {"--keep-header", "-i", "game.po", "-o", "game.po", "sed", "-e", "d"}).status, 0);
    const std::string fresh = w.read("game.po");
    const auto status = [&] { return w.make({"status"}); };

    result = status();
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("game.po: 3 entries: 0 translated, 0 fuzzy, 3 untranslated\n"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Not ready to ship: 4 strings untranslated.\n"), std::string::npos) << result.output;

    // Two translations CP932 cannot hold and one that drops the wait byte:
    // every one told, each time; make writes nothing.
    std::string po = fresh;
    const auto translate = [&](const std::string& id, const std::string& text) {
        const std::size_t at = po.find("msgid \"" + id + "\"\nmsgstr \"\"");
        ASSERT_NE(at, std::string::npos) << id;
        po.replace(at, id.size() + 19, "msgid \"" + id + "\"\nmsgstr \"" + text + "\"");
    };
    translate("\xE3\x81\x82\xE3\x81\x84\xE2\x90\x83", "Caf\xC3\xA9");
    translate("\xE3\x82\xA2", "A\xE2\x80\x94");
    translate("\xE8\xA1\xA8", "Table");
    w.write("game.po", po);
    const std::string pac = w.read("data.pac");
    w.age("data.pac");
    for (int run = 0; run < 2; ++run) {
        result = w.make();
        EXPECT_NE(result.status, 0);
        EXPECT_NE(result.output.find("U+00E9 LATIN SMALL LETTER E WITH ACUTE, which CP932 cannot hold"), std::string::npos)
            << result.output;
        EXPECT_NE(result.output.find("U+2014 EM DASH, which CP932 cannot hold"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("Nothing was written."), std::string::npos) << result.output;
        EXPECT_EQ(w.read("data.pac"), pac);
        result = status();
        EXPECT_NE(result.status, 0);
        EXPECT_NE(result.output.find("U+00E9 LATIN"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("U+2014 EM DASH"), std::string::npos) << result.output;
    }
    po = fresh;
    translate("\xE3\x81\x82\xE3\x81\x84\xE2\x90\x83", "Hi");
    translate("\xE3\x82\xA2", "A");
    translate("\xE8\xA1\xA8", "Table");
    w.write("game.po", po);
    result = w.make();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("does not hold the control bytes its source holds"), std::string::npos) << result.output;
    for (int run = 0; run < 2; ++run) {
        result = status();
        EXPECT_NE(result.status, 0);
        EXPECT_NE(result.output.find("Warning: game.po:"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("Not ready to ship: 1 translation whose control bytes differ.\n"), std::string::npos)
            << result.output;
    }
    po = fresh;
    translate("\xE3\x81\x82\xE3\x81\x84\xE2\x90\x83", "Hi\xE2\x90\x83");
    translate("\xE3\x82\xA2", "A");
    translate("\xE8\xA1\xA8", "Table");
    w.write("game.po", po);
    ASSERT_EQ(w.make().status, 0);
    result = status();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("a: 2 strings: 2 translated, 0 fuzzy, 0 untranslated; a.bin up to date\n"), std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("\nReady to ship: every string translated, every binary up to date.\n"), std::string::npos);

    // The entries as msgfmt counts them, one made fuzzy and one extra.
    w.write("game.po", w.read("game.po") + "\n#, fuzzy\nmsgid \"gone\"\nmsgstr \"weg\"\n\nmsgid \"empty\"\nmsgstr \"\"\n");
    result = status();
    const RunResult counted = gettext(w, "msgfmt", {"--statistics", "-o", "/dev/null", "game.po"});
    for (const char* word : {"translated", "fuzzy", "untranslated"}) {
        EXPECT_EQ(numberBefore(result.output.substr(result.output.find("game.po: ")), word), numberBefore(counted.output, word))
            << word << "\n" << result.output << counted.output;
    }
    EXPECT_EQ(result.status, 0) << result.output;  // entries no scenario uses do not ship

    // Without the code page (neither CODE_PAGE nor X-Code-Page) nothing decodes.
    std::string noPage = w.read("game.po");
    noPage.erase(noPage.find("\"X-Code-Page: CP932\\n\"\n"), 23);
    w.write("game.po", noPage);
    testing_support::writeFile(w.parent() + "/makefile.conf", conf + "TRANSLATIONS = game.po\n");
    result = status();
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("a.txt: none of its 2 strings with bytes from 0x80 up decodes in UTF-8: name the game's "
                                 "code page"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("game.po: none of its 4 translations matches a string of the scenarios read in UTF-8"),
              std::string::npos)
        << result.output;
    // Nor is a template made in it: it would be made of stand-ins for bytes.
    const std::string pot = w.read("game.pot");
    result = w.make({"pot"});
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.output.find("a.txt: none of its 2 strings with bytes from 0x80 up decodes in UTF-8"), std::string::npos)
        << result.output;
    EXPECT_EQ(w.read("game.pot"), pot);

    // A new version with a new scenario, before make decompile.
    testing_support::writeFile(w.parent() + "/makefile.conf", conf + "CODE_PAGE = CP932\nTRANSLATIONS = game.po\n");
    Workspace vendor;
    vendor.write("a.bin", a);
    vendor.write("b.bin", assembled("Flags(0, 0)\nPushB\t<\x95\x5C\x95\x5C>\nPushB\t<\x83\x41>\n"));
    vendor.write("c.bin", b);
    vendor.write("data.pac.list", "0 0\na.bin\nb.bin\nc.bin\n");
    ASSERT_EQ(vendor.pactool({"archive", "data.pac"}).status, 0);
    w.write("data.pac", vendor.read("data.pac"));
    ASSERT_EQ(w.pactool({"extract", "data.pac"}).status, 0);
    result = status();
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(result.output.find("Can't open"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("b: b.bin is a new original, not listed yet: make decompile\nc: no listing: make decompile\n"),
              std::string::npos)
        << result.output;
    EXPECT_NE(result.output.find("Not ready to ship: 1 scenario not listed, 1 new original not listed again"),
              std::string::npos)
        << result.output;
}

}  // namespace
