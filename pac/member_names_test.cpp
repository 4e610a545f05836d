#include "member_names.h"

#include <gtest/gtest.h>

#include "messages.h"

#include "platform.h"

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
    EXPECT_EQ(fileKey("Dir\\Sub/FILE.Bin"), "dir/sub/file.bin");
    EXPECT_EQ(fileKey("a.txt. "), "a.txt");
    EXPECT_EQ(fileKey("./a//b/."), "a/b");
    EXPECT_EQ(fileKey("/abs"), "/abs");
    EXPECT_NE(fileKey("/abs"), fileKey("abs"));
    EXPECT_EQ(fileKey("\xC4.bin"), "\xC4.bin");  // only ASCII letters fold
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
        {{"x\x1B"}, platform::kWindows ? "L: Refusing to extract x\\x1B: Windows would read the name as a device or as "
                                         "another name"
                                       : nullptr},
    };
    for (const Case& c : cases) {
        const Error error = checkMemberNames(c.names, "data.pac", "L", "extract");
        EXPECT_EQ(messageText(error), c.expected == nullptr ? "" : c.expected) << c.names.front();
    }
}

}  // namespace
}  // namespace pactools
