#include "member_check.h"

#include "ordered_work.h"

namespace pactools {

Error checkMembersRestore(ArchiveReader& reader, const std::string& pacPath, const PacArchive& archive,
                          unsigned threads, const std::function<void(std::uint64_t)>& decoded) {
    Error first;
    const std::function<Error(std::size_t)> work = [&](std::size_t i) {
        thread_local RestoreBuffers buffers;  // each worker keeps its own from one member to the next
        return restoreArchiveMember(reader, pacPath, archive.entries[static_cast<std::uint32_t>(i)],
                                    [&](std::span<const std::uint8_t> bytes) {
                                        if (decoded) decoded(bytes.size());
                                        return true;
                                    },
                                    buffers);
    };
    const std::function<bool(std::size_t, Error&)> take = [&](std::size_t, Error& error) {
        first = std::move(error);
        return !first;
    };
    OrderedWorkLimits limits;
    limits.items = 4 * static_cast<std::size_t>(threads);
    runInOrder<Error>(archive.entries.count, threads, limits, work, take);
    return first;
}

}  // namespace pactools
