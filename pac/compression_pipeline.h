// Compressing the members of an archive for the archive writer: each
// member's stream is made on a worker thread of the in-order scheduler
// (ordered_work.h) and handed on in blocks, so the writer appends a member's
// stream while later members are compressed, and the archive, and every
// message about it, is the same as with one thread.
//
// A member's blocks wait for the writer once the member holds 4 MiB of them,
// or all members together 16 MiB, so memory stays bounded whatever the number
// and sizes of the members.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "error.h"
#include "member_source.h"
#include "ordered_work.h"
#include "pac_format.h"
#include "previous_archive.h"
#include "ptrvector.h"

namespace pactools {

// One piece of what compressing a member gives, in the order it comes: the
// member opened (its size, and whether its previous stream is kept), the
// stream's blocks, then its end (the stream's size) or a failure.
struct StreamPart {
    enum class Kind { Opened, Block, Finished, Failed };
    Kind kind = Kind::Opened;
    std::uint64_t size = 0;  // Opened: the member's size; Finished: the stream's
    bool reused = false;     // Opened
    std::vector<std::uint8_t> block;
    Error error;             // Failed: why (the source's error, FileShrank, FileGrew...)
};

// What the members are compressed from.
struct CompressionJob {
    const PtrVector<PacEntry>& members;  // their names and texts
    MemberSource& source;
    const PreviousArchive* previous;  // may be null
    unsigned threads;                 // threads to use in all (see workerThreads())
    // Told, from the workers, of the member bytes read.
    std::function<void(std::uint64_t)> bytesRead;
};

// The scheduler's bounds for compressing members on `threads` threads.
OrderedWorkLimits compressionLimits(unsigned threads);

// Compresses member `index` of the job, handing its stream on through
// `feed`; returns early when the feed stops.
void compressMember(const CompressionJob& job, std::size_t index, WorkFeed<StreamPart>& feed);

}  // namespace pactools
