// scntool end to end: the real executable in scratch directories.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

#include "scenario_generator.h"
#include "archive_builder.h"
#include "tool_runner.h"

namespace {

using testing_support::dataPath;
using testing_support::readFile;
using testing_support::Reason;
using testing_support::reasonText;
using testing_support::toolLineEnd;
using testing_support::le32;
using testing_support::put32;
using testing_support::Workspace;

std::string native(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += toolLineEnd();
        else out += c;
    }
    return out;
}

std::string sample(int n, const char* extension) {
    return readFile(dataPath("scenario/sample" + std::to_string(n) + extension));
}


TEST(ScntoolCommandLine, Usage) {
    Workspace w;
    const auto result = w.scntool({});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.rfind("Usage: ", 0), 0u);
    EXPECT_NE(result.output.find(" <input files>\nWhere input files can be either binary or text scenario files\n\n"),
              std::string::npos);
    for (const char* help : {"-h", "--help"}) {
        const auto again = w.scntool({help});
        EXPECT_EQ(again.status, 0);
        EXPECT_EQ(again.output, result.output);
    }
    const auto version = w.scntool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "scntool " PACTOOLS_VERSION "\n");
    // A command line that would silently drop or mix what it was given is
    // refused with the usage, before any file is touched.
    w.write("a.po", "");
    w.write("s.txt", "Flags(0, 0)\nPushB\t<a>\n");
    const struct {
        std::vector<std::string> arguments;
        const char* line;
    } wrong[] = {
        {{"--po", "a.po", "--po", "b.po", "s.txt"}, "--po may be given once"},
        {{"--code-page", "CP932", "--code-page=CP1252", "s.txt"}, "--code-page may be given once"},
        {{"--pot", "-o", "a.pot", "--output", "b.pot", "s.txt"}, "--output may be given once"},
        {{"--pot", "--status", "s.txt"}, "--pot, --status and --build do not go together"},
        {{"--build", "--status", "s.txt"}, "--pot, --status and --build do not go together"},
        {{"--pot", "-o", "a.po", "s.txt"}, "-o/--output must name a .pot file"},
    };
    for (const auto& c : wrong) {
        const auto refused = w.scntool(c.arguments);
        EXPECT_EQ(refused.status, 1) << c.line;
        EXPECT_EQ(refused.output.substr(0, refused.output.find('\n')), c.line);
        EXPECT_NE(refused.output.find("Usage: "), std::string::npos);
    }
    EXPECT_EQ(w.files(), (std::vector<std::string>{"a.po", "s.txt"}));
}

TEST(ScntoolConvert, ListsAndAssemblesTheReferenceScenarios) {
    Workspace w;
    for (int n = 1; n <= 6; ++n) {
        const std::string name = "s" + std::to_string(n);
        w.write(name + ".bin", sample(n, ".bin"));
        auto result = w.scntool({name + ".bin"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output, "Processing: " + name + ".bin\n");
        EXPECT_EQ(w.read(name + ".txt"), native(sample(n, ".txt"))) << name;
        ::unlink(w.path(name + ".bin").c_str());
        result = w.scntool({name + ".txt"});
        ASSERT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(w.read(name + ".bin"), sample(n, ".bin")) << name;
    }
}

TEST(ScntoolConvert, ListingsWithEitherLineEndAssemble) {
    Workspace w;
    std::string crlf;
    for (char c : sample(2, ".txt")) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    w.write("lf.txt", sample(2, ".txt"));
    w.write("crlf.txt", crlf);
    const auto result = w.scntool({"lf.txt", "crlf.txt"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(w.read("lf.bin"), sample(2, ".bin"));
    EXPECT_EQ(w.read("crlf.bin"), sample(2, ".bin"));
}

TEST(ScntoolConvert, EachArgumentOnItsOwnInOrder) {
    Workspace w;
    w.write("a.bin", sample(1, ".bin"));
    w.write("b.txt", sample(3, ".txt"));
    w.write("c.dat", "x");
    const auto result = w.scntool({"a.bin", "c.dat", "missing.txt", "b.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: a.bin\nc.dat: file extension must be 'bin' or 'txt'.\n"
                             "missing.txt: Can't open file!\nscntool: missing.txt: " +
                                 reasonText(Reason::FileNotFound) + "\nProcessing: b.txt\n");
    EXPECT_EQ(w.read("a.txt"), native(sample(1, ".txt")));
    EXPECT_EQ(w.read("b.bin"), sample(3, ".bin"));
}

TEST(ScntoolConvert, TheExtensionDecidesTheDirection) {
    Workspace w;
    ::mkdir(w.path("dir.bin").c_str(), 0755);
    for (const char* name : {"dir.bin/name", "dir.bin\\name", "a.bi", "a.binx", "noext", "a.bin.old"}) {
        const auto result = w.scntool({name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_EQ(result.output, std::string(name) + ": file extension must be 'bin' or 'txt'.\n");
    }
    w.write("SCENE.BIN", sample(1, ".bin"));
    w.write("a.Txt", sample(1, ".txt"));
    const auto result = w.scntool({"SCENE.BIN", "a.Txt"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(w.read("SCENE.txt"), native(sample(1, ".txt")));
    EXPECT_EQ(w.read("a.bin"), sample(1, ".bin"));  // the new extension is lower case
}

TEST(ScntoolConvert, AssemblingReplacesTheBinaryOfAnyLetterCase) {
    if (testing_support::toolsAreWindows()) GTEST_SKIP() << "one file there whatever the case";
    Workspace w;
    w.write("SCENE.BIN", "old");
    w.write("SCENE.txt", sample(4, ".txt"));
    ASSERT_EQ(w.scntool({"SCENE.txt"}).status, 0);
    EXPECT_EQ(w.read("SCENE.BIN"), sample(4, ".bin"));
    EXPECT_EQ(w.files(), (std::vector<std::string>{".scntool", "SCENE.BIN", "SCENE.txt"}));
}

TEST(ScntoolConvert, ASyntaxErrorLeavesTheBinaryAsItWas) {
    Workspace w;
    w.write("s.bin", sample(2, ".bin"));
    w.write("s.txt", "Flags(0, 0)\nPushC 1\n  PushC 2\n");
    auto result = w.scntool({"s.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: s.txt\nSyntax error in scenario file at line: 3\n"
                             "An error occured while reading the scenario file\n");
    EXPECT_EQ(w.read("s.bin"), sample(2, ".bin"));
    w.write("new.txt", "Jmp Nowhere\n");
    result = w.scntool({"new.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: new.txt\nError in scenario file at line 1, undefined symbol 'Nowhere'\n"
                             "An error occured while reading the scenario file\n");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"new.txt", "s.bin", "s.txt"}));  // no empty new.bin
}

TEST(ScntoolConvert, AnEmptyListingCannotBeWritten) {
    Workspace w;
    w.write("e.txt", "Only:\n");
    const auto result = w.scntool({"e.txt"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: e.txt\nScenario can't be empty !\nAn error occured while writing the scenario file\n");
    EXPECT_FALSE(w.exists("e.bin"));
}

TEST(ScntoolConvert, ADamagedBinaryLeavesTheListingAsItWas) {
    Workspace w;
    std::string bin = sample(1, ".bin");
    put32(bin, 12, 0x1000);  // claims more statements than the file holds
    w.write("d.bin", bin);
    w.write("d.txt", "my edits");
    const auto result = w.scntool({"d.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: d.bin\nd.bin: statement runs past the end of the file at offset 0x58\n"
                             "An error occured while reading the scenario file\n");
    EXPECT_EQ(w.read("d.txt"), "my edits");
}

TEST(ScntoolConvert, CannotCreateTheOutput) {
    Workspace w;
    w.write("x.bin", sample(1, ".bin"));
    ::mkdir(w.path("x.txt").c_str(), 0755);
    const auto result = w.scntool({"x.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: x.bin\nx.txt: Can't open/create file!\nscntool: x.txt: Is a directory\n");
}

TEST(ScntoolConvert, WarnsWhenAListingWouldNotAssembleBack) {
    Workspace w;
    // A jump into the middle of a statement: the label is named but never defined.
    std::string inside = sample(1, ".bin");
    put32(inside, 0x28 + 2, 3);
    w.write("inside.bin", inside);
    // Bytes after the statements.
    w.write("tail.bin", sample(1, ".bin") + "extra");
    // Only a header, whose reserved word (never compared) is not 0: no warning.
    w.write("bare.bin", std::string("\x07\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
    const auto result = w.scntool({"inside.bin", "tail.bin", "bare.bin"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output,
              "Processing: inside.bin\n"
              "Warning: inside.bin: the listing does not assemble back (Error in scenario file at line 3, undefined symbol 'Label_3')\n"
              "Processing: tail.bin\n"
              "Warning: tail.bin: the listing assembles to a different binary (first difference at offset 0x58)\n"
              "Processing: bare.bin\n");
    EXPECT_TRUE(w.exists("inside.txt"));
    EXPECT_EQ(w.read("tail.txt"), native(sample(1, ".txt")));
    // Listed again, the same listing: nothing to tell but the warning.
    const auto again = w.scntool({"inside.bin"});
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(again.output.find("listed again"), std::string::npos) << again.output;
}

TEST(ScntoolConvert, WarnsAboutStringsAListingCannotHold) {
    Workspace w;
    // PushB "a\nb": the line end splits the statement in the listing.
    std::string bin("\0\0\0\0\0\0\0\0\0\0\0\0\x0A\0\0\0\x0B\0\x04\0\0\0a\nb\0", 26);
    w.write("nl.bin", bin);
    const auto result = w.scntool({"nl.bin"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.output.find("Warning: nl.bin: the listing does not assemble back (Syntax error in scenario file at line: 2)"),
              std::string::npos)
        << result.output;
}

TEST(ScntoolConvert, GeneratedScenariosRoundTrip) {
    Workspace w;
    std::vector<std::string> names;
    for (unsigned seed = 0; seed < 12; ++seed) {
        testing_support::ScenarioShape shape;
        shape.statements = 20 + seed * 40;
        shape.longestString = seed % 2 ? 600 : 40;  // strings longer than 501 characters too
        const std::string name = "g" + std::to_string(seed);
        w.write(name + ".bin", testing_support::generateScenario(shape, seed));
        names.push_back(name + ".bin");
    }
    auto result = w.scntool(names);
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Warning"), std::string::npos) << result.output;
    for (auto& name : names) {
        w.write(name + ".orig", w.read(name));
        name.replace(name.size() - 4, 4, ".txt");
    }
    result = w.scntool(names);
    ASSERT_EQ(result.status, 0) << result.output;
    for (const auto& name : names) {
        const std::string bin = name.substr(0, name.size() - 4) + ".bin";
        EXPECT_EQ(w.read(bin), w.read(bin + ".orig")) << bin;
    }
}

enum Holds { Original, NewOriginal, Rebuilt, Missing };

// What the records of where listings came from decide, whatever the files'
// times: a listing is never assembled over a binary that is neither its
// original nor built from it, and listing a new original keeps the
// listing's own edits.  Each case starts from sample 1 listed.
TEST(ScntoolConvert, TheRecordsKeepAnOldListingOffANewOriginal) {
    const std::string newOriginal = sample(2, ".bin");
    const struct {
        const char* what;
        std::function<void(const Workspace&)> before;
        std::vector<std::string> arguments;
        int status;
        std::string output;
        Holds binary;  // what s.bin holds after it
    } cases[] = {
        {"assembling over a new original",
         [&](const Workspace& w) { w.write("s.bin", newOriginal); }, {"s.txt"}, 1,
         "s.txt: not assembled over s.bin, which is neither the binary it was listed from nor one built from it (a new "
         "version of the game?): run make decompile (scntool s.bin) to list it again\n",
         NewOriginal},
        {"building over a new original", [&](const Workspace& w) { w.write("s.bin", newOriginal); },
         {"--build", "s.bin"}, 1,
         "s.txt: not assembled over s.bin, which is neither the binary it was listed from nor one built from it (a new "
         "version of the game?): run make decompile (scntool s.bin) to list it again\nNothing was written.\n",
         NewOriginal},
        {"a damaged record", [](const Workspace& w) { w.write(".scntool/s.record", "scntool record 1\nsource x\n"); },
         {"s.txt"}, 1,
         ".scntool/s.record:2: not a record scntool writes; remove it, and s.txt counts as a listing written by hand\n",
         Original},
        {"building what is built", [](const Workspace& w) { w.scntool({"--build", "s.bin"}); }, {"--build", "s.bin"}, 0,
         "", Original},
        {"building after an edit",
         [](const Workspace& w) {
             w.scntool({"--build", "s.bin"});
             std::string listing = w.read("s.txt");
             listing.replace(listing.rfind("PushE"), 5, "PushC\t1\nPushE");
             w.write("s.txt", listing);
         },
         {"--build", "s.bin"}, 0, "Processing: s.txt\n", Rebuilt},
        {"building a binary that is gone", [](const Workspace& w) { std::remove(w.path("s.bin").c_str()); },
         {"--build", "s.txt"}, 1,
         "s.bin: missing: it is what s.txt is checked against (a new version of the game may have been extracted); "
         "extract the archive again (make extract), or assemble it by hand (scntool s.txt)\nNothing was written.\n",
         Missing},
        {"assembling a binary that is gone by hand", [](const Workspace& w) { std::remove(w.path("s.bin").c_str()); },
         {"s.txt"}, 0, "Processing: s.txt\n", Original},
        {"building a copy of the listing of an earlier original",
         [&](const Workspace& w) {
             const std::string old = w.read("s.txt");
             w.write("s.bin", newOriginal);
             w.scntool({"s.bin"});
             w.write("s.txt", old);
         },
         {"--build", "s.bin"}, 1,
         "Processing: s.txt\ns.txt: not assembled: it is the listing of an earlier original of s.bin (a copy of the old listing?); carry "
         "your edits over into the listing of the new one instead\nNothing was written.\n",
         NewOriginal},
        {"listing an edited listing's new original",
         [&](const Workspace& w) {
             std::string listing = w.read("s.txt");
             listing.replace(listing.find("Label_"), 6, "Mine_");
             w.write("s.txt", listing);
             w.write("s.bin", newOriginal);
         },
         {"s.bin"}, 0,
         "Processing: s.bin\ns.txt: listed again: s.bin is a new original; the old listing, with 1 edited line, is kept "
         "as s.txt.edited: carry your edits over from it, then make pot and msgmerge\n",
         NewOriginal},
        // Without a record (the folder copied without it, or listings of an
        // earlier scntool), edits not built yet are kept too.
        {"listing over an edited listing without a record",
         [](const Workspace& w) {
             std::filesystem::remove_all(w.path(".scntool"));
             std::string listing = w.read("s.txt");
             listing.replace(listing.find("PushE"), 5, "PushD");
             w.write("s.txt", listing);
         },
         {"s.bin"}, 0,
         "Processing: s.bin\ns.txt: listed again: s.bin is not what it assembles to (a new version, or edits not built "
         "yet); the old listing is kept as s.txt.edited: carry your edits over from it, then make pot and msgmerge\n",
         Original},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Workspace w;
        w.write("s.bin", sample(1, ".bin"));
        ASSERT_EQ(w.scntool({"s.bin"}).status, 0);
        c.before(w);
        const std::string listing = w.read("s.txt");
        const auto result = w.scntool(c.arguments);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output, c.output);
        if (c.status != 0) {
            EXPECT_EQ(w.read("s.txt"), listing);
        }
        if (c.binary == Rebuilt) {
            EXPECT_NE(w.read("s.bin"), sample(1, ".bin"));
        } else if (c.binary == Missing) {
            EXPECT_FALSE(w.exists("s.bin"));
        } else {
            EXPECT_EQ(w.read("s.bin"), c.binary == Original ? sample(1, ".bin") : newOriginal);
        }
        if (std::string(c.what).starts_with("listing")) {
            EXPECT_EQ(w.read("s.txt.edited"), listing);
            EXPECT_EQ(w.read("s.txt"), native(sample(c.binary == Original ? 1 : 2, ".txt")));
        }
    }
}

TEST(ScntoolConvert, OutputsGetTheModeOfNewFilesOrOfTheFilesTheyReplace) {
    if (testing_support::toolsAreWindows()) GTEST_SKIP() << "POSIX permissions";
    Workspace w;
    w.write("m.bin", sample(1, ".bin"));
    w.write("k.bin", sample(1, ".bin"));
    w.write("k.txt", "");
    ::chmod(w.path("k.txt").c_str(), 0640);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(w.scntool({"m.bin", "k.bin"}).status, 0);
    EXPECT_EQ(testing_support::fileMode(w.path("m.txt")), static_cast<int>(0666 & ~mask));
    EXPECT_EQ(testing_support::fileMode(w.path("k.txt")), 0640);
}

}  // namespace

// The modification time of a file, in nanoseconds.
long long modified(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return static_cast<long long>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

void setModified(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// An output whose bytes would not change is left as it is, time included,
// so make and pactool see nothing changed; a listing made from a binary is
// no newer than the binary; a listing that already assembles to its binary
// is kept (it may hold the user's labels) and any other is listed again.
TEST(ScntoolConvert, OnlyWhatChangesIsWritten) {
    Workspace w;
    w.write("s.txt", "Flags(0, 0)\nMine:\nPushB\t<Hello>\nCJmp\tMine\n");
    ASSERT_EQ(w.scntool({"s.txt"}).status, 0);
    setModified(w.path("s.bin"), 1000000000);
    auto result = w.scntool({"s.txt"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(modified(w.path("s.bin")), 1000000000LL * 1000000000);

    const std::string listing = w.read("s.txt");
    result = w.scntool({"s.bin"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "Processing: s.bin\ns.txt: kept: s.bin was built from it\n");
    EXPECT_EQ(w.read("s.txt"), listing);

    w.write("s.bin", sample(2, ".bin"));  // another scenario: its listing is made again
    setModified(w.path("s.bin"), 1100000000);
    result = w.scntool({"s.bin"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("s.txt: listed again: s.bin is a new original; the old listing, whose edits cannot be "
                                 "counted (it was not listed by scntool), is kept as s.txt.edited"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(w.read("s.txt.edited"), listing);
    EXPECT_EQ(w.read("s.txt"), native(sample(2, ".txt")));
    EXPECT_EQ(modified(w.path("s.txt")), 1100000000LL * 1000000000);
}
