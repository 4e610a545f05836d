#include "scenario_layout.h"

#include <algorithm>

#include "scenario_faults.h"

namespace pactools {

std::vector<std::uint64_t> streamOffsets(const StatementList& statements) {
    std::vector<std::uint64_t> offsets;
    offsets.reserve(statements.count + 1);
    std::uint64_t offset = 0;
    for (const Statement* statement : statements) {
        if (statement->opcode == kFlagBlock) continue;
        offsets.push_back(offset);
        offset += statementSize(*statement);
    }
    offsets.push_back(offset);
    return offsets;
}

Error relayout(StatementList& statements, LabelList& labels, const std::vector<std::uint64_t>& before) {
    // Every stream statement takes at least 6 bytes, so the old offsets rise
    // strictly and a binary search finds each.
    const std::vector<std::uint64_t> after = streamOffsets(statements);
    if (after.back() > UINT32_MAX) return Error{ScenarioFault::StatementsTooLarge};
    const auto moved = [&](std::uint32_t address, std::uint32_t& to) {
        const auto it = std::lower_bound(before.begin(), before.end(), address);
        if (it == before.end() || *it != address) return false;
        to = static_cast<std::uint32_t>(after[static_cast<std::size_t>(it - before.begin())]);
        return true;
    };
    // Everything is checked before anything changes.
    std::vector<std::uint32_t> targets;
    for (const Statement* statement : statements) {
        if (statement->opcode != kJmp && statement->opcode != kCJmp) continue;
        targets.push_back(0);
        if (!moved(statement->argument, targets.back())) {
            Error error{ScenarioFault::JumpIntoStatement};
            error.at = statement->argument;
            return error;
        }
    }
    std::vector<std::uint32_t> addresses(labels.count);
    for (std::uint32_t i = 0; i < labels.count; ++i) {
        if (!moved(labels[i].address, addresses[i])) {
            Error error{ScenarioFault::JumpIntoStatement};
            error.at = labels[i].address;
            return error;
        }
    }
    std::size_t jump = 0;
    std::size_t index = 0;
    for (Statement* statement : statements) {
        if (statement->opcode == kFlagBlock) continue;
        statement->offset = static_cast<std::uint32_t>(after[index++]);
        if (statement->opcode == kJmp || statement->opcode == kCJmp) statement->argument = targets[jump++];
    }
    for (std::uint32_t i = 0; i < labels.count; ++i) labels[i].address = addresses[i];
    return {};
}

}  // namespace pactools
