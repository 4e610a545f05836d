// pactool end to end: the real executable in scratch directories.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

#include "corpus.h"
#include "archive_builder.h"
#include "tool_runner.h"

namespace {

using testing_support::corpusBytes;
using testing_support::CorpusKind;
using testing_support::dataPath;
using testing_support::readFile;
using testing_support::Reason;
using testing_support::reasonText;
using testing_support::toolLineEnd;
using testing_support::le32;
using testing_support::put32;
using testing_support::Workspace;



std::string lines(std::initializer_list<std::string> items) {
    std::string text;
    for (const auto& item : items) text += item + toolLineEnd();
    return text;
}

// Writes the list file and checks that archiving fails with `output`.
void expectArchiveFails(const Workspace& w, const std::string& list, const std::string& output) {
    w.write("data.pac.list", list);
    const auto result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1) << list;
    EXPECT_EQ(result.output, output) << list;
}

// A workspace with a few members and their list file, archived as data.pac.
struct Packed : Workspace {
    Packed() {
        write("a.txt", "hello world hello world\n");
        write("b.dat", corpusBytes(CorpusKind::MachineCode, 70000, 1));
        write("empty", "");
        write("s1.bin", corpusBytes(CorpusKind::Random, 300, 2));
        write("data.pac.list", "1A 7F3\na.txt\nb.dat\nempty\ns1.bin\n");
        const auto result = pactool({"archive", "data.pac"});
        EXPECT_EQ(result.status, 0) << result.output;
    }
};

TEST(PactoolCommandLine, UsageAndUnknownCommands) {
    Workspace w;
    const auto usage = w.pactool({});
    EXPECT_EQ(usage.status, 0);
    EXPECT_NE(usage.output.find(" [command] [pac file]\nCommands:\n\tarchive (short:a)\n\textract (short:e)\n"
                                "\tlist (short:l)\n\ttest (short:t)\n"),
              std::string::npos)
        << usage.output;
    EXPECT_EQ(usage.output.rfind("Usage ", 0), 0u);
    EXPECT_EQ(w.pactool({"archive"}).output, usage.output);  // a command without a path
    for (const char* help : {"-h", "--help"}) {
        const auto result = w.pactool({help});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, usage.output);
    }
    const auto version = w.pactool({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "pactool " PACTOOLS_VERSION "\n");
    const auto bad = w.pactool({"x", "data.pac"});
    EXPECT_EQ(bad.status, 255);
    EXPECT_EQ(bad.output, "Invalid command must be 'archive' 'a' 'extract' 'e' 'list' 'l' 'test' 't' or 'install'\n");
    EXPECT_TRUE(w.files().empty());
}

TEST(PactoolCommandLine, CommandWordsInAnyLetterCase) {
    Workspace w;
    w.write("m", "member");
    w.write("data.pac.list", "0 0\nm\n");
    for (const char* word : {"A", "ARCHIVE", "a", "Archive"}) {
        ::unlink(w.path("data.pac").c_str());  // nothing to keep: every member is compressed
        const auto result = w.pactool({word, "data.pac"});
        EXPECT_EQ(result.status, 0) << word << ": " << result.output;
        EXPECT_EQ(result.output, "Compressing m\n");
    }
    ::unlink(w.path("m").c_str());
    for (const char* word : {"E", "Extract", "e"}) {
        const auto result = w.pactool({word, "data.pac"});
        EXPECT_EQ(result.status, 0) << word << ": " << result.output;
        EXPECT_EQ(result.output, "Extracting m\n");
        EXPECT_EQ(w.read("m"), "member");
    }
}

TEST(PactoolArchive, WritesHeaderDirectoryAndTheExactStreams) {
    Workspace w;
    const char* vectors[] = {"one-byte", "twenty-zeros", "text-60k", "binary-90k"};
    std::string list = "1A 7F3\n";
    for (const char* name : vectors) {
        w.write(std::string(name) + ".in", readFile(dataPath(std::string("lzss/") + name + ".in")));
        list += std::string(name) + ".in\n";
    }
    w.write("data.pac.list", list);
    const auto result = w.pactool({"archive", "data.pac"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "Compressing one-byte.in\nCompressing twenty-zeros.in\nCompressing text-60k.in\n"
                             "Compressing binary-90k.in\n");
    const std::string pac = w.read("data.pac");
    EXPECT_EQ(pac.substr(0, 4), std::string("PAC\x1A"));
    EXPECT_EQ(le32(pac, 4), 4u);
    EXPECT_EQ(le32(pac, 8), 0x7F3u);
    std::uint32_t offset = 12 + 4 * 76;
    for (int i = 0; i < 4; ++i) {
        const std::size_t entry = 12 + 76 * static_cast<std::size_t>(i);
        const std::string name = std::string(vectors[i]) + ".in";
        EXPECT_EQ(pac.substr(entry, name.size() + 1), name + '\0');
        EXPECT_EQ(pac.substr(entry + name.size(), 64 - name.size()), std::string(64 - name.size(), '\0'));
        const std::string stream = readFile(dataPath(std::string("lzss/") + vectors[i] + ".lzss"));
        EXPECT_EQ(le32(pac, entry + 64), offset) << name;
        EXPECT_EQ(le32(pac, entry + 68), w.read(name).size()) << name;
        EXPECT_EQ(le32(pac, entry + 72), stream.size()) << name;
        EXPECT_EQ(pac.substr(offset, stream.size()), stream) << name;
        offset += static_cast<std::uint32_t>(stream.size());
    }
    EXPECT_EQ(pac.size(), offset);
}

TEST(PactoolArchive, HeaderValuesAndSpecialLists) {
    Workspace w;
    w.write("data.pac.list", "1FF 0x10\n");
    ASSERT_EQ(w.pactool({"a", "data.pac"}).status, 0);
    EXPECT_EQ(w.read("data.pac"), std::string("PAC\xFF\0\0\0\0\x10\0\0\0", 12));

    // A byte order mark, and lines ended by CR alone, read as written.
    w.write("x", "same");
    w.write("y", "other");
    w.write("data.pac.list", "\xEF\xBB\xBF" "1A 7F3\rx\ry\r");
    ASSERT_EQ(w.pactool({"a", "data.pac"}).status, 0);
    const std::string pac = w.read("data.pac");
    EXPECT_EQ(pac.substr(0, 12), std::string("PAC\x1A\x02\0\0\0\xF3\x07\0\0", 12));
    EXPECT_EQ(pac.substr(12 + 76, 2), std::string("y\0", 2));
    // A header word is never cut to 32 bits.
    expectArchiveFails(w, "0 100000000\nx\n", "Invalid list file: line 1: the header word does not fit in 32 bits\n");
    EXPECT_EQ(w.read("data.pac"), pac);
}

TEST(PactoolArchive, RefusesNamesThatExtractCouldNotRestore) {
    Workspace w;
    w.write("x", "x");
    const std::string windowsOnly = ": Windows would read the name as a device or as another name\n";
    const std::string inRecords = ": it lies in .scntool, where scntool keeps its records of listings and binaries\n";
    const struct {
        const char* names;
        std::string message;
    } cases[] = {
        {"x\nX", "data.pac.list: Refusing to archive X: it names the same file as x (names that differ only in letter "
                 "case, in '\\' and '/', or in trailing dots and spaces are one file on Windows)\n"},
        {"x\n./X", "data.pac.list: Refusing to archive ./X: it names the same file as x (names that differ only in "
                   "letter case, in '\\' and '/', or in trailing dots and spaces are one file on Windows)\n"},
        {"x\ndata.pac", "data.pac.list: Refusing to archive data.pac: it would replace the archive itself\n"},
        {"Data.Pac.List", "data.pac.list: Refusing to archive Data.Pac.List: it would replace the list file\n"},
        {"x\nmakefile", "data.pac.list: Refusing to archive makefile: it would replace the makefile\n"},
        {"x\n\nx", "data.pac.list: Refusing to archive entry 2: its name is empty\n"},
        {"/etc/passwd", "data.pac.list: Refusing to archive /etc/passwd: the name is absolute, leads out of the current "
                        "directory or holds a line break\n"},
        {"a/../x", "data.pac.list: Refusing to archive a/../x: the name is absolute, leads out of the current "
                   "directory or holds a line break\n"},
        {"x\n.scntool/x", "data.pac.list: Refusing to archive .scntool/x" + inRecords},
        {".scntool", "data.pac.list: Refusing to archive .scntool" + inRecords},
        {"D\\.SCNTOOL\\x", "data.pac.list: Refusing to archive D\\.SCNTOOL\\x" + inRecords},
    };
    for (const auto& c : cases) expectArchiveFails(w, std::string("0 0\n") + c.names + "\n", c.message);
    if (testing_support::toolsAreWindows()) {
        for (const char* name : {"NUL", "con.txt", "x.", "ab:c", "a|b", "d/.SCNTOOL./y"}) {
            expectArchiveFails(w, std::string("0 0\n") + name + "\n",
                               std::string("data.pac.list: Refusing to archive ") + name + windowsOnly);
        }
    } else {
        expectArchiveFails(w, "0 0\nd/.SCNTOOL./y\n", "data.pac.list: Refusing to archive d/.SCNTOOL./y" + inRecords);
    }
    EXPECT_EQ(w.files(), (std::vector<std::string>{"data.pac.list", "x"}));
}

TEST(PactoolArchive, ListFileProblems) {
    Workspace w;
    auto result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Cant open list file: data.pac.list\npactool: data.pac.list: " + reasonText(Reason::FileNotFound) + "\n");
    expectArchiveFails(w, "", "Unexpected EOF in list file...\n");
    expectArchiveFails(w, "12\nname\n",
                       "Invalid list file\npactool: data.pac.list:1: the first line holds the header's byte and word in "
                       "hexadecimal, e.g. 1A 7F3\n");
    EXPECT_EQ(w.files(), std::vector<std::string>{"data.pac.list"});
}

TEST(PactoolArchive, FailuresLeaveThePreviousArchiveUntouched) {
    Packed w;
    const std::string before = w.read("data.pac");

    // A name too long for the directory is refused before anything is read.
    const std::string longName(64, 'n');
    w.write(longName, "x");
    expectArchiveFails(w, "0 0\na.txt\n" + longName + "\n" + std::string(63, 'm') + "\n",
                       "data.pac.list: name longer than 63 bytes: " + longName + "\n");

    // A missing member, and an empty name (a blank line).
    expectArchiveFails(w, "0 0\na.txt\nmissing\n",
                       "Can't open missing\npactool: missing: " + reasonText(Reason::FileNotFound) + "\n");
    expectArchiveFails(w, "0 0\na.txt\n\nb.dat\n", "data.pac.list: Refusing to archive entry 2: its name is empty\n");

    // A member that is a directory cannot be read.
    ::mkdir(w.path("dir.dat").c_str(), 0755);
    expectArchiveFails(w, "0 0\ndir.dat\n", "Can't open dir.dat\npactool: dir.dat: Is a directory\n");

    EXPECT_EQ(w.read("data.pac"), before);
    for (const auto& name : w.files()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST(PactoolArchive, RefusesMembersOfFourGibibytes) {
    Packed w;
    const std::string before = w.read("data.pac");
    ASSERT_EQ(::truncate(w.path("b.dat").c_str(), 0x100000000LL), 0);  // sparse: costs no disk
    const auto result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "b.dat: member is 4 GiB or larger, which the archive cannot hold\n");
    EXPECT_EQ(w.read("data.pac"), before);
}

TEST(PactoolArchive, AFullDiskFailsCleanly) {
    if (testing_support::toolsAreWindows()) GTEST_SKIP() << "file size limits are a POSIX matter";
    Packed w;
    const std::string before = w.read("data.pac");
    w.write("b.dat", corpusBytes(CorpusKind::Random, 200000, 9));
    // A file size limit of 64 KiB (128 blocks of 512 bytes) stands in for a full disk.
    const auto result = testing_support::runProgramDirect(
        w.dir(), "sh", {"-c", "ulimit -f 128 && exec \"$0\" archive data.pac", testing_support::pactoolPath()});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Unchanged a.txt\nCompressing b.dat\nError writing data.pac: File too large\n");
    EXPECT_EQ(w.read("data.pac"), before);
    for (const auto& name : w.files()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

TEST(PactoolArchive, CannotCreateTheArchive) {
    Workspace w;
    w.write("data.pac.list", "0 0\n");
    ::mkdir(w.path("data.pac").c_str(), 0755);  // a directory stands in the way
    const auto result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Can't open / create data.pac\npactool: data.pac: Is a directory\n");
}

TEST(PactoolRoundTrip, ExtractRestoresEverythingAndRebuildsTheSameArchive) {
    Packed w;
    const std::string pac = w.read("data.pac");
    Workspace x("out");
    x.write("data.pac", pac);
    const auto result = x.pactool({"extract", "data.pac"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "Extracting a.txt\nExtracting b.dat\nExtracting empty\nExtracting s1.bin\n");
    for (const char* name : {"a.txt", "b.dat", "empty", "s1.bin"}) EXPECT_EQ(x.read(name), w.read(name)) << name;
    EXPECT_EQ(x.read("data.pac.list"), lines({"1A 7F3", "a.txt", "b.dat", "empty", "s1.bin"}));
    EXPECT_EQ(x.files(), (std::vector<std::string>{".scntool", "a.txt", "b.dat", "data.pac", "data.pac.list", "empty",
                                                   "makefile", "s1.bin"}));
    EXPECT_EQ(x.read(".scntool/scenarios"), "s1.bin\n");
    ASSERT_EQ(x.pactool({"archive", "data.pac"}).status, 0);
    EXPECT_EQ(x.read("data.pac"), pac);
    // Text files end their lines as the platform's text files do.
    for (const char* text : {"makefile", "data.pac.list"}) {
        const std::string content = x.read(text);
        for (std::size_t at = content.find('\n'); at != std::string::npos; at = content.find('\n', at + 1)) {
            ASSERT_EQ(at > 0 && content[at - 1] == '\r', testing_support::toolsAreWindows()) << text;
        }
    }
}

TEST(PactoolRoundTrip, LargeMembersAcrossChunkBoundaries) {
    Workspace w;
    const std::size_t mib = 1 << 20;
    w.write("two-mib", corpusBytes(CorpusKind::Mixed, 2 * mib, 5));  // an exact multiple of the chunk
    w.write("odd", corpusBytes(CorpusKind::Text, mib + 17, 6));
    w.write("data.pac.list", "0 0\ntwo-mib\nodd\n");
    ASSERT_EQ(w.pactool({"a", "data.pac"}).status, 0);
    Workspace x;
    x.write("data.pac", w.read("data.pac"));
    ASSERT_EQ(x.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(x.read("two-mib"), w.read("two-mib"));
    EXPECT_EQ(x.read("odd"), w.read("odd"));
}

TEST(PactoolRoundTrip, CanonicalListAndNamesWithDirectories) {
    Workspace w;
    ::mkdir(w.path("sub").c_str(), 0755);
    w.write("sub/m.dat", "in a subdirectory");
    w.write("data.pac.list", "  0x1ff\t0X7f3 comment\r\nsub\\m.dat\r\n");
    ASSERT_EQ(w.pactool({"a", "data.pac"}).status, 0);
    EXPECT_EQ(w.read("data.pac").substr(12, 10), std::string("sub\\m.dat\0", 10));  // the name keeps its bytes
    ::unlink(w.path("sub/m.dat").c_str());
    ASSERT_EQ(w.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(w.read("sub/m.dat"), "in a subdirectory");
    EXPECT_EQ(w.read("data.pac.list"), lines({"FF 7F3", "sub\\m.dat"}));
}

TEST(PactoolArchive, KeepsUnchangedMembersAndGivesWhatRecompressingGives) {
    Packed w;
    // Each step changes the members or the list, then archives both ways.
    const struct {
        const char* what;
        std::function<void(Packed&)> change;
        const char* list;
        const char* messages;
    } steps[] = {
        {"nothing changed", [](Packed&) {}, nullptr,
         "Unchanged a.txt\nUnchanged b.dat\nUnchanged empty\nUnchanged s1.bin\n"},
        {"one member changed", [](Packed& p) { p.write("a.txt", "hello world, changed\n"); }, nullptr,
         "Compressing a.txt\nUnchanged b.dat\nUnchanged empty\nUnchanged s1.bin\n"},
        {"the same size, other bytes",
         [](Packed& p) {
             std::string b = p.read("b.dat");
             b[40000] ^= 0x20;
             p.write("b.dat", b);
         },
         nullptr, "Unchanged a.txt\nCompressing b.dat\nUnchanged empty\nUnchanged s1.bin\n"},
        {"added, removed and reordered", [](Packed& p) { p.write("new.dat", "new member"); },
         "1A 7F3\ns1.bin\nnew.dat\na.txt\n", "Unchanged s1.bin\nCompressing new.dat\nUnchanged a.txt\n"},
    };
    for (const auto& step : steps) {
        step.change(w);
        if (step.list != nullptr) w.write("data.pac.list", step.list);
        const std::string before = w.read("data.pac");
        const auto recompressed = w.pactool({"archive", "--recompress", "data.pac"});
        ASSERT_EQ(recompressed.status, 0) << recompressed.output;
        const std::string expected = w.read("data.pac");
        w.write("data.pac", before);
        const auto reused = w.pactool({"archive", "data.pac"});
        EXPECT_EQ(reused.status, 0) << step.what;
        EXPECT_EQ(reused.output, step.messages) << step.what;
        EXPECT_TRUE(w.read("data.pac") == expected) << step.what;
    }
    // Whatever is wrong with the previous file, the archive is right and no
    // error is told.
    const std::string good = w.read("data.pac");
    std::string damagedStream = good;
    damagedStream[le32(good, 12 + 64) + 5] ^= 0x5A;  // inside the first member's stream
    const std::string previous[] = {good.substr(0, good.size() / 2), damagedStream, "not an archive at all",
                                    std::string("PAC\0\xFF\xFF\0\0", 8)};
    for (const std::string& bytes : previous) {
        w.write("data.pac", bytes);
        const auto result = w.pactool({"archive", "data.pac"});
        EXPECT_EQ(result.status, 0) << result.output;
        EXPECT_EQ(result.output.find("rror"), std::string::npos) << result.output;
        EXPECT_TRUE(w.read("data.pac") == good);
    }
}

TEST(PactoolCommandLine, OptionsBeforeOrAfterTheCommandWord) {
    Packed w;
    const std::string pac = w.read("data.pac");
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--threads", "2", "archive", "data.pac"}, {"archive", "-j", "1", "data.pac"},
          {"-j", "0", "--recompress", "a", "data.pac", "-q"}, {"archive", "--threads=1024", "--", "data.pac"},
          {"-j1", "archive", "data.pac"}}) {
        const auto result = w.pactool(words);
        EXPECT_EQ(result.status, 0) << words[0] << ": " << result.output;
        EXPECT_TRUE(w.read("data.pac") == pac) << words[0];
    }
    EXPECT_EQ(w.pactool({"-q", "archive", "--recompress", "data.pac"}).output, "");
    Workspace x;
    x.write("data.pac", pac);
    EXPECT_EQ(x.pactool({"extract", "--quiet", "data.pac"}).output, "");
    EXPECT_EQ(x.read("b.dat"), w.read("b.dat"));

    const std::string usage = w.pactool({"--help"}).output;
    EXPECT_NE(usage.find("--threads"), std::string::npos);
    const struct {
        std::vector<std::string> words;
        const char* line;
    } refused[] = {
        {{"archive", "-x", "data.pac"}, "Unknown option: -x\n"},
        {{"--fast", "archive", "data.pac"}, "Unknown option: --fast\n"},
        {{"archive", "data.pac", "-j"}, "Option -j needs a value\n"},
        {{"-j", "1025", "archive", "data.pac"}, "Invalid thread count: 1025 (a number from 0 to 1024)\n"},
        {{"-j", "two", "archive", "data.pac"}, "Invalid thread count: two (a number from 0 to 1024)\n"},
        {{"--threads=-1", "archive", "data.pac"}, "Invalid thread count: -1 (a number from 0 to 1024)\n"},
        {{"-jx", "archive", "data.pac"}, "Invalid thread count: x (a number from 0 to 1024)\n"},
        {{"-j", "2", "archive", "--threads=3", "data.pac"}, "--threads may be given once\n"},
        {{"test", "--", "data.pac", "extra"}, "Unexpected argument: extra (one archive path after the command)\n"},
    };
    for (const auto& c : refused) {
        const auto result = w.pactool(c.words);
        EXPECT_EQ(result.status, 1) << c.line;
        EXPECT_EQ(result.output, c.line + usage) << c.line;
    }
    EXPECT_TRUE(w.read("data.pac") == pac);
}

TEST(PactoolExtract, EveryCoreGivesWhatOneThreadGives) {
    Workspace source;
    std::string list = "0 0\n";
    for (int i = 0; i < 12; ++i) {
        const std::string name = "m" + std::to_string(i);
        source.write(name, corpusBytes(static_cast<CorpusKind>(i % 8), 20000 * static_cast<std::size_t>(i) + 5, 30 + i));
        list += name + "\n";
    }
    source.write("data.pac.list", list);
    ASSERT_EQ(source.pactool({"archive", "data.pac"}).status, 0);
    const std::string good = source.read("data.pac");
    // Damaged in the 8th member's stream; and with the 5th in a missing directory.
    std::string damaged = good;
    put32(damaged, 12 + 76 * 7 + 72, le32(good, 12 + 76 * 7 + 72) / 2);
    std::string missingDirectory = good;
    missingDirectory.replace(12 + 76 * 4, 3, "x/m");
    for (const std::string& pac : {good, damaged, missingDirectory}) {
        std::vector<std::string> outcomes;
        for (const char* threads : {"1", "3", "0"}) {
            Workspace w;
            w.write("data.pac", pac);
            const auto extracted = w.pactool({"-j", threads, "extract", "data.pac"});
            const auto tested = w.pactool({"test", "data.pac", "--threads", threads});
            std::string outcome = std::to_string(extracted.status) + extracted.output + std::to_string(tested.status) +
                                  tested.output;
            for (auto name : w.files()) {
                if (name == ".scntool") name = ".scntool/scenarios";
                outcome += name + "=" + std::to_string(w.read(name).size()) + ";";
            }
            outcomes.push_back(outcome);
        }
        EXPECT_EQ(outcomes[1], outcomes[0]);
        EXPECT_EQ(outcomes[2], outcomes[0]);
    }
}

// What a terminal shows of `output` in the end: a CR goes back to the
// start of the line, and what follows overwrites it; trailing blanks drop.
std::string screen(const std::string& output) {
    std::vector<std::string> lines(1);
    std::size_t column = 0;
    for (const char c : output) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (column >= line.size()) line.resize(column + 1, ' ');
            line[column++] = c;
        }
    }
    std::string shown;
    for (std::string& line : lines) {
        line.erase(line.find_last_not_of(' ') + 1);
        shown += line + "\n";
    }
    return shown;
}

// How the line is drawn, after how long, and erased is progress_line_test's;
// here, that the tool on a terminal leaves its own lines there and nothing
// of the progress line, and elsewhere writes its lines alone.
TEST(PactoolProgress, ATerminalKeepsOnlyTheToolsLines) {
    if (testing_support::toolsAreWindows()) GTEST_SKIP() << "a pseudo-terminal is a POSIX matter";
    if (std::system("script -qec true /dev/null >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1) here";
    Workspace w;
    w.write("big", corpusBytes(CorpusKind::Mixed, 64 << 10, 8));
    w.write("data.pac.list", "0 0\nbig\n");
    // Under a pseudo-terminal (standard output and error both on it).
    const std::string command = testing_support::shellQuote(testing_support::pactoolPath()) + " -j 1 archive data.pac";
    const auto onTerminal = testing_support::runProgramDirect(w.dir(), "script", {"-qec", command, "/dev/null"});
    ASSERT_EQ(onTerminal.status, 0) << onTerminal.output;
    EXPECT_EQ(screen(onTerminal.output), "Compressing big\n\n") << onTerminal.output;
    // Not a terminal: the usual lines only.
    ::unlink(w.path("data.pac").c_str());
    EXPECT_EQ(w.pactool({"-j", "1", "archive", "data.pac"}).output, "Compressing big\n");
}

TEST(PactoolBrowse, ListShowsSizesAndRatiosAndWritesNothing) {
    Packed w;
    const auto before = w.files();
    const std::string pac = w.read("data.pac");
    for (const char* word : {"list", "l", "LIST"}) {
        const auto result = w.pactool({word, "data.pac"});
        ASSERT_EQ(result.status, 0) << result.output;
        const std::uint32_t sizeB = le32(pac, 12 + 76 + 72);
        const std::uint32_t sizeS = le32(pac, 12 + 3 * 76 + 72);
        char expected[512];
        std::snprintf(expected, sizeof expected,
                      "%12u %12u %6.1f%%  a.txt\n%12u %12u %6.1f%%  b.dat\n%12u %12u %7s  empty\n%12u %12u %6.1f%%  s1.bin\n"
                      "%12u %12u %6.1f%%  4 members\n",
                      24u, le32(pac, 12 + 72), 100.0 * le32(pac, 12 + 72) / 24, 70000u, sizeB, 100.0 * sizeB / 70000, 0u,
                      0u, "-", 300u, sizeS, 100.0 * sizeS / 300, 70324u, static_cast<unsigned>(pac.size() - 12 - 4 * 76),
                      100.0 * static_cast<double>(pac.size() - 12 - 4 * 76) / 70324);
        EXPECT_EQ(result.output, expected);
    }
    EXPECT_EQ(w.files(), before);
}

TEST(PactoolBrowse, TestDecodesEveryMemberAndWritesNothing) {
    Packed w;
    const auto before = w.files();
    auto result = w.pactool({"t", "data.pac"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "OK      a.txt\nOK      b.dat\nOK      empty\nOK      s1.bin\n4 members tested, all OK\n");

    std::string pac = w.read("data.pac");
    put32(pac, 12 + 76 + 72, le32(pac, 12 + 76 + 72) / 2);  // b.dat's data now ends early
    w.write("bad.pac", pac);
    result = w.pactool({"test", "bad.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("OK      a.txt\nFAILED  bad.pac: member b.dat is damaged: its data gives ", 0), 0u)
        << result.output;
    EXPECT_NE(result.output.find(" of its 70000 bytes\nOK      empty\nOK      s1.bin\n4 members tested, 1 damaged\n"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(w.files().size(), before.size() + 1);  // only bad.pac, made by the test
}

TEST(PactoolBrowse, ListAndTestRefuseWhatExtractRefuses) {
    Workspace w;
    w.write("other.pac", std::string("PAK\0\0\0\0\0\0\0\0\0", 12));
    std::string unsafe = std::string("PAC\0\1\0\0\0\0\0\0\0", 12) + "../x" + std::string(60, '\0') +
                         std::string("\x58\0\0\0\0\0\0\0\0\0\0\0", 12);
    w.write("unsafe.pac", unsafe);
    for (const char* command : {"list", "test"}) {
        auto result = w.pactool({command, "other.pac"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, "other.pac: Not a PAC file...\n");
        result = w.pactool({command, "unsafe.pac"});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.output.find("unsafe.pac: Refusing to extract ../x"), std::string::npos) << result.output;
        result = w.pactool({command, "missing.pac"});
        EXPECT_EQ(result.output, "Can't open missing.pac\npactool: missing.pac: " + reasonText(Reason::FileNotFound) + "\n");
    }
    // A name that is no text in the code page given: list shows its bytes, test refuses it as extract does.
    std::string undecodable = unsafe;
    undecodable.replace(12, 4, "\x85\x41\0\0", 4);
    w.write("names.pac", undecodable);
    const std::string refusal = "names.pac: Refusing to extract entry 1: its name \\x85A is not text in CP932";
    for (const char* command : {"extract", "test", "list"}) {
        const auto result = w.pactool({command, "--code-page", "CP932", "names.pac"});
        const bool listed = std::string(command) == "list";
        EXPECT_EQ(result.status, listed ? 0 : 1) << command;
        if (listed) EXPECT_NE(result.output.find("  \\x85A\n"), std::string::npos) << result.output;
        else EXPECT_EQ(result.output.rfind(refusal, 0), 0u) << result.output;
    }
}

TEST(PactoolExtract, EmptyArchive) {
    Workspace w;
    w.write("data.pac", std::string("PAC\x05\0\0\0\0\x01\0\0\0", 12));
    ASSERT_EQ(w.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(w.read("data.pac.list"), lines({"5 1"}));
    EXPECT_NE(w.read("makefile").find("FILES =" + toolLineEnd() + toolLineEnd() + "BINS =" + toolLineEnd()),
              std::string::npos);
}

TEST(PactoolExtract, RefusesWhatIsNotAnArchiveBeforeWritingAnything) {
    Workspace w;
    auto result = w.pactool({"e", "none.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Can't open none.pac\npactool: none.pac: " + reasonText(Reason::FileNotFound) + "\n");
    w.write("short.pac", std::string("PAC\0\1", 5));
    w.write("other.pac", std::string("PAK\0\0\0\0\0\0\0\0\0", 12));
    for (const char* name : {"short.pac", "other.pac"}) {
        result = w.pactool({"e", name});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, std::string(name) + ": Not a PAC file...\n");
    }
    EXPECT_EQ(w.files(), (std::vector<std::string>{"other.pac", "short.pac"}));
}

TEST(PactoolExtract, RefusesDamagedOrUnsafeArchivesBeforeWritingAnything) {
    Packed source;
    const std::string good = source.read("data.pac");
    struct Damage {
        const char* what;
        std::string bytes;
        const char* message;
    };
    std::vector<Damage> cases;
    std::string b = good;
    put32(b, 4, 5);  // a fifth entry that is not there
    cases.push_back({"directory", b.substr(0, 12 + 76 * 4 + 10), "data.pac: Damaged PAC file: its directory of 5 entries runs past the end of the file\n"});
    cases.push_back({"truncated data", good.substr(0, good.size() - 1), "data.pac: Damaged PAC file: the data of s1.bin runs past the end of the file\n"});
    b = good;
    std::fill(b.begin() + 12 + 76, b.begin() + 12 + 76 + 64, 'x');
    cases.push_back({"name without NUL", b, "data.pac: Damaged PAC file: entry 2 has a name without NUL\n"});
    for (const char* name : {"../evil", "/tmp/evil", "C:evil", "a/../../evil"}) {
        b = good;
        std::fill(b.begin() + 12 + 76 * 3, b.begin() + 12 + 76 * 3 + 64, '\0');
        std::copy(name, name + std::strlen(name), b.begin() + 12 + 76 * 3);
        cases.push_back({name, b,
                         nullptr});
    }
    for (const auto& c : cases) {
        Workspace w;
        w.write("data.pac", c.bytes);
        const auto result = w.pactool({"extract", "data.pac"});
        EXPECT_EQ(result.status, 1) << c.what;
        if (c.message != nullptr) EXPECT_EQ(result.output, c.message) << c.what;
        else EXPECT_EQ(result.output, std::string("data.pac: Refusing to extract ") + c.what +
                                          ": the name is absolute, leads out of the current directory or holds a line break\n");
        EXPECT_EQ(w.files(), std::vector<std::string>{"data.pac"}) << c.what;
    }
}

// Every member is checked before any file is replaced: a damaged one
// anywhere leaves every file as it was, those of the members before it too.
TEST(PactoolExtract, AMemberWhoseDataEndsEarlyIsReportedAndNothingIsWritten) {
    Packed source;
    std::string pac = source.read("data.pac");
    // Shrink b.dat's stored size: its stream now ends long before its bytes do.
    const std::size_t entry = 12 + 76;
    put32(pac, entry + 72, le32(pac, entry + 72) / 2);
    Workspace w;
    w.write("data.pac", pac);
    w.write("b.dat", "previous contents");
    const auto result = w.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output.rfind("data.pac: member b.dat is damaged: its data gives ", 0), 0u) << result.output;
    EXPECT_NE(result.output.find(" of its 70000 bytes\n"), std::string::npos) << result.output;
    EXPECT_EQ(w.read("b.dat"), "previous contents");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"b.dat", "data.pac"}));  // no member, no list file, no makefile
}

// install copies exactly the archive, under its own name, into an existing
// folder; anything else is refused with one line and copies nothing.
TEST(PactoolInstall, CopiesTheArchiveAndNothingElse) {
    Packed w;
    std::filesystem::create_directory(w.path("The Game"));
    w.write("The Game/other.dat", "the game's own");
    w.write("-x.pac", w.read("data.pac"));
    const struct {
        std::vector<std::string> words;
        const char* installed;  // the file that must then hold the archive, or nullptr
        std::string output;     // its start
    } cases[] = {
        {{"install", "data.pac", "The Game"}, "The Game/data.pac", "Installed data.pac as The Game"},
        {{"install", "--", "-x.pac", "The Game/"}, "The Game/-x.pac", "Installed -x.pac as The Game/-x.pac\n"},
        {{"install", "data.pac", "Nowhere"}, nullptr, "Not installed: Nowhere is not a folder ("},
        {{"install", "data.pac", "a.txt"}, nullptr, "Not installed: a.txt is not a folder\n"},
        {{"install", "data.pac.list", "The Game"}, nullptr, "data.pac.list: Not a PAC file"},
        {{"install", "missing.pac", "The Game"}, nullptr, "Can't open missing.pac"},
        {{"install", "data.pac", "The Game", "x"}, nullptr, "Unexpected argument: x"},
    };
    for (const auto& c : cases) {
        const auto result = w.pactool(c.words);
        EXPECT_EQ(result.output.rfind(c.output, 0), 0u) << result.output;
        EXPECT_EQ(result.status, c.installed != nullptr ? 0 : 1) << c.output;
        if (c.installed != nullptr) {
            EXPECT_EQ(w.read(c.installed), w.read("data.pac")) << c.output;
        }
    }
    EXPECT_EQ(w.read("The Game/other.dat"), "the game's own");
    EXPECT_EQ(testing_support::listDirectory(w.path("The Game")),
              (std::vector<std::string>{"-x.pac", "data.pac", "other.dat"}));
}

TEST(PactoolExtract, MemberInAMissingDirectory) {
    Workspace w;
    w.write("data.pac", std::string("PAC\0\1\0\0\0\0\0\0\0", 12) + "sub/x" + std::string(59, '\0') +
                            std::string("\x58\0\0\0\0\0\0\0\0\0\0\0", 12));
    const auto result = w.pactool({"e", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "Can't open / create\tsub/x\npactool: sub/x: " + reasonText(Reason::PathNotFound) + "\n");
}

TEST(PactoolExtract, OutputsGetTheModeOfNewFilesOrOfTheFilesTheyReplace) {
    if (testing_support::toolsAreWindows()) GTEST_SKIP() << "POSIX permissions";
    Packed source;
    Workspace w;
    w.write("data.pac", source.read("data.pac"));
    w.write("b.dat", "old");
    ::chmod(w.path("b.dat").c_str(), 0600);
    const mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(w.pactool({"e", "data.pac"}).status, 0);
    EXPECT_EQ(testing_support::fileMode(w.path("a.txt")), static_cast<int>(0666 & ~mask));
    EXPECT_EQ(testing_support::fileMode(w.path("makefile")), static_cast<int>(0666 & ~mask));
    EXPECT_EQ(testing_support::fileMode(w.path("b.dat")), 0600);
}

TEST(PactoolExtract, AMakefileThatCannotBeWrittenIsPassedOver) {
    Packed source;
    Workspace w;
    w.write("data.pac", source.read("data.pac"));
    ::mkdir(w.path("makefile").c_str(), 0755);
    const auto result = w.pactool({"e", "data.pac"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_TRUE(w.exists("data.pac.list"));
    EXPECT_EQ(w.read("b.dat"), source.read("b.dat"));
}

}  // namespace
