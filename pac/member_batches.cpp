#include "member_batches.h"

namespace pactools {

void MemberBatches::drop() {
    members_.clear();
    files_.clear();  // what was not put in place is discarded
    bytes_ = 0;
}

bool MemberBatches::settle() {
    std::vector<PendingMember*> files;
    for (const auto& file : files_) files.push_back(file.get());
    Error unflushed;
    const std::size_t flushed = files.empty() ? 0 : actions_.flush(files, unflushed);
    if (flushed < files.size()) {
        if (actions_.turn) actions_.turn(members_[flushed]);
        error_ = unflushed;
        drop();
        return false;
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (actions_.turn) actions_.turn(members_[k]);
        if (Error error = actions_.publish(*files[k])) {
            error_ = error;
            drop();
            return false;
        }
    }
    drop();
    return true;
}

bool MemberBatches::take(std::uint32_t index, std::uint64_t bytes, std::unique_ptr<PendingMember> file) {
    if (failed()) return false;
    if (!files_.empty() && bytes_ + bytes > limits_.bytes && !settle()) return false;
    members_.push_back(index);
    files_.push_back(std::move(file));
    bytes_ += bytes;
    return (files_.size() < limits_.members && bytes_ < limits_.bytes) || settle();
}

bool MemberBatches::fail(std::uint32_t index, const Error& error, bool told) {
    drop();  // nothing of a batch that cannot be finished is put in place
    if (!failed()) {
        if (told && actions_.turn) actions_.turn(index);
        error_ = error;
    }
    return false;
}

bool MemberBatches::finish() {
    return !failed() && settle();
}

}  // namespace pactools
