// Files as both tools use them: inputs read through a plain descriptor, and
// outputs that are never left half-written.  An OutputFile is written to a
// temporary file beside its target and renamed over the target only when
// commit() succeeds; until then (and after any failure) an existing target
// stays byte-identical and the temporary file is removed.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pactools {

// The text of a system error number, e.g. "No such file or directory".
std::string systemErrorText(int error);

class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() { close(); }

    // Opens the regular file `path` for reading (never blocking on a FIFO or
    // device, which are refused); on failure `error` gets the reason.
    bool open(const std::string& path, std::string& error);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Size of the open file in bytes.
    bool size(std::uint64_t& bytes, std::string& error) const;
    // Reads up to buffer.size() bytes from the current position, retrying
    // short reads until the buffer is full or the file ends.  Returns the
    // number of bytes read (less than asked only at the end), or -1.
    std::int64_t read(std::span<std::uint8_t> buffer, std::string& error);
    // Moves the read position to `offset` from the start.
    bool seek(std::uint64_t offset, std::string& error);

private:
    int fd_ = -1;
};

// Reads the rest of an open file into `bytes`.
bool readRest(InputFile& file, std::vector<std::uint8_t>& bytes, std::string& error);
// Reads a whole file into `bytes`.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error);

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { discard(); }

    // Creates the temporary file for `target`.  Fails, touching nothing, when
    // the target is anything but a regular file (a link is followed) or an
    // existing file that may not be written.
    bool create(const std::string& target, std::string& error);
    bool isOpen() const { return fd_ >= 0; }

    // Buffered writes at the end of the file.  After a failure every further
    // write fails too, and commit() reports the first error.
    bool write(std::span<const std::uint8_t> bytes);
    bool write(std::string_view text);
    // Overwrites bytes already written, at `offset`.
    bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t position() const { return position_; }

    // Flushes the temporary file to stable storage, gives it the permissions
    // a new file (or the replaced file) would have, and renames it over the
    // target.
    bool commit(std::string& error);
    // Abandons the output: closes and removes the temporary file.
    void discard();

    const std::string& target() const { return target_; }
    // The first write error, empty while all is well.
    const std::string& error() const { return error_; }

private:
    bool flush();
    bool writeThrough(const std::uint8_t* data, std::size_t size);
    bool fail(int error);

    int fd_ = -1;
    std::string target_;
    std::string temp_;
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;
    std::uint64_t position_ = 0;  // bytes written so far (the end of the file)
    std::string error_;           // first write error
    int replacedMode_ = -1;       // permissions of the file being replaced
    int tempSlot_ = -1;           // where the temporary file is tracked for interrupts
};

// True when `path` names an existing file (or directory).
bool pathExists(const std::string& path);

}  // namespace pactools
