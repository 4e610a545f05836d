// The code that runs on several threads, against the same work on one:
// the parallel encoder on 2, 3, 4 and 8 threads, fed in pieces, must give
// the one-thread encoder's stream; an archive built by the compression
// pipeline on several threads, and built again keeping the unchanged
// members' streams, must be the one built on one thread.  The encoders and
// their threads are kept from one input to the next.
//
// The input's first byte chooses the thread count, the piece size and the
// member count; the rest is the data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "archive_writer.h"
#include "lzss_encoder.h"
#include "lzss_parallel_encoder.h"
#include "pac_archive.h"

using namespace pactools;

namespace {

// Builds the archive of `count` members cut from `bytes` on `threads`
// threads, keeping streams of `previous` when given.
std::vector<std::uint8_t> buildArchive(std::span<const std::uint8_t> bytes, std::size_t count, unsigned threads,
                                       const std::vector<std::uint8_t>* previousBytes) {
    MemoryMemberSource source;
    PtrVector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string name = "m" + std::to_string(i);
        source.members[name].assign(bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * i / count),
                                    bytes.begin() + static_cast<std::ptrdiff_t>(bytes.size() * (i + 1) / count));
        ptrVectorPush(names, std::make_unique<std::string>(name));
    }
    PreviousArchive previous;
    if (previousBytes != nullptr &&
        !loadPreviousArchive(std::make_unique<MemoryBytes>(*previousBytes), "fuzz.pac", previous)) {
        std::abort();
    }
    MemorySink sink;
    const PtrVector<PacEntry> members = membersNamed(names);
    if (writeArchive({members, PacHeader{0, 0, 7}, source, previousBytes != nullptr ? &previous : nullptr, "fuzz.pac"},
                     {threads, {}, nullptr, nullptr}, sink)) {
        std::abort();
    }
    return std::move(sink.bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t choice = data[0];
    const std::span<const std::uint8_t> input(data + 1, size - 1);

    static LzssEncoder single;
    std::vector<std::uint8_t> whole;
    lzssEncode(single, input, true, whole);

    static ParallelLzssEncoder two(2), three(3), four(4), eight(8);
    ParallelLzssEncoder* const encoders[] = {&two, &three, &four, &eight};
    ParallelLzssEncoder& encoder = *encoders[choice % 4];
    const std::size_t piece = std::size_t{1} << (choice / 4 % 16);  // 1 byte to 32 KiB
    std::vector<std::uint8_t> split;
    std::size_t done = 0;
    do {
        const std::size_t n = std::min(piece, input.size() - done);
        encoder.encode(input.subspan(done, n), done + n == input.size(), split);
        done += n;
    } while (done < input.size());
    if (split != whole || encoder.outCount() != whole.size()) std::abort();

    // The pipeline starts its workers for each archive: only inputs whose
    // first byte asks for it build archives, so that most inputs go to the
    // kept encoders.
    if (choice < 0xC0) return 0;
    const std::size_t count = 1 + choice % 5;
    const std::vector<std::uint8_t> one = buildArchive(input, count, 1, nullptr);
    if (buildArchive(input, count, 3, nullptr) != one) std::abort();
    std::vector<std::uint8_t> edited(input.begin(), input.end());
    if (!edited.empty()) edited[edited.size() / 2] ^= 0x55;
    if (buildArchive(edited, count, 2, &one) != buildArchive(edited, count, 1, nullptr)) std::abort();
    return 0;
}
