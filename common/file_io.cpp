#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common_faults.h"
#include "platform.h"

namespace pactools {

namespace {

// Small writes are gathered in a buffer, taken only when the first one
// comes (never, for a file written in large steps) and left uninitialised
// so that only the pages used are ever touched.
constexpr std::size_t kOutputBufferSize = 256 * 1024;
constexpr std::size_t kWrittenStraight = 64 * 1024;  // a write this large skips the buffer

// Temporary files are named TARGET.~pt-MACHINE-PROCESS-RANDOM.tmp: the
// machine (a hash of its name, so that a folder shared by several is safe)
// and process that write them, so that a later run can tell those a dead
// process left from those another run is still writing.
constexpr std::string_view kTempMark = ".~pt-";
constexpr std::string_view kTempEnd = ".tmp";

std::string machineTag() {
    std::uint32_t hash = 2166136261u;
    for (const char c : platform::machineName()) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(hash));
    return text;
}

// "MACHINE-PROCESS" of this process: the same all its life, so made once.
const std::string& ownerTag() {
    static const std::string tag = machineTag() + "-" + std::to_string(platform::processId());
    return tag;
}

// A short random-looking suffix for temporary names; uniqueness is finally
// guaranteed by exclusive creation, this only keeps retries rare.
std::string tempSuffix(unsigned attempt) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::uint64_t seed = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= std::hash<std::string>{}(ownerTag()) << 16;
    seed += attempt * 0x9E3779B97F4A7C15ull;
    std::string suffix;
    for (int i = 0; i < 6; ++i) {
        seed ^= seed >> 29;
        seed *= 0xBF58476D1CE4E5B9ull;
        seed ^= seed >> 32;
        suffix += digits[seed % 36];
    }
    return std::string(kTempMark.substr(1)) + ownerTag() + "-" + suffix;
}

// The process that wrote the temporary file `name` on this machine, or 0
// when it is none of the tools' or another machine's.
std::uint64_t temporaryOwner(std::string_view name, std::string_view machine) {
    const std::size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos || !name.ends_with(kTempEnd)) return 0;
    std::string_view rest = name.substr(mark + kTempMark.size(), name.size() - kTempEnd.size() - mark - kTempMark.size());
    if (!rest.starts_with(machine) || rest.size() < machine.size() + 2 || rest[machine.size()] != '-') return 0;
    rest.remove_prefix(machine.size() + 1);
    std::uint64_t owner = 0;
    std::size_t digits = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 19) {
        owner = owner * 10 + static_cast<unsigned>(rest[digits] - '0');
        ++digits;
    }
    return digits > 0 && digits < rest.size() && rest[digits] == '-' ? owner : 0;
}

// Removes a temporary file, trying again after a failure the system may get
// over (an I/O error; on Windows, a scanner holding the file a moment).
void removeTemporary(const std::string& path) {
    for (int attempt = 0; attempt < 3 && !platform::removeFile(path) && pathExists(path); ++attempt) {
        platform::sleepOneMillisecond();
    }
}

}  // namespace

bool MemorySink::write(std::span<const std::uint8_t> data) {
    bytes.insert(bytes.end(), data.begin(), data.end());
    return true;
}

bool MemorySink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> data) {
    if (offset > bytes.size() || data.size() > bytes.size() - offset) return false;
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

Error MemoryBytes::size(std::uint64_t& bytes) const {
    bytes = bytes_.size();
    return {};
}

Error MemoryBytes::readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const {
    got = 0;
    if (offset >= bytes_.size()) return {};
    got = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bytes_.size() - offset));
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), got, buffer.begin());
    return {};
}

Error InputFile::open(const std::string& path) {
    close();
    path_ = path;
    int reason = 0;
    fd_ = platform::openRead(path, reason);
    if (fd_ < 0) return fileError(CommonFault::CannotOpen, path, reason);
    return {};
}

void InputFile::close() {
    if (fd_ >= 0) platform::closeFd(fd_);
    fd_ = -1;
}

Error InputFile::size(std::uint64_t& bytes) const {
    platform::FileStatus status;
    int reason = 0;
    if (!platform::statFd(fd_, status, reason)) return fileError(CommonFault::ReadFailed, path_, reason);
    bytes = status.size;
    return {};
}

Error InputFile::read(std::span<std::uint8_t> buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        int reason = 0;
        const long long n = platform::readFd(fd_, buffer.data() + got, buffer.size() - got, reason);
        if (n < 0) return fileError(CommonFault::ReadFailed, path_, reason);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return {};
}

Error InputFile::readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const {
    got = 0;
    while (got < buffer.size()) {
        int reason = 0;
        const long long n = platform::readFdAt(fd_, buffer.data() + got, buffer.size() - got, offset + got, reason);
        if (n < 0) return fileError(CommonFault::ReadFailed, path_, reason);
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return {};
}

Error readRest(InputFile& file, std::vector<std::uint8_t>& bytes) {
    std::uint64_t size = 0;
    if (Error error = file.size(size)) return error;
    if (size > SIZE_MAX / 2) return fileError(CommonFault::ReadFailed, file.path(), EFBIG);
    // The size is a hint: read on until the end, whatever it turns out to be.
    bytes.assign(static_cast<std::size_t>(size) + 1, 0);
    std::size_t done = 0;
    for (;;) {
        std::size_t got = 0;
        if (Error error = file.read(std::span(bytes).subspan(done), got)) return error;
        done += got;
        if (done < bytes.size()) break;
        bytes.resize(bytes.size() * 2);
    }
    bytes.resize(done);
    return {};
}

Error readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    InputFile file;
    if (Error error = file.open(path)) return error;
    return readRest(file, bytes);
}

bool isTemporaryName(std::string_view path) {
    const std::size_t mark = path.rfind(kTempMark);
    return mark != std::string_view::npos && path.ends_with(kTempEnd) &&
           path.find_first_of("/\\", mark) == std::string_view::npos;
}

void removeLeftoverTemporaries(const std::string& directory) {
    std::vector<std::string> names;
    int reason = 0;
    if (!platform::listDirectory(directory, names, reason)) return;
    const std::string machine = machineTag();
    const std::uint64_t self = platform::processId();
    for (const std::string& name : names) {
        const std::uint64_t owner = temporaryOwner(name, machine);
        if (owner != 0 && owner != self && !platform::processRunning(owner)) {
            platform::removeFile(directory.empty() ? name : directory + (directory.ends_with('/') || directory.ends_with('\\') ? "" : "/") + name);
        }
    }
}

bool pathExists(const std::string& path) {
    platform::FileStatus status;
    int reason = 0;
    return platform::statPath(path, status, reason);
}

namespace {

// Only a regular file is ever replaced: a directory, FIFO or device node
// stays as it is.  `resolved` is `target` with its links followed;
// `replacedMode` gets the permissions of the file replaced (-1 for none).
Error checkReplaceable(const std::string& target, const std::string& resolved, int& replacedMode) {
    replacedMode = -1;
    if (target.empty()) return fileError(CommonFault::CannotCreate, target, ENOENT);
    platform::FileStatus status;
    int reason = 0;
    if (!platform::statPath(resolved, status, reason)) return {};
    if (!status.regular) {
        return fileError(CommonFault::CannotCreate, target, status.directory ? EISDIR : platform::kNotRegularFile);
    }
    if (!platform::isWritable(resolved)) return fileError(CommonFault::CannotCreate, target, EACCES);
    replacedMode = status.mode;
    return {};
}

}  // namespace

Error checkCreatable(const std::string& target) {
    const std::string resolved = platform::resolveLinks(target);
    int replacedMode = -1;
    if (Error error = checkReplaceable(target, resolved, replacedMode)) return error;
    // "dir/" is looked at as "dir" ("/" stays), "" as ".".
    const std::string part = platform::directoryPart(resolved);
    const std::string directory = part.empty() ? std::string(".") : part.size() == 1 ? part : part.substr(0, part.size() - 1);
    platform::FileStatus status;
    int reason = 0;
    if (!platform::statPath(directory, status, reason)) {
        return fileError(CommonFault::CannotCreate, target, pathExists(directory) ? reason : platform::missingFolderReason());
    }
    if (!status.directory) return fileError(CommonFault::CannotCreate, target, ENOTDIR);
    // (Windows' read-only mark on a folder does not stop new files.)
    if (!platform::kWindows && !platform::isWritable(directory)) return fileError(CommonFault::CannotCreate, target, EACCES);
    return {};
}

Error OutputFile::create(const std::string& target) {
    discard();
    name_ = target;
    // Replace what a link points at, not the link itself.
    target_ = platform::resolveLinks(target);
    failure_ = 0;
    if (Error error = checkReplaceable(target, target_, replacedMode_)) return error;
    const std::string directory = platform::directoryPart(target_);
    int lastError = EEXIST;
    for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = (platform::nameTooLong(lastError) ? directory : target_) + "." + tempSuffix(attempt) + std::string(kTempEnd);
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
            if (!platform::nameTaken(lastError) && !platform::nameTooLong(lastError)) break;
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        return fileError(CommonFault::CannotCreate, target, lastError);
    }
    used_ = 0;
    position_ = 0;
    return {};
}

bool OutputFile::fail(int error) {
    if (failure_ == 0) failure_ = error;
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
    if (failure_ != 0) return false;
    const std::size_t pending = used_;
    used_ = 0;
    return pending == 0 || writeThrough(buffer_.get(), pending);
}

bool OutputFile::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0 || failure_ != 0) return false;
    position_ += bytes.size();
    if (bytes.size() >= kWrittenStraight) {  // large: straight through, without a copy
        return flush() && writeThrough(bytes.data(), bytes.size());
    }
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(kOutputBufferSize);
    while (!bytes.empty()) {
        if (used_ == kOutputBufferSize && !flush()) return false;
        const std::size_t n = std::min(bytes.size(), kOutputBufferSize - used_);
        std::memcpy(buffer_.get() + used_, bytes.data(), n);
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

Error OutputFile::finish(Flush when) {
    if (fd_ < 0) return fileError(CommonFault::WriteFailed, name_, failure_ != 0 ? failure_ : EBADF);
    flush();
    int reason = 0;
    if (failure_ == 0 && replacedMode_ >= 0 && !platform::setMode(fd_, replacedMode_, reason)) fail(reason);
    // Only a hint to make, so a file system that refuses it fails nothing.
    if (failure_ == 0 && !timeOf_.empty()) platform::copyModificationTime(timeOf_, fd_);
    // The content reaches stable storage before the rename makes it the
    // target, so a power cut leaves the old file or the whole new one: now,
    // or in one pass with other files (see FlushPass).
    synced_ = when == Flush::Now || !platform::flushesFileSystems();
    if (failure_ == 0 && synced_ && !platform::syncFd(fd_, reason)) fail(reason);
    if (!platform::closeWritten(fd_, reason) && failure_ == 0) failure_ = reason;
    fd_ = -1;
    buffer_.reset();
    if (failure_ != 0) {
        const Error error = fileError(CommonFault::WriteFailed, name_, failure_);
        discard();
        return error;
    }
    finished_ = true;
    return {};
}

Error OutputFile::syncFinished() {
    int reason = 0;
    if (!finished_) return fileError(CommonFault::WriteFailed, name_, failure_ != 0 ? failure_ : EBADF);
    if (!synced_ && !platform::syncPath(temp_, reason)) {
        discard();
        return fileError(CommonFault::WriteFailed, name_, reason);
    }
    synced_ = true;
    return {};
}

Error OutputFile::publish(bool syncDirectory) {
    int reason = 0;
    if (Error error = syncFinished()) return error;
    if (!platform::replaceFile(temp_, target_, reason)) {
        discard();
        return fileError(CommonFault::WriteFailed, name_, reason);
    }
    platform::endTempFile(tempSlot_);
    tempSlot_ = -1;
    temp_.clear();
    finished_ = false;
    // The target is complete; a failure to make its rename durable is still
    // one of the command.
    const std::string directory = platform::directoryPart(target_);
    if (syncDirectory && !platform::syncDirectory(directory, reason)) {
        return fileError(CommonFault::WriteFailed, directory.empty() ? "." : directory, reason);
    }
    return {};
}

std::string OutputFile::targetDirectory() const {
    return platform::directoryPart(target_);
}

Error OutputFile::commit() {
    if (Error error = finish()) return error;
    return publish();
}

void OutputFile::discard() {
    finished_ = false;
    synced_ = false;
    if (fd_ >= 0) platform::closeFd(fd_);
    fd_ = -1;
    if (!temp_.empty()) removeTemporary(temp_);
    if (tempSlot_ >= 0) platform::endTempFile(tempSlot_);
    tempSlot_ = -1;
    temp_.clear();
}

FlushPass::~FlushPass() {
    for (const FileSystem& system : systems_) platform::closeFileSystem(system.handle);
}

void FlushPass::watch(const std::string& directory) {
    handleFor(directory);
}

int FlushPass::handleFor(const std::string& directory) {
    for (const auto& [known, handle] : directories_) {
        if (known == directory) return handle;
    }
    std::uint64_t device = 0;
    int reason = 0;
    int handle = platform::openFileSystem(directory, device, reason);
    if (handle >= 0) {
        const auto same = std::find_if(systems_.begin(), systems_.end(),
                                       [&](const FileSystem& system) { return system.device == device; });
        if (same != systems_.end()) {
            platform::closeFileSystem(handle);  // watched since earlier
            handle = same->handle;
        } else {
            systems_.push_back({device, handle});
        }
    }
    directories_.emplace_back(directory, handle);
    return handle;
}

std::size_t FlushPass::flush(std::span<OutputFile* const> files, Error& error) {
    // Each file system once.  A file on one that cannot be flushed as a
    // whole, or whose flush failed, is then flushed on its own, so that a
    // failure is told for the file it concerns.
    std::vector<int> handles(files.size(), -1);
    std::vector<std::pair<int, bool>> tried;  // handle, flushed
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i]->synced_) continue;
        handles[i] = handleFor(files[i]->targetDirectory());
        if (handles[i] < 0) continue;
        const auto done = std::find_if(tried.begin(), tried.end(), [&](const auto& t) { return t.first == handles[i]; });
        if (done != tried.end()) continue;
        int reason = 0;
        tried.emplace_back(handles[i], platform::syncFileSystem(handles[i], reason));
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto done = std::find_if(tried.begin(), tried.end(), [&](const auto& t) { return t.first == handles[i]; });
        if (handles[i] >= 0 && done != tried.end() && done->second) {
            files[i]->synced_ = true;
        } else if ((error = files[i]->syncFinished())) {
            return i;
        }
    }
    return files.size();
}

}  // namespace pactools
