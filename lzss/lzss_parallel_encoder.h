// The LZSS encoder on several threads, with output identical to lzssEncode
// for every input and every thread count.
//
// Why this works: whatever the coding decisions, the encoder inserts every
// input position into the tree of its first byte once, in order, and
// deletes each position leaving the window from its tree; the match found
// for a position depends only on the operations on that one tree.  So each
// thread owns a set of first-byte values, keeps a ring and trees of its
// own, replays the whole input in order doing only its own trees' inserts
// and deletes, and records the matches of its positions.  The coding
// decisions are then made from the recorded matches exactly as the
// one-thread encoder makes them.  Input comes in chunks (a 1 MiB chunk is a
// block): memory stays a few bytes per position of one chunk.  The trees
// are shared out once a stream, by the work the first chunk is estimated
// to take (see lzss_tree_partition.h): which thread owns a tree changes the
// time, never the stream.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace pactools {

class ParallelLzssEncoder {
public:
    // Works on `threads` threads, counting the calling thread: 1 (also for
    // 0) to 256, one for each share of the trees.  A thread that cannot
    // start throws std::system_error, as running out of memory throws
    // std::bad_alloc, once the threads already started have stopped.
    explicit ParallelLzssEncoder(unsigned threads);
    ~ParallelLzssEncoder();
    ParallelLzssEncoder(const ParallelLzssEncoder&) = delete;
    ParallelLzssEncoder& operator=(const ParallelLzssEncoder&) = delete;

    // As lzssEncode: feeds a chunk, appends what can be produced, and with
    // `final` ends the stream (the encoder is then ready for another).
    void encode(std::span<const std::uint8_t> input, bool final, std::vector<std::uint8_t>& output);
    // Bytes produced since the stream began: its stored size.
    std::uint64_t outCount() const;
    // Each thread's share of the work of the stream so far (or of the last
    // one): the tree nodes its insertions compared with.
    std::vector<std::uint64_t> work() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace pactools
