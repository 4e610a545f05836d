#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

namespace pactools {

namespace {

constexpr std::size_t kOutputBufferSize = 256 * 1024;

// A short random-looking suffix for temporary names; uniqueness is finally
// guaranteed by exclusive creation, this only keeps retries rare.
std::string tempSuffix(unsigned attempt) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= platform::processId() << 32;
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

}  // namespace

std::string systemErrorText(int error) {
    return platform::errorText(error);
}

bool InputFile::open(const std::string& path, std::string& error) {
    close();
    int reason = 0;
    fd_ = platform::openRead(path, reason);
    if (fd_ < 0) {
        error = systemErrorText(reason);
        return false;
    }
    return true;
}

void InputFile::close() {
    if (fd_ >= 0) platform::closeFd(fd_);
    fd_ = -1;
}

bool InputFile::size(std::uint64_t& bytes, std::string& error) const {
    platform::FileStatus status;
    int reason = 0;
    if (!platform::statFd(fd_, status, reason)) {
        error = systemErrorText(reason);
        return false;
    }
    bytes = status.size;
    return true;
}

std::int64_t InputFile::read(std::span<std::uint8_t> buffer, std::string& error) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        int reason = 0;
        const long long got = platform::readFd(fd_, buffer.data() + done, buffer.size() - done, reason);
        if (got < 0) {
            error = systemErrorText(reason);
            return -1;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

bool InputFile::seek(std::uint64_t offset, std::string& error) {
    int reason = 0;
    if (!platform::seekFd(fd_, offset, reason)) {
        error = systemErrorText(reason);
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
    platform::FileStatus status;
    int reason = 0;
    return platform::statPath(path, status, reason);
}

bool OutputFile::create(const std::string& target, std::string& error) {
    discard();
    if (target.empty()) {
        error = systemErrorText(ENOENT);
        return false;
    }
    // Replace what a link points at, not the link itself.
    target_ = platform::resolveLinks(target);
    error_.clear();
    replacedMode_ = -1;
    platform::FileStatus status;
    int reason = 0;
    if (platform::statPath(target_, status, reason)) {
        // Only a regular file is ever replaced: a directory, FIFO or device
        // node stays as it is.
        if (!status.regular) {
            error = systemErrorText(status.directory ? EISDIR : platform::kNotRegularFile);
            return false;
        }
        if (!platform::isWritable(target_)) {
            error = systemErrorText(EACCES);
            return false;
        }
        replacedMode_ = status.mode;
    }
    const std::string directory = platform::directoryPart(target_);
    int lastError = EEXIST;
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = (lastError == ENAMETOOLONG ? directory : target_) + "." + tempSuffix(attempt) + ".tmp";
        tempSlot_ = platform::beginTempFile(temp_.c_str());
        if (tempSlot_ < 0) {
            lastError = EMFILE;
            break;
        }
        fd_ = platform::openNew(temp_, lastError);
        platform::confirmTempFile(tempSlot_);
        if (fd_ < 0) {
            platform::endTempFile(tempSlot_);
            tempSlot_ = -1;
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
        int reason = ENOSPC;
        const long long put = platform::writeFd(fd_, data + done, size - done, reason);
        if (put <= 0) return fail(reason);
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
    int reason = 0;
    if (!platform::seekFd(fd_, offset, reason)) return fail(reason);
    if (!writeThrough(bytes.data(), bytes.size())) return false;
    if (!platform::seekFd(fd_, position_, reason)) return fail(reason);
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (fd_ < 0) {
        error = error_.empty() ? systemErrorText(EBADF) : error_;
        return false;
    }
    flush();
    int reason = 0;
    if (error_.empty() && replacedMode_ >= 0 && !platform::setMode(fd_, replacedMode_, reason)) fail(reason);
    // The content reaches stable storage before the rename makes it the
    // target, so a power cut leaves the old file or the whole new one.
    if (error_.empty() && !platform::syncFd(fd_, reason)) fail(reason);
    platform::closeFd(fd_);
    fd_ = -1;
    if (error_.empty() && !platform::replaceFile(temp_, target_, reason)) fail(reason);
    if (!error_.empty()) {
        error = error_;
        discard();
        return false;
    }
    platform::syncDirectory(platform::directoryPart(target_));
    platform::endTempFile(tempSlot_);
    tempSlot_ = -1;
    temp_.clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
    return true;
}

void OutputFile::discard() {
    if (fd_ >= 0) platform::closeFd(fd_);
    fd_ = -1;
    if (!temp_.empty()) platform::removeFile(temp_);
    if (tempSlot_ >= 0) platform::endTempFile(tempSlot_);
    tempSlot_ = -1;
    temp_.clear();
}

}  // namespace pactools
