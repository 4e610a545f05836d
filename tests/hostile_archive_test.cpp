// Archives as an attacker would share them, and interrupted runs: nothing may
// be replaced that the edit cycle needs, no node other than a regular file
// may be written, no name may drive the terminal, and an interrupt leaves no
// temporary file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "archive_builder.h"
#include "corpus.h"
#include "tool_runner.h"

namespace {

using testing_support::ArchiveMember;
using testing_support::buildArchive;
using testing_support::RunResult;
using testing_support::Workspace;

bool windowsTools() {
    return testing_support::toolsAreWindows();
}

void expectNoTemporaryFiles(const Workspace& w) {
    for (const auto& name : w.files()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

const char* const kSameFile =
    " (names that differ only in letter case, in '\\' and '/', or in trailing dots and spaces are one file on Windows)\n";
const char* const kInRecords = ": it lies in .scntool, where scntool keeps its records of listings and binaries\n";
const char* const kReplacesOwnFile =
    ": it would replace a file that data.pac.list (the list of the archive extracted here before) does not name: a "
    "file of your own, such as a listing or a PO file; move it away first\n";

// Every file of the folder with its bytes (the makefile's scenario list in
// .scntool included).
std::map<std::string, std::string> folderContents(const Workspace& w) {
    std::map<std::string, std::string> contents;
    for (std::string name : w.files()) {
        if (name == ".scntool") name = ".scntool/scenarios";
        contents[name] = w.read(name);
    }
    return contents;
}

TEST(HostileArchive, NoMemberTakesThePlaceOfAnotherFile) {
    const struct {
        std::vector<std::string> names;
        std::string message;
        std::string link = {};  // a planted link to the makefile
    } cases[] = {
        {{"a", "data.pac"}, "data.pac: Refusing to extract data.pac: it would replace the archive itself\n"},
        {{"DATA.PAC"}, "data.pac: Refusing to extract DATA.PAC: it would replace the archive itself\n"},
        {{"data.pac.list"}, "data.pac: Refusing to extract data.pac.list: it would replace the list file\n"},
        {{"makefile"}, "data.pac: Refusing to extract makefile: it would replace the makefile\n"},
        {{"GNUmakefile"}, "data.pac: Refusing to extract GNUmakefile: it would replace the makefile\n"},
        {{"a", "MakeFile"}, "data.pac: Refusing to extract MakeFile: it would replace the makefile\n"},
        {{"a", "foo", "no makefile: a b"}, "data.pac: Refusing to extract foo: it would replace the makefile\n", "foo"},
        {{"a", "b", "a"}, std::string("data.pac: Refusing to extract a: it names the same file as a") + kSameFile},
        {{"x.txt", "X.TXT"}, std::string("data.pac: Refusing to extract X.TXT: it names the same file as x.txt") + kSameFile},
        {{"d/x", "d\\x"}, std::string("data.pac: Refusing to extract d\\x: it names the same file as d/x") + kSameFile},
        {{"a.txt", "a.txt."},
         windowsTools() ? "data.pac: Refusing to extract a.txt.: Windows would read the name as a device or as another name\n"
                        : std::string("data.pac: Refusing to extract a.txt.: it names the same file as a.txt") + kSameFile},
        {{"a.txt", "a.txt "},
         windowsTools() ? "data.pac: Refusing to extract a.txt : Windows would read the name as a device or as another name\n"
                        : std::string("data.pac: Refusing to extract a.txt : it names the same file as a.txt") + kSameFile},
        {{"a", ".scntool/x"}, std::string("data.pac: Refusing to extract .scntool/x") + kInRecords},
        {{".scntool"}, std::string("data.pac: Refusing to extract .scntool") + kInRecords},
        {{"D\\.SCNTOOL\\x"}, std::string("data.pac: Refusing to extract D\\.SCNTOOL\\x") + kInRecords},
        {{"d/.SCNTOOL./y"},
         windowsTools() ? "data.pac: Refusing to extract d/.SCNTOOL./y: Windows would read the name as a device or as another name\n"
                        : std::string("data.pac: Refusing to extract d/.SCNTOOL./y") + kInRecords},
    };
    for (const auto& c : cases) {
        Workspace w;
        std::vector<ArchiveMember> members;
        for (const auto& name : c.names) members.push_back({name, "content of " + name});
        const std::string pac = buildArchive(members);
        w.write("data.pac", pac);
        w.write("data.pac.list", "precious list");
        w.write("makefile", "precious makefile");
        ::mkdir(w.path("d").c_str(), 0755);
        if (!c.link.empty()) {
            ASSERT_EQ(::symlink("makefile", w.path(c.link).c_str()), 0);
        }
        const RunResult result = w.pactool({"extract", "data.pac"});
        EXPECT_EQ(result.status, 1) << c.names.back();
        EXPECT_EQ(result.output, c.message);
        std::vector<std::string> files = {"d", "data.pac", "data.pac.list", "makefile"};
        if (!c.link.empty()) files.insert(files.begin() + 3, c.link);
        EXPECT_EQ(w.files(), files);
        EXPECT_EQ(w.read("data.pac"), pac);
        EXPECT_EQ(w.read("data.pac.list"), "precious list");
        EXPECT_EQ(w.read("makefile"), "precious makefile");
    }
}

// The list an extract leaves tells the members it wrote from the team's own
// files (listings, PO files, notes) that appear beside them: a newer archive
// may replace the first, never the second.
TEST(HostileArchive, ExtractReplacesOnlyTheMembersOfTheArchiveExtractedBefore) {
    Workspace w;
    w.write("data.pac", buildArchive({{"scene.bin", "binary 1"}, {"notes.dat", "notes 1"}}));
    ASSERT_EQ(w.pactool({"extract", "data.pac"}).status, 0);
    w.write("scene.txt", "the team's listing");
    w.write("game.po", "the team's translations");
    w.write("makefile.conf", "the team's settings");
    const std::string list = w.read("data.pac.list");
    // Refused before anything is written: every file stays as it was.
    const auto expectRefused = [&](const std::vector<ArchiveMember>& members, const std::string& message) {
        w.write("data.pac", buildArchive(members));
        const auto before = folderContents(w);
        const RunResult result = w.pactool({"extract", "data.pac"});
        EXPECT_EQ(result.status, 1) << members.back().name;
        EXPECT_EQ(result.output, message);
        EXPECT_EQ(folderContents(w), before) << members.back().name;
    };
    for (const char* own : {"game.po", "scene.txt"}) {
        expectRefused({{"scene.bin", "binary 2"}, {own, "the archive's"}, {"notes.dat", "notes 2"}},
                      std::string("data.pac: Refusing to extract ") + own + kReplacesOwnFile);
    }
    const std::vector<ArchiveMember> v2 = {{"scene.bin", "binary 2"}, {"notes.dat", "notes 2"}, {"new.bin", "new"}};
    for (const char* garbage : {"", "scene.bin\nnotes.dat\n"}) {
        w.write("data.pac.list", garbage);
        expectRefused(v2, "data.pac.list: the list of the archive extracted here before cannot be read (not a list "
                          "file), so extract cannot tell its members from your own files; move it away to extract here\n");
    }
    // A renamed archive (no list of its own) meets the list of the one
    // extracted here before.
    w.write("data.pac.list", list);
    w.write("v2.pac", buildArchive({{"scene.bin", "binary 2"}, {"game.po", "the archive's"}}));
    const auto before = folderContents(w);
    RunResult result = w.pactool({"extract", "v2.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("v2.pac: Refusing to extract game.po: it would replace a file that data.pac.list"),
              std::string::npos)
        << result.output;
    EXPECT_EQ(folderContents(w), before);
    std::remove(w.path("v2.pac").c_str());
    // The members of before are replaced, and a new one is written; a file
    // that already holds its member (left by an extract cut short) is no
    // file of the team's.
    w.write("data.pac", buildArchive(v2));
    w.write("new.bin", "new");
    result = w.pactool({"extract", "data.pac"});
    ASSERT_EQ(result.status, 0) << result.output;
    for (const ArchiveMember& member : v2) EXPECT_EQ(w.read(member.name), member.bytes);
    EXPECT_EQ(w.read("scene.txt"), "the team's listing");
    // Without a list file nothing tells the team's files apart: extract replaces them.
    ASSERT_EQ(std::remove(w.path("data.pac.list").c_str()), 0);
    w.write("data.pac", buildArchive({{"game.po", "the archive's"}}));
    result = w.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(w.read("game.po"), "the archive's");
}

TEST(HostileArchive, NamesWindowsWouldMisreadAreRefusedThereAndOrdinaryElsewhere) {
    // COM and AUX are left out: Wine maps them to the host's serial port.
    for (const char* name : {"CON", "nul.txt", "d/PRN", "LPT1.bin", "CONOUT$", "a.txt.", "b ", "ab:stream", "a<b", "a>b",
                             "a\"b", "a|b", "a?b", "a*b", "a\x01"}) {
        Workspace w;
        ::mkdir(w.path("d").c_str(), 0755);
        w.write("data.pac", buildArchive({{"first", "1"}, {name, "2"}}));
        const RunResult result = w.pactool({"extract", "data.pac"});
        if (windowsTools()) {
            EXPECT_EQ(result.status, 1) << name;
            EXPECT_NE(result.output.find(": Windows would read the name as a device or as another name\n"),
                      std::string::npos)
                << result.output;
            EXPECT_EQ(w.files(), (std::vector<std::string>{"d", "data.pac"})) << name;
        } else {
            EXPECT_EQ(result.status, 0) << result.output;
            EXPECT_EQ(w.read(name), "2");
        }
    }
}

TEST(HostileArchive, ControlCharactersInNamesAreShownEscaped) {
    if (windowsTools()) GTEST_SKIP() << "Windows refuses such names outright";
    Workspace w;
    const std::string name = "a\x1B[2J\x07z";
    w.write("data.pac", buildArchive({{name, "x"}}));
    RunResult result = w.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output.substr(0, result.output.find('\n') + 1), "Extracting a\\x1B[2J\\x07z\n");
    EXPECT_EQ(result.output.find('\x1B'), std::string::npos);
    EXPECT_EQ(w.read(name), "x");
    result = w.pactool({"list", "data.pac"});
    EXPECT_EQ(result.output.find('\x1B'), std::string::npos) << result.output;
    result = w.scntool({name + ".bin"});
    EXPECT_EQ(result.output, "a\\x1B[2J\\x07z.bin: Can't open file!\nscntool: a\\x1B[2J\\x07z.bin: No such file or directory\n");
}

TEST(HostileArchive, OnlyRegularFilesAreReplaced) {
    if (windowsTools()) GTEST_SKIP() << "FIFOs and links are a POSIX matter";
    // Each output in turn is a link to a FIFO, which must stay a FIFO.
    for (const char* output : {"a.txt", "data.pac.list", "makefile"}) {
        Workspace w;
        w.write("data.pac", buildArchive({{"a.txt", "member"}}));
        ASSERT_EQ(::mkfifo(w.path("fifo").c_str(), 0644), 0);
        ASSERT_EQ(::symlink("fifo", w.path(output).c_str()), 0);
        const RunResult result = w.pactool({"extract", "data.pac"});
        const bool member = std::strcmp(output, "a.txt") == 0;
        const bool list = std::strcmp(output, "data.pac.list") == 0;
        EXPECT_EQ(result.status, std::strcmp(output, "makefile") == 0 ? 0 : 1) << result.output;
        // The list file is read first, as the list of an earlier extract.
        const std::string told =
            member ? "Can't open / create\ta.txt\npactool: a.txt: Not a regular file\n"
            : list ? "data.pac.list: the list of the archive extracted here before cannot be read (Not a regular file)"
                   : std::string("Can't open / create ") + output + "\npactool: " + output + ": Not a regular file\n";
        EXPECT_NE(result.output.find(told), std::string::npos) << result.output;
        struct stat st {};
        ASSERT_EQ(::stat(w.path("fifo").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << output;
        expectNoTemporaryFiles(w);
    }
    // The archive command's output, and scntool's.
    Workspace w;
    w.write("m", "x");
    w.write("data.pac.list", "0 0\nm\n");
    ASSERT_EQ(::mkfifo(w.path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo", w.path("data.pac").c_str()), 0);
    EXPECT_EQ(w.pactool({"archive", "data.pac"}).output,
              "Can't open / create data.pac\npactool: data.pac: Not a regular file\n");
    ASSERT_EQ(::symlink("fifo", w.path("s.txt").c_str()), 0);
    EXPECT_EQ(w.scntool({"s.txt"}).output, "s.txt: Can't open file!\nscntool: s.txt: Not a regular file\n");
    struct stat st {};
    ASSERT_EQ(::stat(w.path("fifo").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// An archive of several batches whose last member cannot be written (its
// folder is missing or is a file, or a folder, FIFO or read-only file
// stands in its place) is refused before any file is replaced.
TEST(HostileArchive, ATargetThatCannotBeWrittenIsFoundBeforeAnyFileIsReplaced) {
    const struct {
        const char* member;
        std::function<void(const Workspace&)> prepare;
        std::string reason;
    } cases[] = {
        {"gone/last", [](const Workspace&) {}, testing_support::reasonText(testing_support::Reason::PathNotFound)},
        {"f/last", [](const Workspace& w) { w.write("f", "a file"); }, "Not a directory"},
        {"last", [](const Workspace& w) { ::mkdir(w.path("last").c_str(), 0755); }, "Is a directory"},
        {"last", [](const Workspace& w) { ::mkfifo(w.path("last").c_str(), 0644); }, "Not a regular file"},
        {"last", [](const Workspace& w) { w.write("last", "x"); ::chmod(w.path("last").c_str(), 0444); },
         "Permission denied"},
    };
    for (const auto& c : cases) {
        if (windowsTools() && c.reason != "Is a directory" && c.member[0] == 'l') continue;  // no FIFOs or modes
        if (c.reason == "Permission denied" && ::geteuid() == 0) continue;  // root writes anyway
        std::vector<ArchiveMember> members;
        for (int i = 0; i < 300; ++i) members.push_back({"m" + std::to_string(i), "new " + std::to_string(i)});
        members.push_back({c.member, "new"});
        Workspace w;
        w.write("data.pac", buildArchive(members));
        std::string list = "0 0\nlast\n";
        for (int i = 0; i < 300; ++i) {
            w.write("m" + std::to_string(i), "old");
            list += "m" + std::to_string(i) + "\n";
        }
        w.write("data.pac.list", list);
        c.prepare(w);
        const RunResult result = w.pactool({"extract", "data.pac"});
        EXPECT_EQ(result.status, 1) << c.member;
        EXPECT_EQ(result.output, std::string("Can't open / create\t") + c.member + "\npactool: " + c.member + ": " +
                                     c.reason + "\n");
        for (int i = 0; i < 300; i += 37) EXPECT_EQ(w.read("m" + std::to_string(i)), "old") << c.reason;
        EXPECT_EQ(w.read("data.pac.list"), list);
        expectNoTemporaryFiles(w);
    }
}

// A file a run may replace: as it was before the run, and as the run
// completes it.
struct Target {
    std::string name;
    std::string before;
    std::string complete;
};

// Interrupts a run once it has printed `started`, after `delay`, and checks
// what it left: no temporary file, and every target either as before or complete.
void interruptAndCheck(const Workspace& w, const std::vector<std::string>& arguments, const std::string& started,
                       int signal, int delayMilliseconds, const std::vector<Target>& targets) {
    testing_support::BackgroundProgram tool(w.dir(), testing_support::pactoolPath(), arguments);
    ASSERT_TRUE(tool.waitForOutput(started));
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMilliseconds));
    tool.signal(signal);
    const RunResult result = tool.wait();
    // A target is never partial: interrupted before its rename it is as
    // before, after it complete.
    int complete = 0;
    for (const Target& target : targets) {
        const std::string after = w.read(target.name);
        EXPECT_TRUE(after == target.before || after == target.complete)
            << target.name << ", signal " << signal << " " << delayMilliseconds << " ms after '" << started << "'";
        complete += after == target.complete;
    }
    if (result.signal != 0) {
        EXPECT_EQ(result.signal, signal);
    } else {
        EXPECT_EQ(result.status, 0) << result.output;  // it finished before the signal came
        EXPECT_EQ(complete, static_cast<int>(targets.size()));
    }
    // A killed process cannot clean up; the next run in the folder does.
    if (signal != SIGKILL) expectNoTemporaryFiles(w);
}

TEST(HostileArchive, InterruptsLeaveNoTemporaryFileAndTheTargetIntact) {
    if (windowsTools()) GTEST_SKIP() << "POSIX signals";
    Workspace w;
    const std::string big = testing_support::corpusBytes(testing_support::CorpusKind::Mixed, 12 << 20, 3);
    w.write("big", big);
    w.write("small", "small");
    w.write("data.pac.list", "0 0\nsmall\nbig\n");
    ASSERT_EQ(w.pactool({"archive", "data.pac"}).status, 0);
    const std::string complete = w.read("data.pac");
    w.write("small", "changed");  // a finished run would change the archive
    ASSERT_EQ(w.pactool({"archive", "data.pac"}).status, 0);
    const std::string changed = w.read("data.pac");
    w.write("small", "small");
    const struct {
        int signal;
        int delay;
    } moments[] = {{SIGINT, 0}, {SIGTERM, 150}, {SIGHUP, 400}, {SIGINT, 900}};
    for (const auto& m : moments) {
        interruptAndCheck(w, {"archive", "--recompress", "data.pac"}, "Compressing big", m.signal, m.delay,
                          {{"data.pac", changed, complete}});
        w.write("data.pac", changed);
    }

    // Extract of the same large member, on its own in its batch or not.
    Workspace x;
    x.write("data.pac", complete);
    x.write("big", "old");
    for (const auto& m : moments) {
        interruptAndCheck(x, {"extract", "data.pac"}, "", m.signal, m.delay / 4, {{"big", "old", big}});
        x.write("big", "old");
    }

    // Extract of many members, flushed and renamed in batches: interrupted
    // while the first batch is written, and while later ones are written,
    // flushed or renamed, every member is as before or complete.
    Workspace many;
    std::vector<ArchiveMember> members;
    std::vector<Target> targets;
    for (int i = 0; i < 800; ++i) {  // four batches of 256 members or fewer
        char name[16];
        std::snprintf(name, sizeof name, "m%04d", i);
        members.push_back({name, testing_support::randomBytes(static_cast<std::size_t>(200 + i % 7 * 100), i)});
        targets.push_back({name, "old " + std::string(name), members.back().bytes});
    }
    many.write("data.pac", buildArchive(members));
    const struct {
        int signal;
        const char* started;
        int delay;
    } batched[] = {{SIGINT, "", 30}, {SIGTERM, "Extracting m0000", 0}, {SIGHUP, "Extracting m0255", 0},
                   {SIGINT, "Extracting m0300", 5}, {SIGTERM, "Extracting m0700", 40},
                   {SIGKILL, "Extracting m0000", 0}, {SIGKILL, "Extracting m0300", 5}};
    for (const auto& m : batched) {
        // The members a run replaced are put back as new files (truncating a
        // file a rename put in place makes the file system flush it).
        for (const Target& target : targets) {
            if (many.exists(target.name) && many.read(target.name) == target.before) continue;
            ::unlink(many.path(target.name).c_str());
            many.write(target.name, target.before);
        }
        interruptAndCheck(many, {"extract", "data.pac"}, m.started, m.signal, m.delay, targets);
        if (m.signal == SIGKILL) {
            // A second run finishes the job and removes what the killed one left.
            EXPECT_EQ(many.pactool({"extract", "data.pac"}).status, 0);
            expectNoTemporaryFiles(many);
            for (std::size_t i = 0; i < targets.size(); i += 99) EXPECT_EQ(many.read(targets[i].name), targets[i].complete);
            ::unlink(many.path("data.pac.list").c_str());
        }
    }
}

// What a traced run did, one call a line: strace's -f -y output, with calls
// that other threads' calls interrupted put back together.
struct TracedCall {
    std::string name;  // fsync, syncfs, rename...
    std::string text;  // the whole call, arguments and result
};

std::vector<TracedCall> tracedCalls(const std::string& trace) {
    std::vector<TracedCall> calls;
    std::map<std::string, std::string> pending;  // by thread: the start of an unfinished call
    for (std::size_t at = 0; at < trace.size();) {
        std::size_t end = trace.find('\n', at);
        if (end == std::string::npos) end = trace.size();
        const std::string line = trace.substr(at, end - at);
        at = end + 1;
        const std::size_t space = line.find(' ');
        const std::size_t start = line.find_first_not_of(' ', space);  // strace pads short thread ids
        if (start == std::string::npos) continue;
        const std::string thread = line.substr(0, space);
        std::string call = line.substr(start);
        if (call.rfind("<... ", 0) == 0) {  // "<... NAME resumed>REST"
            const std::size_t resumed = call.find(" resumed>");
            if (resumed == std::string::npos) continue;
            call = pending[thread] + call.substr(resumed + 9);
        } else if (const std::size_t cut = call.find(" <unfinished ...>"); cut != std::string::npos) {
            pending[thread] = call.substr(0, cut);
            continue;
        }
        const std::size_t paren = call.find('(');
        if (paren != std::string::npos) calls.push_back({call.substr(0, paren), call});
    }
    return calls;
}

// The file name of a call's first descriptor, as -y shows it ("5</dir/name>").
std::string descriptorFile(const std::string& text) {
    const std::size_t open = text.find('<');
    const std::string path = text.substr(open + 1, text.find('>', open) - open - 1);
    return path.substr(path.find_last_of('/') + 1);
}

// The call's `n`th quoted argument (a path as given).
std::string quoted(const std::string& text, int n) {
    std::size_t open = text.find('"');
    for (int i = 0; i < n; ++i) open = text.find('"', text.find('"', open + 1) + 1);
    return text.substr(open + 1, text.find('"', open + 1) - open - 1);
}

TEST(HostileArchive, FinishedFilesAreFlushedBeforeTheyAreRenamed) {
    if (windowsTools()) GTEST_SKIP() << "strace follows Linux processes";
    if (::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not available";
    // 600 members and one in a subdirectory: three batches.
    std::vector<ArchiveMember> members;
    for (int i = 0; i < 600; ++i) members.push_back({"m" + std::to_string(i), "member " + std::to_string(i)});
    members.push_back({"sub/last", "the last member"});
    for (const char* threads : {"1", "2"}) {
        SCOPED_TRACE(std::string("-j ") + threads);
        Workspace w;
        w.write("data.pac", buildArchive(members));
        ::mkdir(w.path("sub").c_str(), 0755);
        const RunResult result = testing_support::runProgramDirect(
            w.dir(), "strace",
            {"-f", "-qq", "-y", "-E", "ASAN_OPTIONS=detect_leaks=0", "-o", w.parent() + "/trace", "-e",
             "trace=write,fsync,fdatasync,syncfs,rename,renameat,renameat2", testing_support::pactoolPath(), "-j", threads,
             "extract", "data.pac"});
        ASSERT_EQ(result.status, 0) << result.output;
        // Every file renamed over its target reached stable storage after it
        // was last written and before its rename: flushed itself, or with its
        // whole file system (one syncfs for each batch of members).  Each
        // directory is flushed after the last rename into it.
        const std::vector<TracedCall> calls = tracedCalls(testing_support::readFile(w.parent() + "/trace"));
        std::map<std::string, std::size_t> lastWrite;  // temporary file: the call that last wrote it
        std::map<std::string, std::size_t> lastRename;  // directory: the last rename into it
        std::size_t lastSyncfs = 0;
        int syncfsCalls = 0;
        int filesFlushedAlone = 0;
        std::map<std::string, std::size_t> lastFlush;  // file or directory: its last flush
        std::size_t renamed = 0;
        std::vector<std::string> unflushed;  // renames of files not flushed since they were written
        for (std::size_t i = 0; i < calls.size(); ++i) {
            const TracedCall& call = calls[i];
            if (call.name == "write") {
                lastWrite[descriptorFile(call.text)] = i + 1;
            } else if (call.name == "syncfs") {
                lastSyncfs = i + 1;
                ++syncfsCalls;
            } else if (call.name == "fsync" || call.name == "fdatasync") {
                lastFlush[descriptorFile(call.text)] = i + 1;
                filesFlushedAlone += descriptorFile(call.text).find(".tmp") != std::string::npos;
            } else if (call.name.rfind("rename", 0) == 0) {
                std::string temporary = quoted(call.text, 0);
                temporary = temporary.substr(temporary.find_last_of('/') + 1);
                ASSERT_TRUE(lastWrite.count(temporary)) << call.text;
                if (std::max(lastSyncfs, lastFlush[temporary]) < lastWrite[temporary]) unflushed.push_back(call.text);
                const std::string target = quoted(call.text, 1);
                lastRename[target.rfind("sub/", 0) == 0 ? "sub" : w.dir().substr(w.dir().rfind('/') + 1)] = i + 1;
                ++renamed;
            }
        }
        EXPECT_EQ(renamed, members.size() + 2);  // and the list file and makefile
        EXPECT_TRUE(unflushed.empty()) << unflushed.size() << " renamed unflushed, the first: " << unflushed.front();
        for (const auto& [directory, rename] : lastRename) EXPECT_GT(lastFlush[directory], rename) << directory;
        // One pass a batch where the system flushes file systems, else one
        // flush a file.
        if (syncfsCalls > 0) {
            EXPECT_EQ(syncfsCalls, 3);
            EXPECT_EQ(filesFlushedAlone, 2);  // the list file and makefile
        } else {
            EXPECT_EQ(filesFlushedAlone, static_cast<int>(members.size()) + 2);
        }
    }
}

// The archive is read through one descriptor, shared by the workers: it is
// opened once, whatever the members and threads, by extract, test and by
// archive reading the previous archive (a file opened again could be
// another file by then).
TEST(HostileArchive, TheArchiveIsOpenedOnceWhateverTheThreads) {
    if (windowsTools()) GTEST_SKIP() << "strace follows Linux processes";
    if (::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not available";
    std::vector<ArchiveMember> members;
    std::string list = "0 0\n";
    for (int i = 0; i < 20; ++i) {
        members.push_back({"m" + std::to_string(i), testing_support::randomBytes(3000, i)});
        list += members.back().name + "\n";
    }
    Workspace w;
    w.write("data.pac", buildArchive(members));
    w.write("data.pac.list", list);
    for (const char* command : {"extract", "test", "archive"}) {
        for (const char* threads : {"1", "3"}) {
            const RunResult result = testing_support::runProgramDirect(
                w.dir(), "strace",
                {"-f", "-qq", "-E", "ASAN_OPTIONS=detect_leaks=0", "-o", w.parent() + "/trace", "-e", "trace=open,openat",
                 testing_support::pactoolPath(), "-q", "-j", threads, command, "data.pac"});
            ASSERT_EQ(result.status, 0) << result.output;
            int opened = 0;
            for (const TracedCall& call : tracedCalls(testing_support::readFile(w.parent() + "/trace"))) {
                opened += call.text.find("\"data.pac\"") != std::string::npos;
            }
            EXPECT_EQ(opened, 1) << command << " -j " << threads;
        }
    }
}

}  // namespace

namespace {

using testing_support::ArchiveEntry;
using testing_support::literalStream;

// Entries that share stored bytes, or hold more than their stream (an empty
// member with stored bytes among them): test tells, extract restores, and the
// archive rebuilt from them holds each member's own stream once, not the
// shared bytes once per member.
TEST(HostileArchive, StoredBytesThatAreNoMembersOwnAreNeverCopied) {
    const std::string shared = literalStream("hi") + testing_support::randomBytes(1 << 20, 5);
    std::vector<ArchiveEntry> entries;
    for (std::uint32_t i = 0; i < 100; ++i) {
        entries.push_back({"m" + std::to_string(i), 0, i % 2 == 1 ? 2u : 0u, static_cast<std::uint32_t>(shared.size())});
    }
    Workspace w;
    w.write("data.pac", buildArchive(entries, shared));
    RunResult result = w.pactool({"test", "data.pac"});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("OK      m1\nWarning: data.pac: the stored bytes of m1 overlap those of m0\n"
                                 "Warning: data.pac: the stored bytes of m1 hold 1048576 bytes after its stream\n"),
              std::string::npos)
        << result.output.substr(0, 1000);
    ASSERT_EQ(w.pactool({"extract", "data.pac"}).status, 0);
    EXPECT_EQ(w.read("m1"), "hi");
    result = w.pactool({"archive", "data.pac"});
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output.find("Unchanged"), std::string::npos) << result.output.substr(0, 1000);
    EXPECT_EQ(w.read("data.pac").size(), 12 + 76 * 100 + 50 * literalStream("hi").size());
}

// The previous archive rewritten in place, over and over, while archive
// reads it: whatever it keeps is what it checked, so the new archive holds
// the members' own bytes or the command fails; never other bytes.
TEST(HostileArchive, AnArchiveRewrittenWhileItIsReadGivesNoUncheckedBytes) {
    if (windowsTools()) GTEST_SKIP() << "rewritten from this process";
    // A stream of more than 1 MiB (checked again as it is copied) and a
    // shorter one (copied from memory).
    const std::string big = testing_support::randomBytes(3 << 19, 1);
    const std::string small = testing_support::randomBytes(100 << 10, 2);
    const std::string ours = buildArchive({{"big", big}, {"small", small}});
    const std::string others =
        buildArchive({{"big", testing_support::randomBytes(3 << 19, 3)}, {"small", testing_support::randomBytes(100 << 10, 4)}});
    ASSERT_EQ(ours.size(), others.size());
    Workspace w;
    w.write("big", big);
    w.write("small", small);
    w.write("data.pac.list", "0 0\nbig\nsmall\n");
    int kept = 0;
    for (int run = 0; run < 10; ++run) {
        w.write("data.pac", ours);
        const int fd = ::open(w.path("data.pac").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        std::atomic<bool> stop{false};
        std::thread rewriter([&] {
            for (int turn = 0; !stop; ++turn) {
                const std::string& bytes = turn % 2 == 0 ? others : ours;
                if (::pwrite(fd, bytes.data(), bytes.size(), 0) < 0) break;
            }
        });
        const RunResult result = w.pactool({"archive", "data.pac"});
        stop = true;
        rewriter.join();
        ::close(fd);
        if (result.status != 0) {
            EXPECT_NE(result.output.find("changed while the archive was built from them"), std::string::npos)
                << result.output;
            continue;
        }
        kept += result.output.find("Unchanged") != std::string::npos ? 1 : 0;
        Workspace check;
        check.write("data.pac", w.read("data.pac"));
        ASSERT_EQ(check.pactool({"extract", "data.pac"}).status, 0);
        EXPECT_TRUE(check.read("big") == big) << result.output;
        EXPECT_TRUE(check.read("small") == small) << result.output;
    }
    std::printf("streams kept in %d of 10 runs\n", kept);
}

}  // namespace
