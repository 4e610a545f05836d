#include "member_source.h"

#include <algorithm>
#include <cerrno>

#include "common_faults.h"
#include "pac_format.h"

namespace pactools {

Error FileMemberSource::open(std::string_view name, std::unique_ptr<MemberFile>& file) {
    auto input = std::make_unique<InputFile>();
    if (Error error = input->open(memberFilePath(name))) return error.ofMember(name);
    file = std::make_unique<SourceMemberFile>(std::move(input), std::string(name));
    return {};
}

Error MemoryMemberSource::open(std::string_view name, std::unique_ptr<MemberFile>& file) {
    const auto found = members.find(name);
    if (found == members.end()) return memberError(CommonFault::CannotOpen, name, ENOENT);
    file = std::make_unique<SourceMemberFile>(std::make_unique<MemoryBytes>(found->second), std::string(name));
    return {};
}

Error SourceMemberFile::size(std::uint64_t& bytes) {
    Error error = source_->size(bytes);
    return error ? error.ofMember(name_) : error;
}

Error SourceMemberFile::read(std::span<std::uint8_t> buffer, std::size_t& got) {
    Error error = source_->readAt(position_, buffer, got);
    position_ += got;
    return error ? error.ofMember(name_) : error;
}

}  // namespace pactools
