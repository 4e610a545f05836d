// The platform layer on Linux and other POSIX systems.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <fcntl.h>
#include <sys/mman.h>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/statfs.h>
#include <sys/utsname.h>
#endif

#include "platform.h"

namespace pactools::platform {

namespace {

FileStatus statusOf(const struct stat& st) {
    FileStatus status;
    status.regular = S_ISREG(st.st_mode);
    status.directory = S_ISDIR(st.st_mode);
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.mode = static_cast<int>(st.st_mode & 07777);
    return status;
}

void onInterrupt(int signal) {
    const int interrupted = errno;  // the interrupted code may be about to read it
    removeTempFilesOnInterrupt();
    // The handler was reset on entry; once it returns, the signal, raised
    // again, ends the process with its usual status.
    ::raise(signal);
    errno = interrupted;
}

}  // namespace

std::string errorText(int error) {
    if (error == kNotRegularFile) return "Not a regular file";
    return std::strerror(error);
}

int missingFolderReason() {
    return ENOENT;
}

bool nameTaken(int error) {
    return error == EEXIST;
}

bool nameTooLong(int error) {
    return error == ENAMETOOLONG;
}

bool statPath(const std::string& path, FileStatus& status, int& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    status = statusOf(st);
    return true;
}

bool statFd(int fd, FileStatus& status, int& error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = errno;
        return false;
    }
    status = statusOf(st);
    return true;
}

int openRead(const std::string& path, int& error) {
    // Non-blocking, so that a FIFO or device is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int openNew(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) error = errno;
    return fd;
}

void closeFd(int fd) {
    ::close(fd);
}

bool closeWritten(int fd, int& error) {
    // Linux releases the descriptor even when close is interrupted, so
    // EINTR is no failure (and it must not be closed again).
    if (::close(fd) == 0 || errno == EINTR) return true;
    error = errno;
    return false;
}

long long readFd(int fd, void* data, std::size_t size, int& error) {
    for (;;) {
        const ssize_t got = ::read(fd, data, size);
        if (got >= 0) return got;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

long long readFdAt(int fd, void* data, std::size_t size, std::uint64_t offset, int& error) {
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
    for (;;) {
        const ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

long long writeFd(int fd, const void* data, std::size_t size, int& error) {
    for (;;) {
        const ssize_t put = ::write(fd, data, size);
        if (put >= 0) return put;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

bool seekFd(int fd, std::uint64_t offset, int& error) {
    if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        error = errno;
        return false;
    }
    return true;
}

bool syncFd(int fd, int& error) {
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        // Files that cannot be synced (some special file systems) are written anyway.
        if (errno == EINVAL || errno == ENOTSUP) return true;
        error = errno;
        return false;
    }
    return true;
}

bool syncPath(const std::string& path, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return false;
    }
    const bool synced = syncFd(fd, error);
    ::close(fd);
    return synced;
}

bool flushesFileSystems() {
#ifdef __linux__
    // syncfs tells write-back failures only from Linux 5.8 on; before, it
    // succeeds whatever happened, so each file is flushed on its own there.
    static const bool tells = [] {
        struct utsname name {};
        unsigned major = 0;
        unsigned minor = 0;
        return ::uname(&name) == 0 && std::sscanf(name.release, "%u.%u", &major, &minor) == 2 &&
               (major > 5 || (major == 5 && minor >= 8));
    }();
    return tells;
#else
    return false;
#endif
}

int openFileSystem(const std::string& directory, std::uint64_t& device, int& error) {
#ifdef __linux__
    if (!flushesFileSystems()) {
        error = ENOTSUP;
        return -1;
    }
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st {};
    struct statfs fs {};
    constexpr unsigned long kFuse = 0x65735546;  // syncfs reaches a FUSE server only on some kernels
    if (::fstat(fd, &st) != 0 || ::fstatfs(fd, &fs) != 0 || static_cast<unsigned long>(fs.f_type) == kFuse) {
        ::close(fd);
        error = ENOTSUP;
        return -1;
    }
    device = static_cast<std::uint64_t>(st.st_dev);
    return fd;
#else
    (void)directory;
    (void)device;
    error = ENOTSUP;
    return -1;
#endif
}

bool syncFileSystem(int handle, int& error) {
#ifdef __linux__
    while (::syncfs(handle) != 0) {
        if (errno == EINTR) continue;
        error = errno;
        return false;
    }
    return true;
#else
    (void)handle;
    error = ENOTSUP;
    return false;
#endif
}

void closeFileSystem(int handle) {
    if (handle >= 0) ::close(handle);
}

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// What a buffer of `size` bytes takes: whole huge pages.
std::size_t mappedSize(std::size_t size) {
    return (size + kHugePage - 1) / kHugePage * kHugePage;
}

}  // namespace

void* allocateLarge(std::size_t size) {
    if (size == 0 || size > SIZE_MAX - 2 * kHugePage) return nullptr;
    // Huge pages must start on a boundary of their size: map more, then
    // give back what lies outside the aligned part.
    const std::size_t mapped = mappedSize(size);
    void* raw = ::mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(raw);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~(std::uintptr_t{kHugePage} - 1);
    if (aligned > start) ::munmap(raw, aligned - start);
    if (const std::uintptr_t after = start + kHugePage - aligned; after > 0) {
        ::munmap(reinterpret_cast<void*>(aligned + mapped), after);
    }
    void* data = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    ::madvise(data, mapped, MADV_HUGEPAGE);  // a hint: without it the pages are simply small
#endif
    return data;
}

void freeLarge(void* data, std::size_t size) {
    if (data != nullptr) ::munmap(data, mappedSize(size));
}

bool setMode(int fd, int mode, int& error) {
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool isWritable(const std::string& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

bool copyModificationTime(const std::string& from, int fd) {
    struct stat source {};
    if (::stat(from.c_str(), &source) != 0) return false;
    const struct timespec times[2] = {{0, UTIME_OMIT}, source.st_mtim};
    return ::futimens(fd, times) == 0;
}

bool replaceFile(const std::string& from, const std::string& to, int& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = errno;
        return false;
    }
    return true;
}

bool syncDirectory(const std::string& directory, int& error) {
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd < 0) return true;
    bool synced = true;
    while (::fsync(fd) != 0) {
        if (errno == EINTR) continue;
        if (errno != EINVAL && errno != ENOTSUP && errno != EROFS) {
            error = errno;
            synced = false;
        }
        break;
    }
    ::close(fd);
    return synced;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool listDirectory(const std::string& path, std::vector<std::string>& names, int& error) {
    DIR* directory = ::opendir(path.empty() ? "." : path.c_str());
    if (directory == nullptr) {
        error = errno;
        return false;
    }
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::closedir(directory);
    return true;
}

bool makeDirectory(const std::string& path, int& error) {
    if (::mkdir(path.c_str(), 0777) != 0) {
        FileStatus status;
        int ignored = 0;
        if (errno == EEXIST && statPath(path, status, ignored) && status.directory) return true;
        error = errno;
        return false;
    }
    std::string parent = path;
    while (!parent.empty() && parent.back() == '/') parent.pop_back();
    return syncDirectory(directoryPart(parent), error);
}

std::string resolveLinks(const std::string& path) {
    // Most targets are no link: one look, instead of one per component.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string result = resolved;
        std::free(resolved);
        return result;
    }
    return path;
}

std::string absolutePath(const std::string& path) {
    const std::string directory = directoryPart(path);
    const std::string name = path.substr(directory.size());
    std::string base;
    if (char* resolved = ::realpath(directory.empty() ? "." : directory.c_str(), nullptr)) {
        base = resolved;
        std::free(resolved);
    } else if (!path.empty() && path[0] == '/') {
        base = directory;
    } else {
        char cwd[PATH_MAX];
        base = ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) + "/" + directory : directory;
    }
    if (base.empty() || base.back() != '/') base += '/';
    return base + name;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    identity.device = static_cast<std::uint64_t>(st.st_dev);
    identity.file = static_cast<std::uint64_t>(st.st_ino);
    identity.size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool freeSpace(const std::string& directory, std::uint64_t& bytes, int& error) {
    struct statvfs fs {};
    if (::statvfs(directory.empty() ? "." : directory.c_str(), &fs) != 0) {
        error = errno;
        return false;
    }
    bytes = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    return true;
}

std::string directoryPart(const std::string& path) {
    const std::size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

bool environmentValue(const char* variable, std::string& value) {
    const char* found = std::getenv(variable);
    if (found == nullptr) return false;
    value = found;
    return true;
}

std::string pathOfName(std::string_view name) {
    // '\' separates directories in names made on Windows.
    std::string path(name);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

bool nameOfPath(std::string_view path, std::string& name) {
    name = path;
    return true;
}

std::string textOfName(std::string_view name) {
    return std::string(name);
}

void writeText(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

bool processRunning(std::uint64_t id) {
    if (id == 0 || id > static_cast<std::uint64_t>(INT32_MAX)) return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::string machineName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
    // Containers that share a host name and a folder have process numbers
    // of their own: the process namespace tells them apart.
    char space[64] = {};
    const ssize_t got = ::readlink("/proc/self/ns/pid", space, sizeof space - 1);
    if (got > 0) return std::string(name) + "/" + std::string(space, static_cast<std::size_t>(got));
    return name;
}

std::uint64_t processId() {
    return static_cast<std::uint64_t>(::getpid());
}

bool standardErrorIsTerminal() {
    return ::isatty(2) != 0;
}

void prepareProcess(const char* tool) {
    handleUnexpectedFailures(tool);
#ifdef SIGXFSZ
    // A file size limit then fails the write, which is reported and cleaned up.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigfillset(&action.sa_mask);  // one interrupt at a time
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

void removeFileNow(const char* path) {
    ::unlink(path);
}

void sleepOneMillisecond() {
    struct timespec pause {0, 1000000};
    ::nanosleep(&pause, nullptr);
}

}  // namespace pactools::platform
