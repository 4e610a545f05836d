// The archive command's core, which knows no file: the members come from a
// source, the archive goes to a sink.  Members are compressed on worker
// threads and appended in list order, so the archive and the order of the
// progress calls are those of a one-thread run.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "error.h"
#include "file_io.h"
#include "member_source.h"
#include "ordered_work.h"
#include "pac_format.h"
#include "previous_archive.h"
#include "ptrvector.h"

namespace pactools {

struct ArchiveEvents {
    // Each member's name (as text) as its stream is about to be appended,
    // and whether the previous archive's stream is kept for it.
    std::function<void(std::string_view text, bool reused)> member;
    // Member bytes read grew by this much; called from any thread.
    std::function<void(std::uint64_t bytes)> bytesRead;
};

// What an archive is written from.
struct ArchiveInputs {
    // The members, already checked: each one's name, the bytes the archive
    // holds, and its text, by which the source finds it and messages name it.
    const PtrVector<PacEntry>& members;
    PacHeader header;  // its opaque values
    MemberSource& source;
    const PreviousArchive* previous = nullptr;  // whose streams may be kept
    std::string_view archiveName;               // for ArchiveTooLarge
};

// How it is written.
struct ArchiveRun {
    unsigned threads = 0;  // workers: 0 for one per core, 1 for this thread alone
    ArchiveEvents events;
    const OrderedWorkLimits* limits = nullptr;  // the look-ahead, instead of compressionLimits()
    OrderedWorkStats* stats = nullptr;          // gets what the scheduler did
};

// Writes the archive of `in.members` to an empty `sink`, after opening
// every member once (a member that cannot be opened, or is too large, fails
// before anything is compressed), keeping the previous archive's streams
// for members whose content did not change.  Fails with the member's
// error, with ArchiveTooLarge, or with WriteFailed (no file: the sink knows
// why) when the sink refused bytes.
Error writeArchive(const ArchiveInputs& in, const ArchiveRun& run, ByteSink& sink);

// Members whose names are their texts (names read as bytes, as on POSIX
// without a code page): for tests, benchmarks and fuzzers.
PtrVector<PacEntry> membersNamed(const PtrVector<std::string>& names);

}  // namespace pactools
