#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "pactools-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Restore write permission on anything a test made read-only.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(fs::symlink_status(path, ignored));
}

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int fileMode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 07777);
}

std::string dataPath(const std::string& relative) {
    const char* root = std::getenv("TEST_DATA_DIR");
    return std::string(root != nullptr ? root : "tests/data") + "/" + relative;
}

CapturedStream::CapturedStream() : file_(std::tmpfile()) {
    if (file_ == nullptr) throw std::runtime_error("tmpfile failed");
}

CapturedStream::~CapturedStream() {
    std::fclose(file_);
}

std::string CapturedStream::text() const {
    std::fflush(file_);
    const long end = std::ftell(file_);
    std::string text(static_cast<std::size_t>(end), '\0');
    std::rewind(file_);
    const std::size_t got = std::fread(text.data(), 1, text.size(), file_);
    text.resize(got);
    std::fseek(file_, 0, SEEK_END);
    return text;
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(engine() & 0xFF);
    return bytes;
}

BackgroundProgram::BackgroundProgram(const std::string& directory, const std::string& program,
                                     const std::vector<std::string>& arguments)
    : outputPath_(scratch_ / "output") {
    std::vector<std::string> words;
    if (const char* launcher = std::getenv("TOOL_LAUNCHER"); launcher != nullptr && *launcher != '\0') {
        words.push_back(launcher);
    }
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::chdir(directory.c_str()) != 0) ::_exit(126);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid_ < 0) throw std::runtime_error("fork failed");
}

BackgroundProgram::~BackgroundProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string BackgroundProgram::output() const {
    return consoleText(fileExists(outputPath_) ? readFile(outputPath_) : std::string());
}

bool BackgroundProgram::waitForOutput(const std::string& text, int timeoutMilliseconds) const {
    for (int waited = 0; waited < timeoutMilliseconds; ++waited) {
        if (output().find(text) != std::string::npos) return true;
        siginfo_t info{};
        // Has it ended?  (Asked without collecting its status, which wait() needs.)
        if (pid_ > 0 && ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid != 0) {
            return output().find(text) != std::string::npos;
        }
        ::usleep(1000);
    }
    return false;
}

RunResult BackgroundProgram::wait() {
    RunResult result;
    int raw = 0;
    if (pid_ > 0 && ::waitpid(pid_, &raw, 0) == pid_) {
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    }
    pid_ = -1;
    result.output = output();
    return result;
}

void BackgroundProgram::signal(int number) const {
    if (pid_ > 0) ::kill(pid_, number);
}

ScopedUmask::ScopedUmask(unsigned mask) : old_(::umask(static_cast<mode_t>(mask))) {}

ScopedUmask::~ScopedUmask() {
    ::umask(static_cast<mode_t>(old_));
}

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long long bytes) {
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    oldCurrent_ = limit.rlim_cur;
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    struct rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = oldCurrent_;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler_);
}

std::string shellQuote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

std::string consoleText(std::string text) {
    // Windows programs end their console lines with CR LF.
    const char* target = std::getenv("TOOLS_TARGET");
    if (target == nullptr || std::string(target) != "windows") return text;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    }
    return out;
}

namespace {

RunResult run(const std::string& directory, const std::string& launcher, const std::string& program,
              const std::vector<std::string>& arguments) {
    TempDir scratch;
    const std::string outputPath = scratch / "output";
    std::string command = "cd " + shellQuote(directory) + " && exec ";
    if (!launcher.empty()) command += launcher + " ";
    command += shellQuote(program);
    for (const auto& argument : arguments) {
        command += ' ';
        command += shellQuote(argument);
    }
    command += " >";
    command += shellQuote(outputPath);
    command += " 2>&1 </dev/null";
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    result.output = consoleText(fileExists(outputPath) ? readFile(outputPath) : std::string());
    return result;
}

}  // namespace

RunResult runProgram(const std::string& directory, const std::string& program,
                     const std::vector<std::string>& arguments) {
    const char* launcher = std::getenv("TOOL_LAUNCHER");
    return run(directory, launcher != nullptr ? launcher : "", program, arguments);
}

RunResult runProgramDirect(const std::string& directory, const std::string& program,
                           const std::vector<std::string>& arguments) {
    return run(directory, "", program, arguments);
}

}  // namespace testing_support
