// The platform layer on Windows.
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include "platform.h"

namespace pactools::platform {

namespace {

FileStatus statusOf(const struct _stat64& st) {
    FileStatus status;
    status.regular = (st.st_mode & _S_IFMT) == _S_IFREG;
    status.directory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.mode = static_cast<int>(st.st_mode & 0777);
    return status;
}

unsigned clampSize(std::size_t size) {
    return static_cast<unsigned>(size > 0x40000000 ? 0x40000000 : size);
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        removeTempFilesOnInterrupt();
        return FALSE;  // the default handler then ends the process
    default:
        return FALSE;
    }
}

}  // namespace

std::string errorText(int error) {
    if (error == kNotRegularFile) return "Not a regular file";
    return std::strerror(error);
}

bool statPath(const std::string& path, FileStatus& status, int& error) {
    struct _stat64 st {};
    if (_stat64(path.c_str(), &st) != 0) {
        error = errno;
        return false;
    }
    status = statusOf(st);
    return true;
}

bool statFd(int fd, FileStatus& status, int& error) {
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0) {
        error = errno;
        return false;
    }
    status = statusOf(st);
    return true;
}

int openRead(const std::string& path, int& error) {
    // Device names (CON, NUL...) are not files: look before opening.
    struct _stat64 st {};
    if (_stat64(path.c_str(), &st) == 0 && (st.st_mode & _S_IFMT) != _S_IFREG) {
        error = (st.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : kNotRegularFile;
        return -1;
    }
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG ||
        GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(fd))) != FILE_TYPE_DISK) {
        error = (st.st_mode & _S_IFMT) == _S_IFDIR ? EISDIR : kNotRegularFile;
        _close(fd);
        return -1;
    }
    return fd;
}

int openNew(const std::string& path, int& error) {
    const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) error = errno;
    return fd;
}

void closeFd(int fd) {
    _close(fd);
}

long long readFd(int fd, void* data, std::size_t size, int& error) {
    const int got = _read(fd, data, clampSize(size));
    if (got < 0) error = errno;
    return got;
}

long long writeFd(int fd, const void* data, std::size_t size, int& error) {
    const int put = _write(fd, data, clampSize(size));
    if (put < 0) error = errno;
    return put;
}

bool seekFd(int fd, std::uint64_t offset, int& error) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) {
        error = errno;
        return false;
    }
    return true;
}

bool syncFd(int fd, int& error) {
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(fd)))) {
        error = EIO;
        return false;
    }
    return true;
}

bool syncPath(const std::string& path, int& error) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = EIO;
        return false;
    }
    const bool flushed = FlushFileBuffers(file) != 0;
    CloseHandle(file);
    if (!flushed) error = EIO;
    return flushed;
}

// Windows flushes each file on its own (FlushFileBuffers).
bool flushesFileSystems() {
    return false;
}

int openFileSystem(const std::string&, std::uint64_t&, int& error) {
    error = ENOTSUP;
    return -1;
}

bool syncFileSystem(int, int& error) {
    error = ENOTSUP;
    return false;
}

void closeFileSystem(int) {}

void* allocateLarge(std::size_t size) {
    if (size == 0) return nullptr;
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLarge(void* data, std::size_t) {
    if (data != nullptr) VirtualFree(data, 0, MEM_RELEASE);
}

bool setMode(int, int, int&) {
    return true;
}

bool isWritable(const std::string& path) {
    return _access(path.c_str(), 2) == 0;
}

bool copyModificationTime(const std::string& from, int fd) {
    HANDLE source = CreateFileA(from.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (source == INVALID_HANDLE_VALUE) return false;
    FILETIME written {};
    const bool got = GetFileTime(source, nullptr, nullptr, &written) != 0;
    CloseHandle(source);
    return got && SetFileTime(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), nullptr, nullptr, &written) != 0;
}

bool replaceFile(const std::string& from, const std::string& to, int& error) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = EACCES;
    return false;
}

void syncDirectory(const std::string&) {
    // MOVEFILE_WRITE_THROUGH already waited for the rename to reach the disk.
}

bool removeFile(const std::string& path) {
    return DeleteFileA(path.c_str()) != 0;
}

std::string resolveLinks(const std::string& path) {
    return path;
}

std::string absolutePath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    if (_fullpath(buffer, path.c_str(), sizeof buffer) != nullptr) return buffer;
    return path;
}

bool sameFile(const std::string& a, const std::string& b) {
    const auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return ok;
    };
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    return identify(a, ia) && identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

std::string directoryPart(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::uint64_t processId() {
    return GetCurrentProcessId();
}

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void prepareProcess(const char* tool) {
    handleUnexpectedFailures(tool);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void removeFileNow(const char* path) {
    DeleteFileA(path);
}

void sleepOneMillisecond() {
    Sleep(1);
}

}  // namespace pactools::platform
