// Prints how fast scenario strings convert between code pages and UTF-8:
// about 10 MB of strings of every character a page holds (mixed with ASCII),
// decoded and encoded again string by string (40 to 80 bytes each, as in
// scenarios) and as one block.  The tables' encode direction is built at
// first use, outside the timing.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "code_page.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Strings of about 10 MB together, in UTF-8: the page's characters in turn,
// every third one followed by an ASCII letter.
std::vector<std::string> sampleStrings(const pactools::CodePage& page) {
    std::vector<std::uint32_t> held;
    for (std::uint32_t c = 0x80; c < 0x10000; ++c) {
        if (pactools::holds(page, c)) held.push_back(c);
    }
    std::vector<std::string> strings;
    std::string text;
    std::size_t total = 0;
    std::uint32_t state = 1;
    for (std::size_t i = 0; total < 10'000'000; ++i) {
        std::string bytes;
        std::uint32_t ignored = 0;
        std::string utf8;
        const std::uint32_t c = held[i % held.size()];
        if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
        } else {
            utf8 += static_cast<char>(0xE0 | c >> 12);
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        }
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
        if (i % 3 == 0) utf8 += static_cast<char>('a' + i % 26);
        text += utf8;
        state = state * 1103515245 + 12345;
        if (text.size() >= 40 + (state >> 16) % 40) {
            pactools::fromUtf8(page, text, bytes, ignored);
            total += bytes.size();
            strings.push_back(std::move(text));
            text.clear();
        }
    }
    return strings;
}

}  // namespace

int main() {
    using namespace pactools;
    std::printf("%-8s %12s %12s %12s %12s   (MB/s of code page bytes)\n", "page", "decode", "encode", "decode 1 block",
                "encode 1 block");
    for (const char* name : {"CP932", "CP936", "CP1252", "UTF-8"}) {
        const CodePage page = *findCodePage(name);
        const std::vector<std::string> utf8 = sampleStrings(page);
        std::vector<std::string> bytes(utf8.size());
        std::uint32_t character = 0;
        std::size_t size = 0;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            fromUtf8(page, utf8[i], bytes[i], character);
            size += bytes[i].size();
        }
        std::string block;
        for (const std::string& b : bytes) block += b;
        std::string blockUtf8;
        std::string out;
        double best[4] = {1e9, 1e9, 1e9, 1e9};
        for (int round = 0; round < 5; ++round) {
            auto start = Clock::now();
            for (const std::string& b : bytes) toUtf8(page, b, out);
            best[0] = std::min(best[0], seconds(start));
            start = Clock::now();
            for (const std::string& u : utf8) fromUtf8(page, u, out, character);
            best[1] = std::min(best[1], seconds(start));
            start = Clock::now();
            toUtf8(page, block, blockUtf8);
            best[2] = std::min(best[2], seconds(start));
            start = Clock::now();
            fromUtf8(page, blockUtf8, out, character);
            best[3] = std::min(best[3], seconds(start));
        }
        const double mb = static_cast<double>(size) / 1e6;
        std::printf("%-8s %12.0f %12.0f %12.0f %12.0f   (%.1f MB in %zu strings: %.1f ms to decode them)\n", name,
                    mb / best[0], mb / best[1], mb / best[2], mb / best[3], mb, bytes.size(), best[0] * 1000);
    }
}
