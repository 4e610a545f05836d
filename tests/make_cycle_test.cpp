// The edit cycle through the makefile that `pactool extract` writes, run by
// real GNU make.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include "archive_builder.h"
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
    void extract(const std::string& pac) {
        write("data.pac", pac);
        extracted = pactool({"extract", "data.pac"});
        EXPECT_EQ(extracted.status, 0) << extracted.output;
        ::mkdir((parent() + "/game").c_str(), 0755);
        testing_support::writeFile(parent() + "/makefile.conf",
                                   "QVXPACTOOL = " + toolCommand(testing_support::pactoolPath()) +
                                       "\nQVXTOOL = " + toolCommand(testing_support::scntoolPath()) +
                                       "\nCOPY = cp\nGAME_DIR = " + parent() + "/game\n");
        age("data.pac");
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

TEST(MakeCycle, TranslatorsCycleWithAPoFile) {
    if (std::system("msginit --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "the gettext tools are not installed";
    Extracted w("0 0\nscene.bin\nnotes.txt\n", {{"scene.bin", assembled(kScene)}, {"notes.txt", "notes\n"}});
    testing_support::writeFile(w.parent() + "/makefile.conf",
                               testing_support::readFile(w.parent() + "/makefile.conf") + "CODE_PAGE = CP1252\n");
    ASSERT_EQ(w.make({"decompile"}).status, 0);
    RunResult result = w.make({"pot"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(w.read("scene.pot").find("X-Code-Page: CP1252"), std::string::npos);
    result = testing_support::runProgramDirect(
        w.dir(), "msginit", {"--no-translator", "--locale=fr_FR.UTF-8", "-i", "scene.pot", "-o", "scene.po"});
    ASSERT_EQ(result.status, 0) << result.output;
    const std::string listing = w.read("scene.txt");
    w.age("data.pac");
    w.age("scene.bin");
    std::string po = w.read("scene.po");
    const std::size_t entry = po.find("msgctxt \"scene:1\"");
    ASSERT_NE(entry, std::string::npos);
    po.replace(po.find("msgstr \"\"", entry), 9, "msgstr \"Mira : La lanterne est \xC3\xA9teinte -> encore.\"");
    w.write("scene.po", po);
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Processing: scene.po\n"), std::string::npos) << result.output;
    Workspace check;
    check.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(check.pactool({"e", "data.pac"}).status, 0);
    const RunResult listed = check.scntool({"scene.bin"});
    ASSERT_EQ(listed.status, 0);
    EXPECT_NE(check.read("scene.txt").find("PushB\t<Mira : La lanterne est \xE9teinte -> encore.>"), std::string::npos);
    // Listing again keeps the PO file's source, and make has nothing to do.
    result = w.make({"decompile"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("scene.txt: kept as it is: it is the source of scene.po's translations"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(w.read("scene.txt"), listing);
    EXPECT_EQ(w.make().output, "make: Nothing to be done for 'all'.\n");
    // Editing the PO file rebuilds the scenario and the archive.
    w.age("data.pac");
    w.age("scene.bin");
    edit(w, "scene.po", "encore.", "de nouveau.");
    result = w.make();
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("Compressing scene.bin\nUnchanged notes.txt\n"), std::string::npos) << result.output;
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
    // Each character make or the shell would read as more than a name.
    for (const char* name : {"$(shell touch PWNED).bin", "$$(touch PWNED).bin", "`touch PWNED`.bin", "a;touch PWNED;.bin",
                             "a|touch PWNED.bin", "a&touch PWNED&.bin", "a'b.bin", "a\"b.bin", "#a.bin", "a b.bin",
                             "ab:c.bin", "%.bin", "*.bin", "a?.bin", "a=b.bin", "~b.bin", "a!b.bin", "a\tb.bin"}) {
        // Windows refuses some of these as file names outright (tested elsewhere).
        const bool windowsRefuses = std::string(name).find_first_of(":\"|?*\t") != std::string::npos;
        if (testing_support::toolsAreWindows() && windowsRefuses) continue;
        Extracted w({{"first.bin", assembled(kScene)}, {name, assembled(kScene)}, {"last.dat", "x"}}, {});
        EXPECT_NE(w.extracted.output.find("No makefile written: the member name "), std::string::npos)
            << w.extracted.output;
        EXPECT_TRUE(w.exists(name)) << name;  // the member itself is extracted
        EXPECT_FALSE(w.exists("makefile")) << name;
        for (const char* target : {"decompile", "all"}) EXPECT_NE(w.make({target}).status, 0) << name;
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

}  // namespace
