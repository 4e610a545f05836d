#include "lzss_parallel_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "large_buffer.h"
#include "lzss_match_tree.h"
#include "lzss_tree_partition.h"

namespace pactools {

namespace {

using namespace lzss_tree;

// What the tree walk found for one position, as the two bytes of a
// reference hold it: the ring position in the low 12 bits, the length less
// 3 in the high 4.  A match too short to use is recorded as the position's
// own ring slot, which no match can name (a string is never compared with
// itself).  Two bytes a position keep the coder's reads small.
using Match = std::uint16_t;

// The work of an insertion (and of the deletion that follows it), counted
// in nodes compared on the way down.
constexpr std::uint64_t kInsertWork = 3;

// One thread's share: a ring and trees of its own, replaying every step of
// the one-thread encoder but inserting only positions whose first byte it
// owns.
struct alignas(64) Finder {  // (on a cache line of its own: threads write to finders side by side)
    std::unique_ptr<LzssMatchTree> tree = std::make_unique<LzssMatchTree>();
    std::array<bool, 256> owned{};
    enum class Phase { Start, Fill, Slide } phase = Phase::Start;
    int len = 0;
    int r = 0;
    int s = 0;
    std::uint64_t next = 0;  // the input position inserted next
    // The matches of this batch's positions that this finder owns, indexed
    // from the batch's first position (a finder writes only its own array,
    // so no two threads ever write to the same cache line).
    LargeBuffer<Match> matches;
    // The nodes its insertions compared with in this stream: its share of
    // the work.
    std::uint64_t compared = 0;

    // Ready for another stream, keeping its memory.
    void restart() {
        owned.fill(false);
        phase = Phase::Start;
    }

    // Inserts ring slot r if this finder owns its first byte.
    void insert(std::uint64_t first) {
        LzssMatchTree& e = *tree;
        const std::uint8_t c = e.textBuf[r];
        if (owned[c]) {
            compared += static_cast<std::uint64_t>(insertNode(e, r));
            matches[static_cast<std::size_t>(next - first)] = static_cast<Match>(
                e.matchLength > kThreshold ? e.matchPosition | (e.matchLength - (kThreshold + 1)) << 12 : r);
        }
        ++next;
    }

    // The steps that `input` (and, with `final`, the end) brings, the
    // matches of its `count` positions from `first` on.
    void replay(std::span<const std::uint8_t> input, bool final, std::uint64_t first, std::size_t count) {
        matches.ensure(count);
        LzssMatchTree& e = *tree;
        const std::uint8_t* data = input.data();
        std::size_t n = input.size();
        if (phase == Phase::Start) {
            s = 0;
            r = lzss::kFirstPosition;
            initTree(e);
            std::fill(std::begin(e.textBuf), std::end(e.textBuf), 0);
            len = 0;
            next = 0;
            compared = 0;
            phase = Phase::Fill;
        }
        if (phase == Phase::Fill) {
            while (len < kMaxMatch && n > 0) {
                e.textBuf[r + len++] = *data++;
                --n;
            }
            if (len < kMaxMatch && !final) return;
            if (len == 0) {
                phase = Phase::Start;
                return;
            }
            // The strings just before the look-ahead (zeros) seed the trees.
            if (owned[0]) {
                for (int k = 1; k <= kMaxMatch; ++k) insertNode(e, r - k);
            }
            insert(first);
            phase = Phase::Slide;
        }
        while (n > 0) {
            const std::uint8_t c = *data++;
            --n;
            deleteNode(e, s);
            e.textBuf[s] = c;
            if (s < kMaxMatch - 1) e.textBuf[s + kRingSize] = c;
            s = (s + 1) & kRingMask;
            r = (r + 1) & kRingMask;
            insert(first);
        }
        if (!final) return;
        // At the end the look-ahead shrinks.
        while (len > 0) {
            deleteNode(e, s);
            s = (s + 1) & kRingMask;
            r = (r + 1) & kRingMask;
            if (--len != 0) insert(first);
        }
        phase = Phase::Start;
    }
};

}  // namespace

struct ParallelLzssEncoder::State {
    std::vector<Finder> finders;
    bool partitioned = false;
    // Which bytes follow which, over the first kSample bytes of the input.
    static constexpr std::size_t kSample = 256 * 1024;
    BytePairs pairs;

    // The batch the finders work on, and who is done with it.
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t batch = 0;     // counts batches handed out
    std::size_t nextFinder = 0;  // the next finder of the batch to take
    std::size_t busy = 0;        // finders of the batch not finished yet
    bool stopping = false;
    std::span<const std::uint8_t> input;
    bool final = false;
    std::uint64_t first = 0;  // the batch's first position
    std::size_t count = 0;    // positions in the batch
    std::array<std::uint16_t, 256> ownerOf{};  // the finder of each first byte
    std::vector<std::thread> workers;

    // The coder: the one-thread encoder's decisions, from the matches.  An
    // item may start in the last bytes of the chunk before, which are kept.
    std::array<std::uint8_t, kMaxMatch> carry{};
    std::size_t carried = 0;
    std::uint64_t item = 0;   // the input position of the next item
    std::uint64_t total = 0;  // input bytes seen
    std::uint64_t outCount = 0;
    std::uint8_t codeBuf[17] = {};
    int codeBufPtr = 1;
    std::uint8_t mask = 1;

    // Takes finders of the batch until none is left (a finder's state is its
    // own, so any thread may run it).
    void runFinders(std::unique_lock<std::mutex>& lock) {
        while (nextFinder < finders.size()) {
            Finder& finder = finders[nextFinder++];
            lock.unlock();
            finder.replay(input, final, first, count);
            lock.lock();
            if (--busy == 0) changed.notify_all();
        }
    }

    // Stops the threads and waits for them.
    void stop() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers) worker.join();
        workers.clear();
    }

    void work() {
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || batch != seen; });
            if (stopping) return;
            seen = batch;
            runFinders(lock);
        }
    }

    // Shares the trees out by the work each is estimated to take over the
    // first chunk: an insertion walks about as deep as the log of the nodes
    // its tree holds (the positions of its byte in the window), except
    // within a run, where the equal string at the root ends it at once.
    void partition(std::span<const std::uint8_t> sample) {
        partitioned = true;
        if (finders.size() == 1) {
            ownerOf.fill(0);
            finders[0].owned.fill(true);
            return;
        }
        std::array<std::uint64_t, 256> work{};
        std::array<std::uint32_t, 256> inWindow{};
        for (std::size_t p = 0; p < sample.size(); ++p) {
            const std::uint8_t b = sample[p];
            const bool run = p >= 1 && p + 4 <= sample.size() && std::equal(&sample[p], &sample[p] + 3, &sample[p - 1]);
            work[b] += run ? 1 : kInsertWork + static_cast<std::uint64_t>(std::bit_width(inWindow[b]));
            ++inWindow[b];
            if (p >= static_cast<std::size_t>(kRingSize)) --inWindow[sample[p - kRingSize]];
        }
        std::fill(pairs.counts.begin(), pairs.counts.end(), 0);
        countBytePairs(sample.first(std::min(sample.size(), kSample)), pairs);
        ownerOf = partitionTrees(work, pairs, static_cast<unsigned>(finders.size()));
        for (int b = 0; b < 256; ++b) finders[ownerOf[b]].owned[static_cast<std::size_t>(b)] = true;
    }

    void flushGroup(std::vector<std::uint8_t>& output) {
        output.insert(output.end(), codeBuf, codeBuf + codeBufPtr);
        outCount += static_cast<std::uint64_t>(codeBufPtr);
        codeBuf[0] = 0;
        codeBufPtr = 1;
        mask = 1;
    }

    // Codes every item that starts in this batch.  (An item of the last
    // batch may reach into this one; none reaches past it: positions lag
    // the input by 17 bytes and an item is at most 18 long.)
    void code(std::vector<std::uint8_t>& output) {
        const std::uint64_t to = first + count;
        const std::uint64_t inputStart = total - input.size();
        const auto byteAt = [&](std::uint64_t p) {
            return p >= inputStart ? input[static_cast<std::size_t>(p - inputStart)]
                                   : carry[static_cast<std::size_t>(p - (inputStart - carried))];
        };
        while (item < to) {
            const std::uint8_t byte = byteAt(item);
            const Match m = finders[ownerOf[byte]].matches[static_cast<std::size_t>(item - first)];
            const int position = m & kRingMask;
            const bool none = position == static_cast<int>((lzss::kFirstPosition + item) & kRingMask);
            const int lookAhead = static_cast<int>(std::min<std::uint64_t>(kMaxMatch, total - item));
            int length = none ? 0 : std::min((m >> 12) + kThreshold + 1, lookAhead);
            if (length <= kThreshold) {
                length = 1;
                codeBuf[0] |= mask;
                codeBuf[codeBufPtr++] = byte;
            } else {
                codeBuf[codeBufPtr++] = static_cast<std::uint8_t>(position);
                codeBuf[codeBufPtr++] =
                    static_cast<std::uint8_t>(((position >> 4) & 0xF0) | (length - (kThreshold + 1)));
            }
            mask = static_cast<std::uint8_t>(mask << 1);
            if (mask == 0) flushGroup(output);
            item += static_cast<std::uint64_t>(length);
        }
        // Keep the bytes from the next item on (fewer than kMaxMatch: the
        // batch ends 17 bytes before the input does).
        std::array<std::uint8_t, kMaxMatch> kept{};
        const std::uint64_t keepFrom = std::min(item, total);
        const auto keeping = static_cast<std::size_t>(total - keepFrom);
        for (std::size_t k = 0; k < keeping; ++k) kept[k] = byteAt(keepFrom + k);
        carry = kept;
        carried = keeping;
    }
};

ParallelLzssEncoder::ParallelLzssEncoder(unsigned threads) : state_(std::make_unique<State>()) {
    // One finder a thread, and no more threads than finders can have work:
    // a finder owns one tree at least.
    state_->finders.resize(std::clamp(threads, 1u, 256u));
    // A thread that cannot start fails the encoder's construction, as
    // running out of memory does, once the threads already started have
    // stopped.
    for (std::size_t i = 1; i < state_->finders.size(); ++i) {
        try {
            state_->workers.emplace_back([this] { state_->work(); });
        } catch (...) {
            state_->stop();
            throw;
        }
    }
}

ParallelLzssEncoder::~ParallelLzssEncoder() {
    state_->stop();
}

std::uint64_t ParallelLzssEncoder::outCount() const {
    return state_->outCount;
}

std::vector<std::uint64_t> ParallelLzssEncoder::work() const {
    std::vector<std::uint64_t> shares;
    for (const Finder& finder : state_->finders) shares.push_back(finder.compared);
    return shares;
}

void ParallelLzssEncoder::encode(std::span<const std::uint8_t> input, bool final, std::vector<std::uint8_t>& output) {
    State& st = *state_;
    if (!st.partitioned) {
        if (input.empty() && !final) return;
        st.outCount = 0;
        st.partition(input);
    }
    // Positions whose insertion this batch brings: from the first not yet
    // inserted up to 17 behind the input's end (or to the end of the input).
    const std::uint64_t from = st.finders[0].phase == Finder::Phase::Start ? 0 : st.finders[0].next;
    st.total += input.size();
    const std::uint64_t to = final ? st.total : (st.total >= kMaxMatch ? st.total - (kMaxMatch - 1) : 0);
    st.first = from;
    st.count = static_cast<std::size_t>(std::max(to, from) - from);
    {
        std::lock_guard lock(st.mutex);
        st.input = input;
        st.final = final;
        st.busy = st.finders.size();
        st.nextFinder = 0;
        ++st.batch;
    }
    st.changed.notify_all();
    {
        std::unique_lock lock(st.mutex);
        st.runFinders(lock);
        st.changed.wait(lock, [&] { return st.busy == 0; });
    }
    st.code(output);
    if (!final) return;
    // End of stream: the last incomplete group, then as many zeros.
    if (st.codeBufPtr > 1) {
        const int groupSize = st.codeBufPtr;
        st.flushGroup(output);
        output.insert(output.end(), static_cast<std::size_t>(groupSize), 0);
        st.outCount += static_cast<std::uint64_t>(groupSize);
    }
    // Ready for another stream (outCount keeps this one's size until then).
    for (Finder& f : st.finders) f.restart();
    st.partitioned = false;
    st.carried = 0;
    st.item = st.total = 0;
    st.codeBufPtr = 1;
    st.mask = 1;
    st.codeBuf[0] = 0;
}

}  // namespace pactools
