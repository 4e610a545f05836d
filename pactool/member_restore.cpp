#include "member_restore.h"

#include <algorithm>

namespace pactools {

RestoreResult restoreMember(const PacEntry& entry, const StoredReader& read, const RestoredWriter& write,
                            RestoreBuffers& buffers) {
    RestoreResult result;
    *buffers.decoder = LzssDecoder{};
    std::uint64_t unread = entry.storedSize;  // stored bytes not yet read
    std::uint64_t missing = entry.unpackedSize;
    std::span<const std::uint8_t> pending;  // read but not yet decoded
    while (missing > 0) {
        if (pending.empty() && unread > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(unread, buffers.input.size()));
            const std::int64_t got = read(std::span(buffers.input).first(want), result.error);
            if (got < 0) {
                result.status = RestoreStatus::ReadFailed;
                return result;
            }
            if (got == 0) break;  // the archive ended early
            unread -= static_cast<std::uint64_t>(got);
            pending = std::span<const std::uint8_t>(buffers.input).first(static_cast<std::size_t>(got));
        }
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(missing, buffers.output.size()));
        const LzssDecodeResult step = lzssDecode(*buffers.decoder, pending, std::span(buffers.output).first(room));
        pending = pending.subspan(step.consumed);
        missing -= step.produced;
        if (step.produced > 0) {
            if (!write(std::span(buffers.output).first(step.produced))) {
                result.status = RestoreStatus::WriteFailed;
                return result;
            }
            result.produced += step.produced;
        }
        if (step.produced == 0 && step.consumed == 0 && pending.empty() && unread == 0) break;  // the stream ended
    }
    if (missing > 0) result.status = RestoreStatus::Short;
    return result;
}

}  // namespace pactools
