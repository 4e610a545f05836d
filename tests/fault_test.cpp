// Faults on the real executables: full disks, unreadable inputs, read-only
// directories and members that change while they are read.  Each must give
// one clear message and exit status 1, leave existing outputs byte-identical
// and leave no temporary file behind.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

#include "corpus.h"
#include "scenario_generator.h"
#include "tool_runner.h"

namespace {

using testing_support::corpusBytes;
using testing_support::CorpusKind;
using testing_support::RunResult;
using testing_support::Workspace;

void expectNoTemporaryFiles(const Workspace& w) {
    for (const auto& name : w.files()) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// Runs a tool under a shell's `ulimit` (e.g. "-f 256").
RunResult withLimit(const Workspace& w, const std::string& limit, const std::string& tool,
                    const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"-c", "ulimit " + limit + " && exec \"$@\"", "sh", tool};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return testing_support::runProgramDirect(w.dir(), "sh", words);
}

// A file size limit of `blocks` x 512 bytes fails writes the way a full
// disk does.
RunResult withFileSizeLimit(const Workspace& w, int blocks, const std::string& tool,
                            const std::vector<std::string>& arguments) {
    return withLimit(w, "-f " + std::to_string(blocks), tool, arguments);
}

// Address sanitizers reserve more address space than any limit allows.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

bool posixTools() {
    return !testing_support::toolsAreWindows();
}

// A workspace with an archive of three members.
struct Packed : Workspace {
    Packed() {
        write("a.txt", "small\n");
        write("b.dat", corpusBytes(CorpusKind::Random, 300000, 1));
        write("c.txt", "last\n");
        write("data.pac.list", "0 0\na.txt\nb.dat\nc.txt\n");
        EXPECT_EQ(pactool({"archive", "data.pac"}).status, 0);
    }
};

// A full disk replaces nothing: not the member it stopped at, nor those
// before it (their batch is not renamed).
TEST(Faults, AFullDiskWhileExtracting) {
    if (!posixTools()) GTEST_SKIP();
    Packed source;
    Workspace w;
    w.write("data.pac", source.read("data.pac"));
    w.write("a.txt", "previous a");
    w.write("b.dat", "previous b");
    const RunResult result = withFileSizeLimit(w, 256, testing_support::pactoolPath(), {"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Extracting b.dat\nError writing b.dat: File too large\n");
    EXPECT_EQ(w.read("a.txt"), "previous a");
    EXPECT_EQ(w.read("b.dat"), "previous b");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"a.txt", "b.dat", "data.pac"}));
}

// A flush that fails is told for the member it concerns: the file system's
// flush fails (when there is one), then the flush of the second member's
// file on its own; nothing of the batch is renamed.
TEST(Faults, AFlushThatFailsWhileExtracting) {
    if (!posixTools()) GTEST_SKIP();
    if (::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not available";
    Packed source;
    Workspace w;
    w.write("data.pac", source.read("data.pac"));
    w.write("b.dat", "previous b");
    const RunResult result = testing_support::runProgramDirect(
        w.dir(), "strace",
        {"-f", "-qq", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0", "-e", "trace=syncfs,fsync", "-e",
         "inject=syncfs:error=EIO", "-e", "inject=fsync:error=EIO:when=2", testing_support::pactoolPath(), "-j", "1",
         "extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Extracting b.dat\nError writing b.dat: Input/output error\n");
    EXPECT_EQ(w.read("b.dat"), "previous b");
    EXPECT_EQ(w.files(), (std::vector<std::string>{"b.dat", "data.pac"}));
}

// A listing's rename that could not be made durable (its directory's flush
// failed) fails the command, though the listing itself is complete.
TEST(Faults, AFailedDirectoryFlushIsAFailure) {
    if (!posixTools()) GTEST_SKIP();
    if (::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not available";
    Workspace w;
    w.write("s.bin", testing_support::generateScenario({}, 5));
    const RunResult result = testing_support::runProgramDirect(
        w.dir(), "strace",
        {"-f", "-qq", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0", "-e", "trace=fsync", "-e",
         "inject=fsync:error=EIO:when=2", testing_support::scntoolPath(), "s.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: s.bin\nError writing .: Input/output error\n"
                             "An error occured while writing the scenario file\n");
    EXPECT_TRUE(w.exists("s.txt"));
    expectNoTemporaryFiles(w);
}

TEST(Faults, AFullDiskWhileListingAScenario) {
    if (!posixTools()) GTEST_SKIP();
    Workspace w;
    testing_support::ScenarioShape shape;
    shape.statements = 20000;
    w.write("s.bin", testing_support::generateScenario(shape, 3));
    w.write("s.txt", "PushC\t1\n");  // another scenario's listing: it is listed again
    const RunResult result = withFileSizeLimit(w, 64, testing_support::scntoolPath(), {"s.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "Processing: s.bin\nError writing s.txt: File too large\nAn error occured while writing the scenario file\n");
    EXPECT_EQ(w.read("s.txt"), "PushC\t1\n");
    expectNoTemporaryFiles(w);
}

// On Linux, reading one's own /proc/self/mem at offset 0 fails with an I/O
// error: a link to it makes an input that opens but cannot be read.
bool linkUnreadable(const Workspace& w, const std::string& name) {
    return ::access("/proc/self/mem", F_OK) == 0 && ::symlink("/proc/self/mem", w.path(name).c_str()) == 0;
}

TEST(Faults, UnreadableInputs) {
    if (!posixTools()) GTEST_SKIP();
    Packed w;
    const std::string pac = w.read("data.pac");
    ::unlink(w.path("b.dat").c_str());
    if (!linkUnreadable(w, "b.dat")) GTEST_SKIP() << "no /proc/self/mem here";
    RunResult result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Unchanged a.txt\nCompressing b.dat\nError reading b.dat: Input/output error\n");
    EXPECT_EQ(w.read("data.pac"), pac);

    ::unlink(w.path("data.pac.list").c_str());
    linkUnreadable(w, "data.pac.list");
    result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error reading data.pac.list: Input/output error\n");

    Workspace x;
    linkUnreadable(x, "data.pac");
    result = x.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Error reading data.pac: Input/output error\n");

    linkUnreadable(x, "s.bin");
    x.write("s.txt", "kept");
    result = x.scntool({"s.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "Processing: s.bin\nError reading s.bin: Input/output error\nAn error occured while reading the scenario file\n");
    EXPECT_EQ(x.read("s.txt"), "kept");
    expectNoTemporaryFiles(w);
    expectNoTemporaryFiles(x);
}

TEST(Faults, InputsWithoutReadPermission) {
    if (!posixTools() || ::geteuid() == 0) GTEST_SKIP() << "root reads everything";
    Packed w;
    ::chmod(w.path("b.dat").c_str(), 0);
    RunResult result = w.pactool({"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Compressing a.txt\nCan't open b.dat\n");
    ::chmod(w.path("data.pac").c_str(), 0);
    result = w.pactool({"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Can't open data.pac\n");
}

// Runs a tool as an unprivileged user when the tests run as root, so that
// directory permissions apply.
RunResult asUnprivileged(const Workspace& w, const std::string& tool, const std::vector<std::string>& arguments) {
    if (::geteuid() != 0) return testing_support::runProgramDirect(w.dir(), tool, arguments);
    std::vector<std::string> words = {"--reuid=65534", "--regid=65534", "--clear-groups", tool};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return testing_support::runProgramDirect(w.dir(), "setpriv", words);
}

TEST(Faults, AReadOnlyOutputDirectory) {
    if (!posixTools()) GTEST_SKIP();
    if (::geteuid() == 0 && ::system("setpriv --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no setpriv";
    Packed w;
    w.write("s.bin", testing_support::generateScenario({}, 1));
    ::chmod(w.parent().c_str(), 0755);
    ::chmod(w.dir().c_str(), 0555);
    const auto before = w.files();
    const std::string pac = w.read("data.pac");

    RunResult result = asUnprivileged(w, testing_support::pactoolPath(), {"archive", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Can't open / create data.pac\npactool: data.pac: Permission denied\n");
    result = asUnprivileged(w, testing_support::pactoolPath(), {"extract", "data.pac"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Can't open / create\ta.txt\npactool: a.txt: Permission denied\n");
    result = asUnprivileged(w, testing_support::scntoolPath(), {"s.bin"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Processing: s.bin\ns.txt: Can't open/create file!\nscntool: s.txt: Permission denied\n");

    EXPECT_EQ(w.files(), before);
    EXPECT_EQ(w.read("data.pac"), pac);
    ::chmod(w.dir().c_str(), 0755);
}

TEST(Faults, MembersThatAreMissingOrNotRegularFilesAreRefusedWithoutBlocking) {
    if (!posixTools()) GTEST_SKIP();
    Packed w;
    const std::string pac = w.read("data.pac");
    ASSERT_EQ(::mkfifo(w.path("fifo").c_str(), 0644), 0);  // nobody ever writes to it
    ASSERT_EQ(::mkdir(w.path("adir").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("/dev/zero", w.path("device").c_str()), 0);
    const struct {
        const char* name;
        const char* reason;
    } cases[] = {{"fifo", "Not a regular file"}, {"adir", "Is a directory"}, {"device", "Not a regular file"},
                 {"gone", "No such file or directory"}};
    for (const auto& c : cases) {
        w.write("data.pac.list", std::string("0 0\na.txt\n") + c.name + "\nc.txt\n");
        const RunResult result = w.pactool({"archive", "data.pac"});
        EXPECT_EQ(result.status, 1);
        // Found before any member is compressed or kept.
        EXPECT_EQ(result.output, std::string("Can't open ") + c.name + "\npactool: " + c.name + ": " + c.reason + "\n");
        EXPECT_EQ(w.read("data.pac"), pac);
    }
    expectNoTemporaryFiles(w);
}

TEST(Faults, AMemberThatShrinksOrGrowsWhileItIsRead) {
    if (!posixTools()) GTEST_SKIP();
    Packed w;
    const std::string pac = w.read("data.pac");
    w.write("big", corpusBytes(CorpusKind::Text, 48 << 20, 2));
    w.write("data.pac.list", "0 0\na.txt\nbig\n");
    testing_support::BackgroundProgram tool(w.dir(), testing_support::pactoolPath(), {"archive", "data.pac"});
    ASSERT_TRUE(tool.waitForOutput("Compressing big\n"));
    ASSERT_EQ(::truncate(w.path("big").c_str(), 1000), 0);
    RunResult result = tool.wait();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "Unchanged a.txt\nCompressing big\nError reading big: the file shrank while it was read\n");
    EXPECT_EQ(w.read("data.pac"), pac);

    // A file whose size says 0 but which holds text.
    if (::access("/proc/self/status", R_OK) == 0) {
        ASSERT_EQ(::symlink("/proc/self/status", w.path("status").c_str()), 0);
        w.write("data.pac.list", "0 0\nstatus\n");
        result = w.pactool({"archive", "data.pac"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, "Compressing status\nError reading status: the file grew while it was read\n");
        EXPECT_EQ(w.read("data.pac"), pac);
    }
    expectNoTemporaryFiles(w);
}

// Memory or threads running out, under limits on the address space from
// far too small to almost enough: the run either succeeds or says why in one
// line and fails with status 1, never aborts, and the old archive and no
// temporary file are left.
TEST(Faults, RunningOutOfMemory) {
    if (!posixTools() || kSanitized) GTEST_SKIP();
    Packed w;
    const std::string pac = w.read("data.pac");
    w.write("big", corpusBytes(CorpusKind::Mixed, 8 << 20, 5));
    w.write("data.pac.list", "0 0\na.txt\nbig\n");
    int failed = 0;
    for (int kib : {16000, 24000, 32000, 48000}) {
        SCOPED_TRACE(kib);
        const RunResult result =
            withLimit(w, "-v " + std::to_string(kib), testing_support::pactoolPath(), {"archive", "-j", "2", "data.pac"});
        ASSERT_TRUE(result.status == 0 || result.status == 1) << result.status << " " << result.output;
        if (result.status == 1) {
            ++failed;
            EXPECT_NE(result.output.find("pactool: "), std::string::npos) << result.output;
            EXPECT_EQ(w.read("data.pac"), pac);
        }
        expectNoTemporaryFiles(w);
    }
    EXPECT_GT(failed, 0);
}

// A thread the system refuses to start (the second worker, the first one
// running) ends archive, extract and test like running out of memory: the
// started worker is stopped, nothing is written or left behind, and one
// line tells why, with status 1.
TEST(Faults, AThreadThatCannotStart) {
    if (!posixTools()) GTEST_SKIP();
    if (::system("strace -o /dev/null true >/dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not available";
    if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "one core: one worker only";
    Packed w;
    const std::string pac = w.read("data.pac");
    const std::string member = w.read("b.dat");
    for (const char* command : {"archive", "extract", "test"}) {
        SCOPED_TRACE(command);
        const RunResult result = testing_support::runProgramDirect(
            w.dir(), "strace",
            {"-f", "-qq", "-o", "/dev/null", "-E", "ASAN_OPTIONS=detect_leaks=0", "-e", "trace=clone,clone3", "-e",
             "inject=clone,clone3:error=EAGAIN:when=2", testing_support::pactoolPath(), "-j", "2", command, "data.pac"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.output, "pactool: cannot start a thread: Resource temporarily unavailable\n");
        EXPECT_EQ(w.read("data.pac"), pac);
        EXPECT_EQ(w.read("b.dat"), member);
        EXPECT_EQ(w.files(), (std::vector<std::string>{"a.txt", "b.dat", "c.txt", "data.pac", "data.pac.list"}));
    }
}

}  // namespace
