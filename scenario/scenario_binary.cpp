#include "scenario_binary.h"

#include <algorithm>
#include <cstdio>

#include "byte_order.h"
#include "common_faults.h"
#include "scenario_faults.h"

namespace pactools {

namespace {

// A set of 32-bit addresses in one flat table (open addressing, 4 bytes a
// slot), which stays in cache where a node-based set would miss it on every
// lookup.
class AddressSet {
public:
    // True when `address` was not in the set yet.
    bool insert(std::uint32_t address) {
        if (address == kEmpty) {  // the one value a slot cannot hold
            const bool fresh = !hasEmptyValue_;
            hasEmptyValue_ = true;
            return fresh;
        }
        if (2 * (used_ + 1) > slots_.size()) grow();
        std::size_t i = slotOf(address);
        for (; slots_[i] != kEmpty; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i] == address) return false;
        }
        slots_[i] = address;
        ++used_;
        return true;
    }

private:
    static constexpr std::uint32_t kEmpty = UINT32_MAX;
    std::size_t slotOf(std::uint32_t address) const {
        return static_cast<std::size_t>((address * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
    }
    void grow() {
        std::vector<std::uint32_t> old(std::max<std::size_t>(64, slots_.size() * 2), kEmpty);
        old.swap(slots_);
        for (std::uint32_t address : old) {
            if (address == kEmpty) continue;
            std::size_t i = slotOf(address);
            while (slots_[i] != kEmpty) i = (i + 1) & (slots_.size() - 1);
            slots_[i] = address;
        }
    }
    std::vector<std::uint32_t> slots_;
    std::size_t used_ = 0;
    bool hasEmptyValue_ = false;
};

Error problem(std::string_view fileName, std::uint64_t offset, Fault fault) {
    Error error = fileError(fault, std::string(fileName));
    error.at = offset;
    return error;
}

}  // namespace

Error readBinary(std::span<const std::uint8_t> file, std::string_view fileName, StatementList& statements,
                 LabelList& labels) {
    const std::uint64_t size = file.size();
    if (size < kScenarioHeaderSize) {
        return problem(fileName, 0, ScenarioFault::ScenarioTooShort);
    }
    const std::uint32_t flagsValue = getLe32(&file[4]);
    const std::uint64_t flagBytes = 4 * static_cast<std::uint64_t>(getLe32(&file[8]));
    const std::uint32_t codeSize = getLe32(&file[12]);
    if (flagBytes > size - kScenarioHeaderSize) {
        return problem(fileName, kScenarioHeaderSize, ScenarioFault::FlagDataPastEnd);
    }
    auto flags = std::make_unique<Statement>();
    flags->offset = flagsValue;
    flags->opcode = kFlagBlock;
    flags->argument = static_cast<std::uint32_t>(flagBytes);
    flags->data.assign(file.begin() + kScenarioHeaderSize, file.begin() + kScenarioHeaderSize + static_cast<std::ptrdiff_t>(flagBytes));
    if (!ptrVectorPush(statements, std::move(flags))) {
        return fileError(CommonFault::OutOfMemory, std::string(fileName));
    }

    AddressSet targets;
    std::uint64_t position = kScenarioHeaderSize + flagBytes;  // in the file
    std::uint64_t offset = 0;                                  // in the statement stream
    while (offset < codeSize) {
        if (size - position < 6) {
            return problem(fileName, position, ScenarioFault::StatementPastEnd);
        }
        auto statement = std::make_unique<Statement>();
        statement->offset = static_cast<std::uint32_t>(offset);
        statement->opcode = getLe16(&file[position]);
        statement->argument = getLe32(&file[position + 2]);
        if (statement->opcode == kFlagBlock) {
            return problem(fileName, position, ScenarioFault::FlagOpcodeInStream);
        }
        if (statement->opcode == kPushB) {
            const std::uint64_t length = statement->argument;
            if (length > size - position - 6) {
                return problem(fileName, position, ScenarioFault::PushBPastEnd);
            }
            const auto begin = file.begin() + static_cast<std::ptrdiff_t>(position + 6);
            if (std::find(begin, begin + static_cast<std::ptrdiff_t>(length), 0) == begin + static_cast<std::ptrdiff_t>(length)) {
                return problem(fileName, position, ScenarioFault::PushBWithoutNul);
            }
            statement->data.assign(begin, begin + static_cast<std::ptrdiff_t>(length));
        }
        if ((statement->opcode == kJmp || statement->opcode == kCJmp) && targets.insert(statement->argument)) {
            auto label = std::make_unique<Label>();
            label->address = statement->argument;
            label->name = labelName(statement->argument);
            ptrVectorPush(labels, std::move(label));
        }
        const std::uint64_t length = statementSize(*statement);
        position += length;
        offset += length;
        if (!ptrVectorPush(statements, std::move(statement))) {
            return fileError(CommonFault::OutOfMemory, std::string(fileName));
        }
    }
    return {};
}

Error writeBinary(const StatementList& statements, std::vector<std::uint8_t>& file) {
    if (statements.empty()) {
        return Error{ScenarioFault::ScenarioEmpty};
    }
    std::uint32_t flagsValue = 0;
    std::uint32_t flagWords = 0;
    std::uint64_t codeSize = 0;
    for (std::uint32_t i = 0; i < statements.count; ++i) {
        const Statement& statement = statements[i];
        if (statement.opcode == kFlagBlock) {
            if (i != 0) {
                return Error{ScenarioFault::FlagBlockNotFirst};
            }
            if (statement.argument % 4 != 0 || statement.data.size() != statement.argument) {
                return Error{ScenarioFault::FlagBlockLength};
            }
            flagsValue = statement.offset;
            flagWords = statement.argument / 4;
        } else if (statement.opcode == kPushB && statement.data.size() != statement.argument) {
            return Error{ScenarioFault::PushBLength};
        }
        codeSize += statementSize(statement);
    }
    if (codeSize > UINT32_MAX) {
        return Error{ScenarioFault::StatementsTooLarge};
    }
    file.clear();
    file.reserve(kScenarioHeaderSize + 4 * static_cast<std::size_t>(flagWords) + static_cast<std::size_t>(codeSize));
    appendLe32(file, 0);
    appendLe32(file, flagsValue);
    appendLe32(file, flagWords);
    appendLe32(file, static_cast<std::uint32_t>(codeSize));
    for (const Statement* statement : statements) {
        if (statement->opcode != kFlagBlock) {
            appendLe16(file, statement->opcode);
            appendLe32(file, statement->argument);
        }
        if (statement->opcode == kFlagBlock || statement->opcode == kPushB) {
            file.insert(file.end(), statement->data.begin(), statement->data.end());
        }
    }
    return {};
}

}  // namespace pactools
