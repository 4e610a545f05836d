#include "member_names.h"

#include <gtest/gtest.h>

#include "messages.h"

#include "platform.h"
#include "test_support.h"

#include <unistd.h>

namespace pactools {
namespace {

TEST(MemberNames, WindowsMisreadNames) {
    for (const char* name : {"CON", "con.txt", "dir/Nul", "a\\COM1.bin", "lpt9", "CONIN$", "conout$.x", "aux .txt",
                             "a.txt.", "a.txt ", "dir./x", "a:b", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b", "a\x01"}) {
        EXPECT_TRUE(isWindowsMisreadName(name)) << name;
    }
    for (const char* name : {"console", "COM10", "COM0", "lpt", "nul_", "a.b", ".hidden", "dir/./x", "x\xC4",
                             "CONIN", "com1x.bin"}) {
        EXPECT_FALSE(isWindowsMisreadName(name)) << name;
    }
}

TEST(MemberNames, KeysMatchWhatWindowsTakesAsOneFile) {
    EXPECT_EQ(fileKey("Dir\\Sub/file.Bin"), "DIR/SUB/FILE.BIN");
    EXPECT_EQ(fileKey("a.txt. "), "A.TXT");
    EXPECT_EQ(fileKey("./a//b/."), "A/B");
    EXPECT_EQ(fileKey("/abs"), "/ABS");
    EXPECT_NE(fileKey("/abs"), fileKey("abs"));
    EXPECT_EQ(fileKey("\xC4.bin"), "\xC4.BIN");  // bytes that are no UTF-8 stay
    // Letters of every script fold, as Windows' file systems fold them: É
    // and é, Greek, Cyrillic, fullwidth Latin.  The Kelvin sign is its own
    // upper case, and ß has no single upper-case letter: neither is K or SS.
    const struct {
        const char* a;
        const char* b;
        bool same;
    } pairs[] = {
        {"\xC3\x89t\xC3\xA9.dat", "\xC3\xA9t\xC3\xA9.dat", true},
        {"\xC3\x84pfel", "\xC3\xA4pfel", true},
        {"\xCE\x91", "\xCE\xB1", true},
        {"\xD0\x90", "\xD0\xB0", true},
        {"\xEF\xBC\xA1", "\xEF\xBD\x81", true},
        {"\xE2\x84\xAA", "k", false},
        {"stra\xC3\x9F" "e", "STRASSE", false},
        {"\xF0\x90\x90\x80", "\xF0\x90\x90\xA8", false},  // beyond the BMP: not folded
    };
    for (const auto& c : pairs) EXPECT_EQ(fileKey(c.a) == fileKey(c.b), c.same) << c.a << " " << c.b;
}

// Short 8.3 names Windows gives long names: a member named like one may be
// that member's file.
TEST(MemberNames, ShortNamesOfLongNames) {
    const struct {
        const char* shortName;
        const char* longName;
        bool may;
    } cases[] = {
        {"SCENAR~1.BIN", "scenario01.bin", true},
        {"scenar~2.bin", "Scenario01.bin", true},
        {"SC3F0A~1.BIN", "scenario01.bin", true},  // a hashed form, past four
        {"SCENE0~1.BIN", "scene01_long.bin", true},
        {"MYDOCU~1", "My Documents", true},
        {"SCENAR~1.DAT", "scenario01.bin", false},  // another extension
        {"OTHER~1.BIN", "scenario01.bin", false},
        {"SCENE01.BIN", "scene01.bin", false},      // no ~N: a name of its own
        {"SCENE~1.BIN", "scene.bin", false},        // scene.bin is a short name itself
        {"SCENAR~X.BIN", "scenario01.bin", false},
        {"PROFIL~1", ".profile", true},             // leading dots go
        {"A_B_C~1.DAT", "a+b,c.dat", true},         // + , ; = [ ] become '_'
        {"AB~1.TXT", "ab\xC3\xA9.txt", true},        // past a non-ASCII letter anything may follow
        {"AC~1.TXT", "ab\xC3\xA9.txt", false},
        {"ABC~1.X_", "abcdefghij.x\xC3\xA9", true},
    };
    for (const auto& c : cases) EXPECT_EQ(mayBeShortNameOf(c.shortName, c.longName), c.may) << c.shortName;
}

TEST(MemberNames, RefusesNamesThatWouldReplaceAnotherFile) {
    struct Case {
        std::vector<std::string_view> names;
        const char* expected;  // nullptr: accepted
    };
    const Case cases[] = {
        {{"a.bin", "b.dat", "dir\\x"}, nullptr},
        {{"a", "data.pac"}, "L: Refusing to extract data.pac: it would replace the archive itself"},
        {{"./DATA.PAC."}, "L: Refusing to extract ./DATA.PAC.: it would replace the archive itself"},
        {{"data.pac.list"}, "L: Refusing to extract data.pac.list: it would replace the list file"},
        {{"Makefile"}, "L: Refusing to extract Makefile: it would replace the makefile"},
        {{"GNUmakefile"}, "L: Refusing to extract GNUmakefile: it would replace the makefile"},
        {{"sub/makefile"}, nullptr},
        {{"a", "."}, "L: Refusing to extract .: it names a directory, not a file"},
        {{"dir/"}, "L: Refusing to extract dir/: it names a directory, not a file"},
        {{"dir\\."}, "L: Refusing to extract dir\\.: it names a directory, not a file"},
        {{""}, "L: Refusing to extract entry 1: its name is empty"},
        {{"../x"}, "L: Refusing to extract ../x: the name is absolute, leads out of the current directory or holds a "
                   "line break"},
        {{"a/B.txt", "A\\b.TXT"}, "L: Refusing to extract A\\b.TXT: it names the same file as a/B.txt (names that "
                                  "differ only in letter case, in '\\' and '/', or in trailing dots and spaces are "
                                  "one file on Windows)"},
        {{".scntool/x"}, "L: Refusing to extract .scntool/x: it lies in .scntool, where scntool keeps its records of "
                         "listings and binaries"},
        {{"a", ".scntool"}, "L: Refusing to extract .scntool: it lies in .scntool, where scntool keeps its records of "
                            "listings and binaries"},
        {{"d\\.SCNTOOL\\y"}, "L: Refusing to extract d\\.SCNTOOL\\y: it lies in .scntool, where scntool keeps its "
                             "records of listings and binaries"},
        {{"d/.Scntool. ./y"}, platform::kWindows ? "L: Refusing to extract d/.Scntool. ./y: Windows would read the name "
                                                   "as a device or as another name"
                                                 : "L: Refusing to extract d/.Scntool. ./y: it lies in .scntool, where "
                                                   "scntool keeps its records of listings and binaries"},
        {{"x.scntool", ".scntool.d/x", "d/.scntoolx", "scntool/x"}, nullptr},
        {{"\xC3\x89t\xC3\xA9.dat", "\xC3\xA9T\xC3\x89.DAT"},
         "L: Refusing to extract \xC3\xA9T\xC3\x89.DAT: it names the same file as \xC3\x89t\xC3\xA9.dat (names that "
         "differ only in letter case, in '\\' and '/', or in trailing dots and spaces are one file on Windows)"},
        {{"d/scenario01.bin", "d/SCENAR~1.BIN"},
         "L: Refusing to extract d/SCENAR~1.BIN: on Windows it may name the same file or folder as d/scenario01.bin, "
         "whose short 8.3 name (or its folder's) it could be"},
        {{"scenario01.bin", "d/SCENAR~1.BIN"}, nullptr},  // another folder
        {{"Scenarios/a.bin", "x", "scenar~1\\b.bin"},
         "L: Refusing to extract scenar~1\\b.bin: on Windows it may name the same file or folder as Scenarios/a.bin, "
         "whose short 8.3 name (or its folder's) it could be"},
        {{"a/b.~pt-0a1b2c3d-42-x1y2z3.tmp"},
         "L: Refusing to extract a/b.~pt-0a1b2c3d-42-x1y2z3.tmp: it has the form of the temporary files pactool and "
         "scntool write, which a later run would take for one left behind"},
        {{"b.~pt-x.tmp/c", "b.tmp"}, nullptr},
        {{"x\x1B"}, platform::kWindows ? "L: Refusing to extract x\\x1B: Windows would read the name as a device or as "
                                         "another name"
                                       : nullptr},
    };
    for (const Case& c : cases) {
        const Error error = checkMemberNames(c.names, "data.pac", "L", "extract");
        EXPECT_EQ(messageText(error), c.expected == nullptr ? "" : c.expected) << c.names.front();
    }
}

// Where names cannot tell, the files do: two members whose files are one
// (here a hard link) are refused.
TEST(MemberNames, MembersWhoseFilesAreOneFile) {
    testing_support::TempDir dir;
    testing_support::writeFile(dir / "a", "one file");
    ASSERT_EQ(::link((dir / "a").c_str(), (dir / "b").c_str()), 0);
    const std::string a = dir / "a";
    const std::string b = dir / "b";
    const std::string c = dir / "c";
    EXPECT_EQ(messageText(checkDistinctFiles({a, c}, "L", "extract")), "");
    EXPECT_EQ(messageText(checkDistinctFiles({a, c, b}, "L", "extract")),
              "L: Refusing to extract " + b + ": its file is the file of " + a + " here (the file system takes them for one)");
}

}  // namespace
}  // namespace pactools
