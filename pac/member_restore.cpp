#include "member_restore.h"

#include <algorithm>

#include "common_faults.h"
#include "pac_faults.h"

namespace pactools {

Error restoreMember(const PacEntry& entry, const StoredReader& read, const RestoredWriter& write,
                    RestoreBuffers& buffers, std::uint64_t* produced) {
    std::uint64_t given = 0;
    if (produced != nullptr) *produced = 0;
    lzssRestartDecoder(*buffers.decoder);
    std::uint64_t unread = entry.storedSize;  // stored bytes not yet read
    std::uint64_t missing = entry.unpackedSize;
    std::span<const std::uint8_t> pending;  // read but not yet decoded
    while (missing > 0) {
        if (pending.empty() && unread > 0) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(unread, buffers.input.size()));
            std::size_t got = 0;
            if (Error error = read(std::span(buffers.input).first(want), got)) return error;
            if (got == 0) break;  // the archive ended early
            unread -= got;
            pending = std::span<const std::uint8_t>(buffers.input).first(got);
        }
        const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(missing, buffers.output.size()));
        const LzssDecodeResult step = lzssDecode(*buffers.decoder, pending, std::span(buffers.output).first(room));
        pending = pending.subspan(step.consumed);
        missing -= step.produced;
        if (step.produced > 0) {
            if (!write(std::span(buffers.output).first(step.produced))) return Error{CommonFault::WriteFailed};
            given += step.produced;
            if (produced != nullptr) *produced = given;
        }
        if (step.produced == 0 && step.consumed == 0 && pending.empty() && unread == 0) break;  // the stream ended
    }
    if (missing > 0) {
        Error damaged{PacFault::MemberDamaged};
        damaged.name = entry.text;
        damaged.at = given;
        damaged.of = entry.unpackedSize;
        return damaged;
    }
    return {};
}

RestoreBuffers& threadRestoreBuffers() {
    thread_local RestoreBuffers buffers;
    return buffers;
}

}  // namespace pactools
