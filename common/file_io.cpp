#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace pactools {

namespace {

#ifdef _WIN32
using StatRecord = struct _stat64;
int statPath(const char* path, StatRecord* st) { return _stat64(path, st); }
int statFd(int fd, StatRecord* st) { return _fstat64(fd, st); }
int openRead(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
int openNew(const char* path) {
    return _open(path, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int closeFd(int fd) { return _close(fd); }
long long readFd(int fd, void* data, std::size_t n) {
    return _read(fd, data, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
}
long long writeFd(int fd, const void* data, std::size_t n) {
    return _write(fd, data, static_cast<unsigned>(n > 0x40000000 ? 0x40000000 : n));
}
long long seekFd(int fd, std::uint64_t offset) { return _lseeki64(fd, static_cast<long long>(offset), SEEK_SET); }
bool isWritable(const char* path) { return _access(path, 2) == 0; }
bool replaceFile(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    errno = EACCES;
    return false;
}
bool isDirectory(const StatRecord& st) { return (st.st_mode & _S_IFDIR) != 0; }
#else
using StatRecord = struct stat;
int statPath(const char* path, StatRecord* st) { return ::stat(path, st); }
int statFd(int fd, StatRecord* st) { return ::fstat(fd, st); }
int openRead(const char* path) { return ::open(path, O_RDONLY | O_CLOEXEC); }
int openNew(const char* path) { return ::open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666); }
int closeFd(int fd) { return ::close(fd); }
long long readFd(int fd, void* data, std::size_t n) { return ::read(fd, data, n); }
long long writeFd(int fd, const void* data, std::size_t n) { return ::write(fd, data, n); }
long long seekFd(int fd, std::uint64_t offset) { return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET); }
bool isWritable(const char* path) { return ::access(path, W_OK) == 0; }
bool replaceFile(const char* from, const char* to) { return ::rename(from, to) == 0; }
bool isDirectory(const StatRecord& st) { return S_ISDIR(st.st_mode); }
#endif

constexpr std::size_t kOutputBufferSize = 256 * 1024;

// A short random-looking suffix for temporary names; uniqueness is finally
// guaranteed by exclusive creation, this only keeps retries rare.
std::string tempSuffix(unsigned attempt) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
#ifdef _WIN32
    seed ^= static_cast<std::uint64_t>(GetCurrentProcessId()) << 32;
#else
    seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
#endif
    seed += attempt * 0x9E3779B97F4A7C15ull;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        seed ^= seed >> 29;
        seed *= 0xBF58476D1CE4E5B9ull;
        seed ^= seed >> 32;
        suffix += digits[seed % 36];
    }
    return suffix;
}

std::string directoryPart(const std::string& path) {
    std::size_t cut = path.find_last_of('/');
#ifdef _WIN32
    const std::size_t back = path.find_last_of("\\:");
    if (back != std::string::npos && (cut == std::string::npos || back > cut)) cut = back;
#endif
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

std::string systemErrorText(int error) {
    return std::strerror(error);
}

bool InputFile::open(const std::string& path, std::string& error) {
    close();
    fd_ = openRead(path.c_str());
    if (fd_ < 0) {
        error = systemErrorText(errno);
        return false;
    }
    StatRecord st{};
    if (statFd(fd_, &st) == 0 && isDirectory(st)) {
        close();
        error = systemErrorText(EISDIR);
        return false;
    }
    return true;
}

void InputFile::close() {
    if (fd_ >= 0) closeFd(fd_);
    fd_ = -1;
}

bool InputFile::size(std::uint64_t& bytes, std::string& error) const {
    StatRecord st{};
    if (statFd(fd_, &st) != 0) {
        error = systemErrorText(errno);
        return false;
    }
    bytes = static_cast<std::uint64_t>(st.st_size);
    return true;
}

std::int64_t InputFile::read(std::span<std::uint8_t> buffer, std::string& error) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const long long got = readFd(fd_, buffer.data() + done, buffer.size() - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            error = systemErrorText(errno);
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

bool InputFile::seek(std::uint64_t offset, std::string& error) {
    if (seekFd(fd_, offset) < 0) {
        error = systemErrorText(errno);
        return false;
    }
    return true;
}

bool readRest(InputFile& file, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::uint64_t size = 0;
    if (!file.size(size, error)) return false;
    if (size > SIZE_MAX / 2) {
        error = systemErrorText(EFBIG);
        return false;
    }
    // The size is a hint: read on until the end, whatever it turns out to be.
    bytes.assign(static_cast<std::size_t>(size) + 1, 0);
    std::size_t done = 0;
    for (;;) {
        const std::int64_t got = file.read(std::span(bytes).subspan(done), error);
        if (got < 0) return false;
        done += static_cast<std::size_t>(got);
        if (done < bytes.size()) break;
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(done);
    return true;
}

bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    InputFile file;
    return file.open(path, error) && readRest(file, bytes, error);
}

bool pathExists(const std::string& path) {
    StatRecord st{};
    return statPath(path.c_str(), &st) == 0;
}

bool OutputFile::create(const std::string& target, std::string& error) {
    discard();
    if (target.empty()) {
        error = systemErrorText(ENOENT);
        return false;
    }
    target_ = target;
    error_.clear();
    replacedMode_ = -1;
#ifndef _WIN32
    // Replace what a link points at, not the link itself.
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        target_ = resolved;
        std::free(resolved);
    }
#endif
    StatRecord st{};
    if (statPath(target_.c_str(), &st) == 0) {
        if (isDirectory(st)) {
            error = systemErrorText(EISDIR);
            return false;
        }
        if (!isWritable(target_.c_str())) {
            error = systemErrorText(EACCES);
            return false;
        }
        replacedMode_ = static_cast<int>(st.st_mode & 07777);
    }
    const std::string directory = directoryPart(target_);
    int lastError = EEXIST;
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = (lastError == ENAMETOOLONG ? directory : target_) + "." + tempSuffix(attempt) + ".tmp";
        fd_ = openNew(temp_.c_str());
        if (fd_ < 0) {
            lastError = errno;
            if (lastError != EEXIST && lastError != ENAMETOOLONG) break;
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        error = systemErrorText(lastError);
        return false;
    }
    buffer_.resize(kOutputBufferSize);
    used_ = 0;
    position_ = 0;
    return true;
}

bool OutputFile::fail(int error) {
    if (error_.empty()) error_ = systemErrorText(error);
    return false;
}

bool OutputFile::writeThrough(const std::uint8_t* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const long long put = writeFd(fd_, data + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return fail(put < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool OutputFile::flush() {
    if (!error_.empty()) return false;
    const std::size_t pending = used_;
    used_ = 0;
    return writeThrough(buffer_.data(), pending);
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || !error_.empty()) return false;
    position_ += bytes.size();
    if (bytes.size() >= buffer_.size()) {  // large: straight through, without a copy
        return flush() && writeThrough(bytes.data(), bytes.size());
    }
    while (!bytes.empty()) {
        if (used_ == buffer_.size() && !flush()) return false;
        const std::size_t n = std::min(bytes.size(), buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, bytes.data(), n);
        used_ += n;
        bytes = bytes.subspan(n);
    }
    return true;
}

bool OutputFile::write(std::string_view text) {
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || !flush()) return false;
    if (seekFd(fd_, offset) < 0) return fail(errno);
    if (!writeThrough(bytes.data(), bytes.size())) return false;
    if (seekFd(fd_, position_) < 0) return fail(errno);
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (fd_ < 0) {
        error = error_.empty() ? systemErrorText(EBADF) : error_;
        return false;
    }
    flush();
#ifndef _WIN32
    if (error_.empty() && replacedMode_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(replacedMode_)) != 0) fail(errno);
#endif
    if (closeFd(fd_) != 0) fail(errno);
    fd_ = -1;
    if (error_.empty() && !replaceFile(temp_.c_str(), target_.c_str())) fail(errno);
    if (!error_.empty()) {
        error = error_;
        discard();
        return false;
    }
    temp_.clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
    return true;
}

void OutputFile::discard() {
    if (fd_ >= 0) closeFd(fd_);
    fd_ = -1;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
}

}  // namespace pactools
