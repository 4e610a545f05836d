#include "oracle_io.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "lzss_oracle.h"

namespace oracle {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File temporaryFile() {
    File f(std::tmpfile());
    if (!f) throw std::runtime_error("tmpfile failed");
    return f;
}

}  // namespace

std::string encodeBytes(const std::string& input, const std::vector<std::size_t>& chunks) {
    File out = temporaryFile();
    auto encoder = std::make_unique<Encoder>();  // all zero
    const auto* data = reinterpret_cast<const unsigned char*>(input.data());
    std::size_t done = 0;
    for (std::size_t chunk : chunks) {
        if (chunk == 0 || done + chunk >= input.size()) break;
        encode(out.get(), encoder.get(), static_cast<int>(chunk), data + done, 0);
        done += chunk;
    }
    if (done < input.size()) encode(out.get(), encoder.get(), static_cast<int>(input.size() - done), data + done, 1);
    std::string stream(static_cast<std::size_t>(std::ftell(out.get())), '\0');
    std::rewind(out.get());
    if (std::fread(stream.data(), 1, stream.size(), out.get()) != stream.size()) throw std::runtime_error("read back");
    if (!input.empty() && static_cast<std::size_t>(encoder->outCount) != stream.size()) throw std::runtime_error("outCount");
    return stream;
}

std::string decodeBytes(const std::string& stream, std::size_t want, const std::vector<std::size_t>& requests) {
    File in = temporaryFile();
    std::fwrite(stream.data(), 1, stream.size(), in.get());
    std::rewind(in.get());
    auto decoder = std::make_unique<Decoder>();
    std::string result(want, '\0');
    std::size_t done = 0;
    std::size_t next = 0;
    while (done < want) {
        std::size_t ask = want - done;
        if (next < requests.size() && requests[next] > 0 && requests[next] < ask) ask = requests[next];
        ++next;
        const int got = decode(in.get(), decoder.get(), static_cast<int>(ask),
                               reinterpret_cast<unsigned char*>(result.data() + done));
        done += static_cast<std::size_t>(got);
        if (static_cast<std::size_t>(got) < ask) break;
    }
    result.resize(done);
    return result;
}

}  // namespace oracle
