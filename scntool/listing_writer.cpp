#include "listing_writer.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "text.h"

namespace pactools {

namespace {

// The first label at each address: later labels at the same address are
// never printed or used.
std::unordered_map<std::uint32_t, const Label*> firstLabels(const LabelList& labels) {
    std::unordered_map<std::uint32_t, const Label*> byAddress;
    byAddress.reserve(labels.count);
    for (const Label* label : labels) byAddress.emplace(label->address, label);
    return byAddress;
}

void writeFlagBlock(const Statement& flags, std::string& text) {
    text += "Flags(" + hexText(flags.offset) + ", " + hexText(flags.argument) + ")\n";
    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < flags.data.size(); ++i) {
        text += digits[flags.data[i] >> 4];
        text += digits[flags.data[i] & 15];
        if ((i + 1) % 40 == 0) text += '\n';
    }
    if (flags.data.size() % 40 != 0) text += '\n';
}

}  // namespace

bool writeText(const StatementList& statements, const LabelList& labels, std::string& text) {
    const auto byAddress = firstLabels(labels);
    const auto labelAt = [&byAddress](std::uint64_t address) -> const Label* {
        if (address > UINT32_MAX) return nullptr;
        const auto found = byAddress.find(static_cast<std::uint32_t>(address));
        return found == byAddress.end() ? nullptr : found->second;
    };
    for (const Statement* statement : statements) {
        if (statement->opcode == kFlagBlock) {
            writeFlagBlock(*statement, text);
            continue;
        }
        if (const Label* label = labelAt(statement->offset)) text += label->name + ":\n";
        switch (statement->opcode) {
        case kJmp:
        case kCJmp: {
            const Label* target = labelAt(statement->argument);
            if (target == nullptr) {
                char line[32];
                std::snprintf(line, sizeof line, "Error: No label at %08X.\n", static_cast<unsigned>(statement->offset));
                text += line;
                return false;
            }
            text += statement->opcode == kJmp ? "Jmp\t" : "CJmp\t";
            text += target->name + "\n";
            break;
        }
        case kPushB: {
            // The string ends at its NUL, which the reader made sure is there.
            const auto end = std::find(statement->data.begin(), statement->data.end(), 0);
            text += "PushB\t<";
            text.append(statement->data.begin(), end);
            text += ">\n";
            break;
        }
        case kPushC:
        case kPushD:
        case kPushE:
            text += statement->opcode == kPushC ? "PushC\t" : statement->opcode == kPushD ? "PushD\t" : "PushE\t";
            text += hexText(statement->argument) + "\n";
            break;
        default:
            text += "Call\t" + hexText(statement->opcode) + "(" + hexText(statement->argument) + ")\n";
            break;
        }
    }
    // A label may address the end of the stream.
    if (!statements.empty()) {
        const Statement& last = statements.back();
        const std::uint64_t end = last.opcode == kFlagBlock ? 0 : last.offset + statementSize(last);
        if (const Label* label = labelAt(end)) text += label->name + ":\n";
    }
    return true;
}

}  // namespace pactools
