// Paths the system's code page cannot hold, member names in that code page,
// and paths longer than Windows' MAX_PATH, through the real executables.
// On Windows a path from the command line is UTF-16 and a member name is
// bytes of the ANSI code page (CP1252 in the test prefix, CP932 when
// run-windows.sh runs these again with a Japanese locale): both must reach
// the right file, and messages must show both.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

#include "tool_runner.h"

namespace {

using testing_support::RunResult;
using testing_support::toolLineEnd;
using testing_support::toolsAreWindows;
using testing_support::Workspace;

// The ANSI code page of the Windows executables (TOOLS_CODE_PAGE, CP1252
// unless set), a member name in it, the file that name stands for there (as
// the code page reads it; in UTF-8 on the Linux disk under Wine), and
// folders the code page cannot hold.
struct CodePageCase {
    std::string page;
    std::string name;
    std::string file;
    std::vector<std::string> folders;
};

const CodePageCase& codePageCase() {
    static const CodePageCase cases[] = {
        {"CP1252", "\xE9t\xE9.txt", "\xC3\xA9t\xC3\xA9.txt",
         {"\xE6\x97\xA5\xE6\x9C\xAC", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC"}},
        // The second byte of the first character is 0x5C, a backslash's byte:
        // one file, not a directory.
        {"CP932", "\x95\x5C\x8E\xA6.txt", "\xE8\xA1\xA8\xE7\xA4\xBA.txt", {"\xED\x95\x9C\xEA\xB5\xAD"}},
    };
    const char* page = std::getenv("TOOLS_CODE_PAGE");
    for (const CodePageCase& c : cases) {
        if (page != nullptr && c.page == page) return c;
    }
    return cases[0];
}

const std::string kAnsiName = codePageCase().name;

// The file a member name stands for: on Windows as the ANSI code page reads
// the name, elsewhere its very bytes.
std::string fileOfName(const std::string& name) {
    return toolsAreWindows() && name == kAnsiName ? codePageCase().file : name;
}

// How a path holding `folder` is shown in messages that go to a file: the
// Windows executables write the ANSI code page there, '?' for each UTF-16
// unit it cannot hold; elsewhere the path's bytes.
std::string shownInFile(const std::string& path, const std::string& folder) {
    if (!toolsAreWindows()) return path;
    std::size_t units = 0;
    for (char c : folder) units += (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // all in the BMP here
    std::string shown = path;
    for (std::size_t at; (at = shown.find(folder)) != std::string::npos;) shown.replace(at, folder.size(), units, '?');
    return shown;
}

std::string native(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? toolLineEnd() : std::string(1, c);
    return out;
}

TEST(Paths, AFolderOutsideTheCodePageHoldsAnArchiveAndAScenario) {
    for (const std::string& folder : codePageCase().folders) {
        SCOPED_TRACE(folder);
        Workspace w;
        ::mkdir(w.path(folder).c_str(), 0755);
        // The members lie in the current directory, the archive in the folder.
        w.write("plain.txt", "plain\n");
        w.write(fileOfName(kAnsiName), "accented\n");
        const std::string pac = folder + "/data.pac";
        w.write(pac + ".list", "0 0\nplain.txt\n" + kAnsiName + "\n");
        const std::string names = "plain.txt\n" + kAnsiName + "\n";
        RunResult result = w.pactool({"archive", pac});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, "Compressing plain.txt\nCompressing " + kAnsiName + "\n");
        result = w.pactool({"list", pac});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(result.output.find("  " + kAnsiName + "\n"), std::string::npos) << result.output;
        result = w.pactool({"test", pac});
        EXPECT_EQ(result.output, "OK      plain.txt\nOK      " + kAnsiName + "\n2 members tested, all OK\n");

        // Extracted elsewhere, through the archive's full path.
        Workspace x;
        result = x.pactool({"extract", w.path(pac)});
        EXPECT_EQ(result.status, 0) << result.output;
        // make would get the archive path in the ANSI code page, which has no room for the folder's name.
        const std::string noMakefile = "No makefile written: the archive path " + shownInFile(w.path(pac), folder) +
                                       " holds a character the system's code page cannot hold, so make could not "
                                       "pass it on\n";
        EXPECT_EQ(result.output, "Extracting plain.txt\nExtracting " + kAnsiName + "\n" +
                                     (toolsAreWindows() ? noMakefile : std::string()));
        EXPECT_EQ(x.read("plain.txt"), "plain\n");
        EXPECT_EQ(x.read(fileOfName(kAnsiName)), "accented\n");
        EXPECT_EQ(x.exists("makefile"), !toolsAreWindows());
        EXPECT_EQ(w.read(pac + ".list"), native("0 0\n" + names));
        // On a console every character shows: the folder's, and the name's as the code page reads it.
        result = x.pactoolOnTerminal({"extract", w.path(pac)});
        if (!result.output.empty()) {
            EXPECT_NE(result.output.find("Extracting " + fileOfName(kAnsiName) + "\n"), std::string::npos) << result.output;
            if (toolsAreWindows()) {
                EXPECT_NE(result.output.find(w.path(pac)), std::string::npos) << result.output;
            }
        }

        // A scenario listed and assembled in the folder, and its template,
        // whose references (UTF-8, as PO files are) name the folder.
        const std::string scene = testing_support::readFile(testing_support::dataPath("scenario/sample1.bin"));
        w.write(folder + "/scene.bin", scene);
        result = w.scntool({folder + "/scene.bin"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, "Processing: " + shownInFile(folder, folder) + "/scene.bin\n");
        ::unlink(w.path(folder + "/scene.bin").c_str());
        result = w.scntool({folder + "/scene.txt"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(w.read(folder + "/scene.bin"), scene);
        result = w.scntool({"--pot", "-o", folder + "/all.pot", folder + "/scene.txt"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_NE(w.read(folder + "/all.pot").find("#: " + folder + "/scene.txt:"), std::string::npos);
        for (const std::string& file : w.files()) EXPECT_EQ(file.find(".tmp"), std::string::npos) << file;
    }
}

TEST(Paths, LongerThanWindowsMaxPath) {
    Workspace w;
    // Three directories of 100 characters: the full paths are over 300 characters long.
    std::string deep;
    for (char c : {'a', 'b', 'c'}) {
        deep += std::string(100, c) + "/";
        ASSERT_EQ(::mkdir(w.path(deep).c_str(), 0755), 0);
    }
    const std::string dir = w.path(deep);
    ASSERT_GT(dir.size(), 300u);
    w.write("m.txt", "member\n");
    w.write(deep + "data.pac.list", "0 0\nm.txt\n");
    w.write(deep + "scene.bin", testing_support::readFile(testing_support::dataPath("scenario/sample1.bin")));
    const std::string pac = dir + "data.pac";
    const std::string missing = dir + "none/all.pot";
    const struct {
        bool pactool;
        std::vector<std::string> arguments;
        int status;
        std::string output;
    } runs[] = {
        {true, {"archive", pac}, 0, "Compressing m.txt\n"},
        {true, {"archive", pac}, 0, "Unchanged m.txt\n"},
        {true, {"test", pac}, 0, "OK      m.txt\n1 member tested, all OK\n"},
        {true, {"extract", pac}, 0, "Extracting m.txt\n"},
        {false, {dir + "scene.bin"}, 0, "Processing: " + dir + "scene.bin\n"},
        {false, {dir + "scene.txt"}, 0, "Processing: " + dir + "scene.txt\n"},
        // A file that cannot be created is told with the system's reason, and nothing is left.
        {false, {"--pot", "-o", missing, dir + "scene.txt"}, 1,
         "Processing: " + dir + "scene.txt\n" + missing + ": Can't open/create file!\nscntool: " + missing + ": " +
             testing_support::reasonText(testing_support::Reason::PathNotFound) + "\n"},
    };
    for (const auto& run : runs) {
        const RunResult result = run.pactool ? w.pactool(run.arguments) : w.scntool(run.arguments);
        EXPECT_EQ(result.status, run.status) << run.arguments[0];
        EXPECT_EQ(result.output, run.output) << run.arguments[0];
    }
    EXPECT_EQ(w.read("m.txt"), "member\n");
    EXPECT_EQ(w.read(deep + "data.pac.list"), native("0 0\nm.txt\n"));
    EXPECT_EQ(w.read(deep + "scene.bin"), testing_support::readFile(testing_support::dataPath("scenario/sample1.bin")));
    EXPECT_EQ(testing_support::listDirectory(dir),
              (std::vector<std::string>{".scntool", "data.pac", "data.pac.list", "scene.bin", "scene.txt"}));
}

}  // namespace
