// Where the archive command's members come from.  The compression pipeline
// only sees this interface: the file system is one implementation, memory
// (for tests and fuzzers) another.
#pragma once

#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "file_io.h"

namespace pactools {

// One member being read, from the start.
class MemberFile {
public:
    virtual ~MemberFile() = default;
    // The size the member says it has, before it is read.
    virtual Error size(std::uint64_t& bytes) = 0;
    // Reads up to buffer.size() bytes; fewer only at the end.
    virtual Error read(std::span<std::uint8_t> buffer, std::size_t& got) = 0;
};

class MemberSource {
public:
    virtual ~MemberSource() = default;
    // Opens the member called `name`; errors name it (CannotOpen, ReadFailed).
    // Called from several threads at once.
    virtual Error open(std::string_view name, std::unique_ptr<MemberFile>& file) = 0;
};

// Members are files named relative to the current directory ('\' separating
// directories on every system); only regular files are read.
class FileMemberSource : public MemberSource {
public:
    Error open(std::string_view name, std::unique_ptr<MemberFile>& file) override;
};

// Members held in memory, by name; an unknown name cannot be opened.
class MemoryMemberSource : public MemberSource {
public:
    Error open(std::string_view name, std::unique_ptr<MemberFile>& file) override;
    std::map<std::string, std::vector<std::uint8_t>, std::less<>> members;  // not changed while archiving
};

// A member read in order from a byte source (its file, or bytes in
// memory); errors name the member as the list file does.
class SourceMemberFile : public MemberFile {
public:
    SourceMemberFile(std::unique_ptr<ByteSource> source, std::string name)
        : source_(std::move(source)), name_(std::move(name)) {}
    Error size(std::uint64_t& bytes) override;
    Error read(std::span<std::uint8_t> buffer, std::size_t& got) override;

private:
    std::unique_ptr<ByteSource> source_;
    std::string name_;
    std::uint64_t position_ = 0;
};

}  // namespace pactools
