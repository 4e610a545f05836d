#include "assembly_check.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "listing_parser.h"
#include "scenario_binary.h"
#include "scenario_faults.h"
#include "scenario_layout.h"

namespace pactools {

namespace {

Error wrong(std::size_t line, std::string how) {
    Error error{ScenarioFault::TranslatedBinaryWrong};
    error.at = line;
    error.detail = std::move(how);
    return error;
}

// The stream statements of a model, in order.
std::vector<const Statement*> streamOf(const StatementList& statements) {
    std::vector<const Statement*> stream;
    for (const Statement* statement : statements) {
        if (statement->opcode != kFlagBlock) stream.push_back(statement);
    }
    return stream;
}

// The number of the statement at `address` among `offsets` (the end of the
// stream being one past the last), or -1 for none.
long long statementAt(const std::vector<std::uint64_t>& offsets, std::uint32_t address) {
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), address);
    return it == offsets.end() || *it != address ? -1 : it - offsets.begin();
}

}  // namespace

Error compareWithListing(std::string_view listing, std::span<const std::uint8_t> binary, const StringRule& rule) {
    StatementList listed;
    LabelList listedLabels;
    StatementList read;
    LabelList readLabels;
    initScenarioLists(listed, listedLabels);
    initScenarioLists(read, readLabels);
    std::vector<std::size_t> lines;
    if (parseText(listing, listed, listedLabels, &lines)) return wrong(0, "the listing does not parse again");
    if (readBinary(binary, {}, read, readLabels)) return wrong(0, "the binary does not read back");

    // The flag block: the listing's, or none (value 0, no data).
    const Statement* flags = !listed.empty() && listed[0].opcode == kFlagBlock ? &listed[0] : nullptr;
    const Statement& readFlags = read[0];
    if (readFlags.offset != (flags != nullptr ? flags->offset : 0) ||
        readFlags.data != (flags != nullptr ? flags->data : std::vector<std::uint8_t>{})) {
        return wrong(lines.empty() ? 0 : lines[0], "the flag block differs");
    }

    const std::vector<const Statement*> expected = streamOf(listed);
    const std::vector<const Statement*> actual = streamOf(read);
    if (expected.size() != actual.size()) {
        return wrong(0, "it holds " + std::to_string(actual.size()) + " statements instead of " +
                            std::to_string(expected.size()));
    }
    const std::vector<std::uint64_t> expectedOffsets = streamOffsets(listed);
    const std::vector<std::uint64_t> actualOffsets = streamOffsets(read);
    const std::uint32_t first = flags != nullptr ? 1 : 0;  // the listed index of the first stream statement
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Statement& want = *expected[i];
        const Statement& got = *actual[i];
        const std::uint32_t index = first + static_cast<std::uint32_t>(i);
        const std::size_t line = index < lines.size() ? lines[index] : 0;
        if (want.opcode != got.opcode) return wrong(line, "another statement stands there");
        if (want.opcode == kJmp || want.opcode == kCJmp) {
            const long long target = statementAt(expectedOffsets, want.argument);
            if (target < 0 || target != statementAt(actualOffsets, got.argument)) {
                return wrong(line, "the jump lands elsewhere than on the statement its label names");
            }
        } else if (want.opcode == kPushB) {
            // Without the NUL that ends each string.
            const std::span<const std::uint8_t> wanted(want.data.data(), want.data.size() - 1);
            const std::span<const std::uint8_t> held(got.data.data(), got.data.empty() ? 0 : got.data.size() - 1);
            if (got.data.empty() || got.data.back() != 0) return wrong(line, "the string does not end in NUL");
            if (const char* why = rule(index, line, wanted, held)) return wrong(line, why);
        } else if (want.argument != got.argument) {
            return wrong(line, "the operand changed");
        }
    }
    return {};
}

Error checkTranslatedBinary(std::string_view listing, std::span<const StringReplacement> replaced,
                            std::span<const std::uint8_t> binary) {
    std::unordered_map<std::uint32_t, const std::string*> translation;
    for (const StringReplacement& replacement : replaced) translation[replacement.statement] = &replacement.bytes;
    return compareWithListing(listing, binary, [&](std::uint32_t statement, std::size_t,
                                                   std::span<const std::uint8_t> listed,
                                                   std::span<const std::uint8_t> got) -> const char* {
        const auto found = translation.find(statement);
        if (found == translation.end()) {
            return std::equal(listed.begin(), listed.end(), got.begin(), got.end()) ? nullptr
                                                                                    : "the untranslated string changed";
        }
        const std::string& bytes = *found->second;
        return std::equal(bytes.begin(), bytes.end(), got.begin(), got.end(),
                          [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; })
                   ? nullptr
                   : "the string is not its translation";
    });
}

}  // namespace pactools
