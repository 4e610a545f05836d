#include "scenario_generator.h"

#include <random>
#include <vector>

namespace testing_support {

namespace {

void put16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string generateScenario(const ScenarioShape& shape, unsigned seed) {
    std::mt19937 rng(seed);
    static const char text[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,!?:<>'\"()[]{}#$%&*+-/=@\\^_`|~\t;";
    // First pass: choose the statements and their offsets.
    struct Item {
        unsigned opcode;
        std::uint32_t operand;
        std::string string;
    };
    std::vector<Item> items(shape.statements);
    const auto randomText = [&] {
        std::string string;
        const std::size_t length = rng() % (shape.longestString + 1);
        for (std::size_t i = 0; i < length; ++i) {
            if (shape.controlBytes && rng() % 16 == 0) {
                const char control = static_cast<char>(1 + rng() % 31);
                string += control == '\n' || control == '\r' ? '\x04' : control;
            } else {
                string += text[rng() % (sizeof text - 1)];
            }
        }
        return string;
    };
    std::vector<std::string> pool;
    for (std::size_t i = 0; i < shape.stringPool; ++i) pool.push_back(randomText());
    std::vector<std::uint32_t> offsets;
    std::uint32_t offset = 0;
    for (auto& item : items) {
        offsets.push_back(offset);
        switch (rng() % 8) {
        case 0:
        case 1: item.opcode = 5 + rng() % 2; break;  // Jmp, CJmp: target chosen below
        case 2: {
            item.opcode = 11;
            item.string = !pool.empty() && rng() % 2 == 0 ? pool[rng() % pool.size()] : randomText();
            item.operand = static_cast<std::uint32_t>(item.string.size() + 1);
            break;
        }
        case 3: item.opcode = 12 + rng() % 3; item.operand = rng(); break;
        default: {
            static const unsigned calls[] = {0, 1, 2, 3, 4, 7, 8, 9, 10, 15, 0x1F, 0x100, 0xFFFE};
            item.opcode = rng() % 4 == 0 ? 15 + rng() % 0xFFEF : calls[rng() % (sizeof calls / sizeof *calls)];
            item.operand = rng() % 3 == 0 ? rng() : rng() % 64;
        }
        }
        offset += 6 + (item.opcode == 11 ? item.operand : 0);
    }
    offsets.push_back(offset);  // the end of the stream is a valid target
    std::vector<std::uint32_t> targets;
    const std::size_t targetCount = std::max<std::size_t>(1, shape.statements / std::max<std::size_t>(1, shape.labelEvery));
    for (std::size_t i = 0; i < targetCount; ++i) targets.push_back(offsets[rng() % offsets.size()]);
    for (auto& item : items) {
        if (item.opcode == 5 || item.opcode == 6) item.operand = targets[rng() % targets.size()];
    }

    std::string file;
    put32(file, 0);
    put32(file, rng());
    put32(file, static_cast<std::uint32_t>(shape.flagWords));
    put32(file, offset);
    for (std::size_t i = 0; i < 4 * shape.flagWords; ++i) file += static_cast<char>(rng() & 0xFF);
    for (const auto& item : items) {
        put16(file, item.opcode);
        put32(file, item.operand);
        if (item.opcode == 11) {
            file += item.string;
            file += '\0';
        }
    }
    return file;
}

}  // namespace testing_support
