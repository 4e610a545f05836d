// Files as both tools use them: inputs read through a plain descriptor, and
// outputs that are never left half-written.  An OutputFile is written to a
// temporary file beside its target (TARGET.~pt-MACHINE-PROCESS-RANDOM.tmp)
// and renamed over the target only when commit() succeeds; until then (and
// after any failure) an existing target stays byte-identical and the
// temporary file is removed.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"

namespace pactools {

// Where bytes go: a file being written, or memory in tests and fuzzers.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends; false once the sink has failed (the failure is told elsewhere).
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Overwrites bytes already written, at `offset`.
    virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Bytes written so far.
    virtual std::uint64_t position() const = 0;
};

// A sink that keeps what it is given.
class MemorySink : public ByteSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override;
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    std::uint64_t position() const override { return bytes.size(); }
    std::vector<std::uint8_t> bytes;
};

// Bytes read at any offset, by several threads at once: a file, or bytes in
// memory.  An archive is read through one; so is a member's file.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual Error size(std::uint64_t& bytes) const = 0;
    // Reads up to buffer.size() bytes at `offset`; fewer only at the end.
    virtual Error readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const = 0;
};

// Bytes in memory, which must outlive it.
class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    Error size(std::uint64_t& bytes) const override;
    Error readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const override;

private:
    std::span<const std::uint8_t> bytes_;
};

class InputFile : public ByteSource {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() override { close(); }

    // Opens the regular file `path` for reading (never blocking on a FIFO or
    // device, which are refused): CannotOpen with the system's reason.
    Error open(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

    // Size of the open file in bytes.
    Error size(std::uint64_t& bytes) const override;
    // Reads up to buffer.size() bytes from the current position, retrying
    // short reads until the buffer is full or the file ends; `got` is less
    // than asked only at the end.
    Error read(std::span<std::uint8_t> buffer, std::size_t& got);
    // Reads up to buffer.size() bytes at `offset`, as read() does, without
    // using or moving the read position: threads may share one InputFile
    // for this.
    Error readAt(std::uint64_t offset, std::span<std::uint8_t> buffer, std::size_t& got) const override;

private:
    int fd_ = -1;
    std::string path_;
};

// Reads the rest of an open file into `bytes`.
Error readRest(InputFile& file, std::vector<std::uint8_t>& bytes);
// Reads a whole file into `bytes`.
Error readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// Whether OutputFile::create() could make `target` as things stand: the
// target, when it exists, is a regular file (a link is followed) that may
// be written, and its folder exists and (on POSIX) takes new files.  The
// error is create()'s (CannotCreate with the reason).
Error checkCreatable(const std::string& target);

class OutputFile : public ByteSink {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() override { discard(); }

    // Creates the temporary file for `target`.  Fails (CannotCreate),
    // touching nothing, when the target is anything but a regular file (a
    // link is followed) or an existing file that may not be written.
    Error create(const std::string& target);
    bool isOpen() const { return fd_ >= 0; }

    // Buffered writes at the end of the file.  After a failure every further
    // write fails too; commit() then reports the first failure.
    bool write(std::span<const std::uint8_t> bytes) override;
    bool write(std::string_view text);
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;
    std::uint64_t position() const override { return position_; }

    // Flushes the temporary file to stable storage, gives it the permissions
    // a new file (or the replaced file) would have, and renames it over the
    // target.  This is where every write failure is told (WriteFailed); the
    // output is then discarded.
    Error commit();
    // The two halves of commit(), for outputs finished on worker threads
    // and renamed over their targets in order on one: finish() flushes to
    // stable storage and closes, publish() renames and (unless the caller
    // flushes the directory itself, once for many files) flushes the
    // directory.  finish(Flush::Later) leaves the flush to a FlushPass that
    // flushes many files at once, where the system can (elsewhere it
    // flushes now); publish() never renames a file that was not flushed.
    enum class Flush { Now, Later };
    Error finish(Flush when = Flush::Now);
    Error publish(bool syncDirectory = true);
    // Gives the finished file the modification time of the file `path`
    // (where the system allows): a file made from another is no newer than
    // its source, so make sees the source as up to date.
    void takeTimeOf(const std::string& path) { timeOf_ = path; }
    // The directory of the target, for a caller that flushes it itself.
    std::string targetDirectory() const;
    // Abandons the output: closes and removes the temporary file.
    void discard();

    const std::string& target() const { return target_; }

private:
    friend class FlushPass;
    bool flush();
    bool writeThrough(const std::uint8_t* data, std::size_t size);
    bool fail(int error);
    // Flushes the finished file on its own; on failure it is discarded.
    Error syncFinished();

    int fd_ = -1;
    std::string name_;     // the target as given, for messages
    std::string target_;   // the file replaced (links followed)
    std::string temp_;
    std::string timeOf_;   // the file whose modification time it takes, if any
    std::unique_ptr<std::uint8_t[]> buffer_;  // gathers small writes
    std::size_t used_ = 0;
    std::uint64_t position_ = 0;  // bytes written so far (the end of the file)
    int failure_ = 0;             // the first write failure's reason
    int replacedMode_ = -1;       // permissions of the file being replaced
    int tempSlot_ = -1;           // where the temporary file is tracked for interrupts
    bool finished_ = false;       // finish() succeeded; publish() may follow
    bool synced_ = false;         // the finished file has reached stable storage
};

// Finished files brought to stable storage in one pass: each file system
// holding them is flushed once where the system can (Linux's syncfs), else
// each file on its own.  A file system is watched from the moment its first
// directory is, so that a failure to write back any file written into it
// since is told by the flush: watch the directories before writing into
// them where they are known.
class FlushPass {
public:
    FlushPass() = default;
    FlushPass(const FlushPass&) = delete;
    FlushPass& operator=(const FlushPass&) = delete;
    ~FlushPass();

    void watch(const std::string& directory);
    // Flushes `files` (finished, in order) and returns how many reached
    // stable storage before the first that did not; that one is discarded,
    // with its failure (WriteFailed) in `error`, and the rest are left as
    // they are.
    std::size_t flush(std::span<OutputFile* const> files, Error& error);

private:
    int handleFor(const std::string& directory);  // -1: flush its files one by one

    struct FileSystem {
        std::uint64_t device = 0;
        int handle = -1;
    };
    std::vector<std::pair<std::string, int>> directories_;  // each directory's handle, or -1
    std::vector<FileSystem> systems_;
};

// True when `path` names an existing file (or directory).
bool pathExists(const std::string& path);

// Removes the temporary files in `directory` ("" for the current one) that
// a process of this machine that is no longer running left behind (killed,
// or the machine lost power), never one another running command writes.
// Every command calls it for the folders it writes into.
void removeLeftoverTemporaries(const std::string& directory);

// Whether the last component of `path` has the form of the tools'
// temporary files (NAME.~pt-MACHINE-PROCESS-RANDOM.tmp).
bool isTemporaryName(std::string_view path);

}  // namespace pactools
