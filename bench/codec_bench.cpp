// Codec throughput, side by side in one run: the product LZSS encoder and
// decoder against the plain transcription kept in the test tree (which
// writes and reads a stdio stream a byte at a time).  The corpus is
// generated: machine-code-like binary, text, already-compressed data, long
// runs and random bytes.  Output is verified byte-identical before timing.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "corpus.h"
#include "lzss_decoder.h"
#include "lzss_encoder.h"
#include "lzss_oracle.h"
#include "oracle_io.h"

namespace {

using testing_support::CorpusKind;

template <class Work>
double bestTime(Work work) {
    return bench::bestTime(work, 3, 2.0);
}

std::string productEncode(const std::string& input) {
    auto encoder = std::make_unique<pactools::LzssEncoder>();
    std::vector<std::uint8_t> out;
    out.reserve(input.size() + input.size() / 8 + 64);
    const auto* data = reinterpret_cast<const std::uint8_t*>(input.data());
    for (std::size_t done = 0; done < input.size();) {  // 1 MiB chunks, as the archive command feeds it
        const std::size_t n = std::min<std::size_t>(1 << 20, input.size() - done);
        pactools::lzssEncode(*encoder, {data + done, n}, done + n == input.size(), out);
        done += n;
    }
    return std::string(out.begin(), out.end());
}

std::string productDecode(const std::string& stream, std::size_t size) {
    auto decoder = std::make_unique<pactools::LzssDecoder>();
    std::string out(size, '\0');
    const auto* in = reinterpret_cast<const std::uint8_t*>(stream.data());
    std::size_t consumed = 0;
    for (std::size_t produced = 0; produced < size;) {  // 1 MiB requests, as extract asks
        const std::size_t want = std::min<std::size_t>(1 << 20, size - produced);
        const auto r = pactools::lzssDecode(*decoder, {in + consumed, stream.size() - consumed},
                                            {reinterpret_cast<std::uint8_t*>(out.data()) + produced, want});
        consumed += r.consumed;
        produced += r.produced;
        if (r.produced == 0) break;
    }
    return out;
}

// The plain encoder writing to a stdio stream, as it was designed to.
void plainEncodeToStream(const std::string& input, std::FILE* out) {
    auto encoder = std::make_unique<oracle::Encoder>();
    const auto* data = reinterpret_cast<const unsigned char*>(input.data());
    for (std::size_t done = 0; done < input.size();) {
        const std::size_t n = std::min<std::size_t>(1 << 20, input.size() - done);
        oracle::encode(out, encoder.get(), static_cast<int>(n), data + done, done + n == input.size());
        done += n;
    }
}

// The plain decoder reading a stdio stream byte by byte.
void plainDecodeFromStream(std::FILE* in, std::size_t size, std::string& out) {
    auto decoder = std::make_unique<oracle::Decoder>();
    for (std::size_t produced = 0; produced < size;) {
        const int want = static_cast<int>(std::min<std::size_t>(1 << 20, size - produced));
        const int got = oracle::decode(in, decoder.get(), want, reinterpret_cast<unsigned char*>(out.data()) + produced);
        produced += static_cast<std::size_t>(got);
        if (got < want) break;
    }
}

std::string mixedCorpus(std::size_t eachKind) {
    std::string corpus;
    corpus += testing_support::corpusBytes(CorpusKind::MachineCode, eachKind, 1);
    corpus += testing_support::corpusBytes(CorpusKind::Text, eachKind, 2);
    // Already-compressed data: an LZSS stream of other text.
    std::string packed = productEncode(testing_support::corpusBytes(CorpusKind::Text, 3 * eachKind, 3));
    packed.resize(eachKind);
    corpus += packed;
    corpus += testing_support::corpusBytes(CorpusKind::Runs, eachKind, 4);
    corpus += testing_support::corpusBytes(CorpusKind::Random, eachKind, 5);
    return corpus;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t eachKind = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2) << 20;
    const std::string corpus = mixedCorpus(eachKind);
    const double mb = static_cast<double>(corpus.size()) / 1e6;
    std::printf("corpus: %.1f MB (machine code, text, compressed, runs, random: %zu MiB each)\n", mb, eachKind >> 20);

    const std::string stream = productEncode(corpus);
    if (stream != oracle::encodeBytes(corpus, std::vector<std::size_t>(corpus.size() >> 20, 1 << 20))) {
        std::fprintf(stderr, "the encoders disagree\n");
        return 1;
    }
    if (productDecode(stream, corpus.size()) != corpus) {
        std::fprintf(stderr, "the decoder does not restore the corpus\n");
        return 1;
    }
    std::printf("verified: both encoders give the same %zu bytes, and they decode back\n", stream.size());

    std::FILE* sink = std::tmpfile();
    const double plainEncode = bestTime([&] {
        std::rewind(sink);
        plainEncodeToStream(corpus, sink);
        std::fflush(sink);
    });
    const double encode = bestTime([&] { productEncode(corpus); });
    std::FILE* source = std::tmpfile();
    std::fwrite(stream.data(), 1, stream.size(), source);
    std::string decoded(corpus.size(), '\0');
    const double plainDecode = bestTime([&] {
        std::rewind(source);
        plainDecodeFromStream(source, corpus.size(), decoded);
    });
    const double decode = bestTime([&] { productDecode(stream, corpus.size()); });
    std::fclose(sink);
    std::fclose(source);

    std::printf("%-34s %10s %10s\n", "", "MB/s", "ratio");
    std::printf("%-34s %10.1f %10s\n", "encoder, plain transcription", mb / plainEncode, "1.00");
    std::printf("%-34s %10.1f %10.2f\n", "encoder, product", mb / encode, plainEncode / encode);
    std::printf("%-34s %10.1f %10s\n", "decoder, plain (stdio byte by byte)", mb / plainDecode, "1.00");
    std::printf("%-34s %10.1f %10.2f\n", "decoder, product", mb / decode, plainDecode / decode);
    return 0;
}
