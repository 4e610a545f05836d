// The codec against itself and the plain transcription: encoding in one
// call, in pieces of any sizes, or with the parallel encoder's coder on one
// thread (one of the three an input) must give exactly the plain codec's
// stream, and decode(encode(x)) must give x.  The input also goes to the
// decoder as a stream of its own, whole and in pieces.  (The parallel
// encoder on several threads is fuzz_threads's work: this target starts no
// thread.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "lzss_decoder.h"
#include "lzss_encoder.h"
#include "lzss_oracle.h"
#include "lzss_parallel_encoder.h"

using namespace pactools;

namespace {

// Piece sizes from a small generator seeded by the input's first bytes.
struct Pieces {
    std::uint32_t state;
    std::size_t next(std::size_t largest) {
        state = state * 1103515245u + 12345u;
        return 1 + (state >> 8) % largest;
    }
};

std::vector<std::uint8_t> encodeInPieces(std::span<const std::uint8_t> input, Pieces pieces, std::size_t largest) {
    // One encoder for every input (each stream starts it afresh), so that
    // an input costs its encoding and not a fresh record's memory.
    static const auto encoder = std::make_unique<LzssEncoder>();
    std::vector<std::uint8_t> out;
    for (std::size_t done = 0; done < input.size();) {
        const std::size_t n = std::min(pieces.next(largest), input.size() - done);
        lzssEncode(*encoder, input.subspan(done, n), done + n == input.size(), out);
        done += n;
    }
    return out;
}

std::vector<std::uint8_t> decodeInPieces(std::span<const std::uint8_t> stream, std::size_t want, Pieces pieces,
                                         std::size_t largest) {
    static const auto decoder = std::make_unique<LzssDecoder>();
    *decoder = LzssDecoder{};
    std::vector<std::uint8_t> out(want);
    std::size_t produced = 0;
    std::size_t consumed = 0;
    while (produced < want) {
        const std::size_t feed = std::min(pieces.next(largest), stream.size() - consumed);
        const std::size_t ask = std::min(pieces.next(largest), want - produced);
        const LzssDecodeResult r = lzssDecode(*decoder, stream.subspan(consumed, feed), std::span(out).subspan(produced, ask));
        consumed += r.consumed;
        produced += r.produced;
        if (r.consumed == 0 && r.produced == 0 && consumed == stream.size()) break;
    }
    out.resize(produced);
    return out;
}

std::vector<std::uint8_t> plainEncode(std::span<const std::uint8_t> input) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    // The plain encoder expects a zero-filled record: one is kept and
    // cleared, rather than fresh memory taken for every input.
    static const auto encoder = std::make_unique<oracle::Encoder>();
    *encoder = oracle::Encoder{};
    oracle::encode(out, encoder.get(), static_cast<int>(input.size()), input.data(), 1);
    std::fclose(out);
    std::vector<std::uint8_t> stream(buffer, buffer + length);
    std::free(buffer);
    return stream;
}

std::vector<std::uint8_t> plainDecode(std::span<const std::uint8_t> stream, std::size_t want) {
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(stream.data()), stream.size(), "rb");
    std::vector<std::uint8_t> out(want);
    static const auto decoder = std::make_unique<oracle::Decoder>();
    *decoder = oracle::Decoder{};
    const int got = stream.empty() ? 0 : oracle::decode(in, decoder.get(), static_cast<int>(want), out.data());
    if (in != nullptr) std::fclose(in);
    out.resize(static_cast<std::size_t>(got));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const Pieces pieces{static_cast<std::uint32_t>(data[0] | data[1] << 8)};
    const std::size_t largest = 1 + data[0] % 64;
    const std::span<const std::uint8_t> input(data + 2, size - 2);

    // One of the encoder's paths, chosen by the input, against the plain
    // codec: one call, pieces of random sizes, or the parallel encoder's
    // coder on this thread alone (in pieces of 1 byte up).  One path an
    // input keeps the target fast; the choice byte steers the fuzzer to all.
    const std::vector<std::uint8_t> plain = input.empty() ? std::vector<std::uint8_t>{} : plainEncode(input);
    std::vector<std::uint8_t> stream;
    switch (data[1] % 3) {
    case 0: stream = encodeInPieces(input, pieces, SIZE_MAX / 2); break;
    case 1: stream = encodeInPieces(input, pieces, largest); break;
    default: {
        static ParallelLzssEncoder encoder(1);
        Pieces splits = pieces;
        std::size_t done = 0;
        do {
            const std::size_t n = std::min(input.size() - done, splits.next(largest * 37));
            encoder.encode(input.subspan(done, n), done + n == input.size(), stream);
            done += n;
        } while (done < input.size());
        if (encoder.outCount() != stream.size()) std::abort();
    }
    }
    if (stream != plain) std::abort();
    const std::vector<std::uint8_t> back = decodeInPieces(stream, input.size(), pieces, largest);
    if (back.size() != input.size() || !std::equal(back.begin(), back.end(), input.begin())) std::abort();

    // Arbitrary bytes as a stream: pieces must not change what comes out, and
    // it must be what the plain decoder makes of it.
    const std::size_t want = 4 * input.size() + 64;
    const std::vector<std::uint8_t> decoded = decodeInPieces(input, want, pieces, SIZE_MAX / 2);
    if (decodeInPieces(input, want, pieces, largest) != decoded) std::abort();
    if (plainDecode(input, want) != decoded) std::abort();
    return 0;
}
