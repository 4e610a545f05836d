#include "member_source.h"

#include <algorithm>
#include <cerrno>

#include "common_faults.h"
#include "pac_format.h"

namespace pactools {

namespace {

class FileMember : public MemberFile {
public:
    explicit FileMember(std::string name) : name_(std::move(name)) {}
    Error open() { return named(file_.open(memberFilePath(name_))); }
    Error size(std::uint64_t& bytes) override { return named(file_.size(bytes)); }
    Error read(std::span<std::uint8_t> buffer, std::size_t& got) override { return named(file_.read(buffer, got)); }

private:
    // Messages name the member as the list file does.
    Error named(Error error) const {
        return error ? error.ofMember(name_) : error;
    }
    std::string name_;
    InputFile file_;
};

}  // namespace

Error FileMemberSource::open(std::string_view name, std::unique_ptr<MemberFile>& file) {
    auto member = std::make_unique<FileMember>(std::string(name));
    if (Error error = member->open()) return error;
    file = std::move(member);
    return {};
}

Error MemoryMemberSource::open(std::string_view name, std::unique_ptr<MemberFile>& file) {
    const auto found = members.find(name);
    if (found == members.end()) return memberError(CommonFault::CannotOpen, name, ENOENT);
    file = std::make_unique<MemoryMemberFile>(found->second);
    return {};
}

Error MemoryMemberFile::size(std::uint64_t& bytes) {
    bytes = bytes_.size();
    return {};
}

Error MemoryMemberFile::read(std::span<std::uint8_t> buffer, std::size_t& got) {
    got = std::min(buffer.size(), bytes_.size() - position_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), got, buffer.begin());
    position_ += got;
    return {};
}

}  // namespace pactools
