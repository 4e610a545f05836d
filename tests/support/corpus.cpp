#include "corpus.h"

#include <random>

namespace testing_support {

namespace {

std::string text(std::size_t size, std::mt19937& rng) {
    static const char* const words[] = {"the",   "dragon", "sword", "castle", "you",    "found", "a",
                                        "key",   "door",   "opens", "north",  "Hello!", "world", "\n",
                                        "quest", "gold",   "of",    "and",    "to",     "save",  "game"};
    std::string out;
    while (out.size() < size) {
        out += words[rng() % (sizeof words / sizeof *words)];
        out += (rng() % 9 == 0) ? ", " : " ";
    }
    out.resize(size);
    return out;
}

std::string machineCode(std::size_t size, std::mt19937& rng) {
    // Instruction-like records: a few common opcodes, small operands and
    // recurring sequences, as compiled code has.
    static const unsigned char opcodes[] = {0x8B, 0x89, 0xE8, 0x83, 0xC3, 0x55, 0x5D, 0x48, 0x0F, 0xFF};
    std::string out;
    std::vector<std::string> idioms;
    while (out.size() < size) {
        if (!idioms.empty() && rng() % 3 == 0) {
            out += idioms[rng() % idioms.size()];
            continue;
        }
        std::string insn;
        insn += static_cast<char>(opcodes[rng() % sizeof opcodes]);
        const int operands = static_cast<int>(rng() % 4);
        for (int i = 0; i < operands; ++i) insn += static_cast<char>(rng() % 3 == 0 ? rng() : rng() % 16);
        if (rng() % 5 == 0 && idioms.size() < 64) idioms.push_back(insn + insn);
        out += insn;
    }
    out.resize(size);
    return out;
}

}  // namespace

std::string corpusBytes(CorpusKind kind, std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string out;
    out.reserve(size);
    switch (kind) {
    case CorpusKind::Random:
        while (out.size() < size) out += static_cast<char>(rng());
        break;
    case CorpusKind::Zeros:
        out.assign(size, '\0');
        break;
    case CorpusKind::Text:
        out = text(size, rng);
        break;
    case CorpusKind::Runs:
        while (out.size() < size) out.append(1 + rng() % 40, static_cast<char>(rng() % 4 == 0 ? 0 : rng()));
        break;
    case CorpusKind::MachineCode:
        out = machineCode(size, rng);
        break;
    case CorpusKind::HighBytes:
        // Bytes above 0x7F, with repeats: signed comparisons would go wrong here.
        while (out.size() < size) {
            const char b = static_cast<char>(0x80 | (rng() % 6 == 0 ? rng() : rng() % 8));
            out.append(1 + rng() % 3, b);
        }
        break;
    case CorpusKind::Periodic: {
        const std::size_t period = 1 + rng() % 5000;
        std::string unit;
        while (unit.size() < period) unit += static_cast<char>(rng());
        while (out.size() < size) out += unit;
        break;
    }
    case CorpusKind::Mixed:
        while (out.size() < size) {
            const auto part = static_cast<CorpusKind>(rng() % 7);
            out += corpusBytes(part, 1 + rng() % 20000, static_cast<unsigned>(rng()));
        }
        break;
    }
    out.resize(size);
    return out;
}

const std::vector<CorpusKind>& allCorpusKinds() {
    static const std::vector<CorpusKind> kinds = {CorpusKind::Random,      CorpusKind::Zeros,     CorpusKind::Text,
                                                  CorpusKind::Runs,        CorpusKind::MachineCode,
                                                  CorpusKind::HighBytes,   CorpusKind::Periodic,  CorpusKind::Mixed};
    return kinds;
}

const char* corpusKindName(CorpusKind kind) {
    switch (kind) {
    case CorpusKind::Random: return "random";
    case CorpusKind::Zeros: return "zeros";
    case CorpusKind::Text: return "text";
    case CorpusKind::Runs: return "runs";
    case CorpusKind::MachineCode: return "machine-code";
    case CorpusKind::HighBytes: return "high-bytes";
    case CorpusKind::Periodic: return "periodic";
    case CorpusKind::Mixed: return "mixed";
    }
    return "?";
}

}  // namespace testing_support
