// Helpers shared by the tests: temporary directories, whole-file access,
// captured message streams and running the built tools.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// Names in a directory, sorted.
std::vector<std::string> listDirectory(const std::string& path);
// Permission bits of a file (POSIX); -1 when unknown.
int fileMode(const std::string& path);
// A file of the shared test data (tests/data).
std::string dataPath(const std::string& relative);

// A stream whose text can be read back, for functions that print messages.
class CapturedStream {
public:
    CapturedStream();
    ~CapturedStream();
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;
    std::FILE* stream() const { return file_; }
    std::string text() const;

private:
    std::FILE* file_;
};

// Deterministic pseudo-random bytes.
std::string randomBytes(std::size_t size, unsigned seed);

// Console output as the tests compare it: with Windows tools
// (TOOLS_TARGET=windows), CR LF line ends become LF.
std::string consoleText(std::string text);

struct RunResult {
    int status = -1;     // exit status, or -1 when the tool did not exit normally
    int signal = 0;      // the signal that ended it, if one did
    std::string output;  // standard output and standard error
};

// Runs `program` with `arguments` in directory `directory`.  When the
// environment names a launcher (TOOL_LAUNCHER, e.g. an emulator), the program
// is started through it.
RunResult runProgram(const std::string& directory, const std::string& program,
                     const std::vector<std::string>& arguments);

// The same, never through a launcher: for programs of this system such as make.
RunResult runProgramDirect(const std::string& directory, const std::string& program,
                           const std::vector<std::string>& arguments);

// A program started in the background, for tests that act while it runs.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& directory, const std::string& program, const std::vector<std::string>& arguments);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    // What it has printed so far.
    std::string output() const;
    // Waits until its output contains `text` (or it ended); true when it does.
    bool waitForOutput(const std::string& text, int timeoutMilliseconds = 30000) const;
    RunResult wait();
    // Sends it a signal.
    void signal(int number) const;

private:
    TempDir scratch_;
    std::string outputPath_;
    int pid_ = -1;
};

// Sets the process's umask for its lifetime, then restores the old one.
class ScopedUmask {
public:
    explicit ScopedUmask(unsigned mask);
    ~ScopedUmask();
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    unsigned old_;
};

// Limits the size of files this process writes (a full disk, for the
// tests), with SIGXFSZ ignored so that writes fail instead; both restored
// at the end of its lifetime.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(unsigned long long bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    unsigned long long oldCurrent_ = 0;
    void (*oldHandler_)(int) = nullptr;
};

// Quotes a word for the POSIX shell.
std::string shellQuote(const std::string& word);

}  // namespace testing_support
