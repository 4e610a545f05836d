#include "member_check.h"

#include <algorithm>
#include <vector>

#include "ordered_work.h"

namespace pactools {

Error checkMembersRestore(ByteSource& reader, const std::string& pacPath, const PacArchive& archive,
                          unsigned threads, const std::function<void(std::uint64_t)>& decoded) {
    // Members go to the workers in groups of at least 1 MiB (or 256
    // members), so that thousands of small ones cost no hand-over each.
    std::vector<std::uint32_t> starts;
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; i < archive.entries.count; ++i) {
        if (starts.empty() || bytes >= (std::uint64_t{1} << 20) || i - starts.back() >= 256) {
            starts.push_back(i);
            bytes = 0;
        }
        bytes += archive.entries[i].unpackedSize;
    }
    starts.push_back(archive.entries.count);
    Error first;
    const std::function<Error(std::size_t)> work = [&](std::size_t group) {
        RestoreBuffers& buffers = threadRestoreBuffers();
        for (std::uint32_t i = starts[group]; i < starts[group + 1]; ++i) {
            Error error = restoreArchiveMember(reader, pacPath, archive.entries[i],
                                               [&](std::span<const std::uint8_t> part) {
                                                   if (decoded) decoded(part.size());
                                                   return true;
                                               },
                                               buffers);
            if (error) return error;
        }
        return Error();
    };
    const std::function<bool(std::size_t, Error&)> take = [&](std::size_t, Error& error) {
        first = std::move(error);
        return !first;
    };
    OrderedWorkLimits limits;
    limits.items = 4 * static_cast<std::size_t>(threads);
    runInOrder<Error>(starts.size() - 1, threads, limits, work, take);
    return first;
}

std::uint64_t extractSpaceNeeded(std::span<const std::uint64_t> sizes, std::span<const std::uint64_t> replaced,
                                 std::uint64_t batchBytes) {
    const auto blocks = [](std::uint64_t bytes) { return (bytes / 4096 + (bytes % 4096 != 0)) * 4096; };
    std::uint64_t growth = 0;
    std::uint64_t total = 0;
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::uint64_t size = blocks(sizes[i]);
        const std::uint64_t old = i < replaced.size() ? blocks(replaced[i]) : 0;
        growth += size > old ? size - old : 0;
        total += size;
        largest = std::max(largest, size);
    }
    return growth + std::min(total, 2 * (std::max(blocks(batchBytes), largest)));
}

}  // namespace pactools
