#include "listing_parser.h"

#include <functional>
#include <vector>

#include "scenario_faults.h"
#include "text.h"

namespace pactools {

namespace {

// An error at the line of 0-based index `index`.
Error atLine(Fault fault, std::size_t index) {
    return lineError(fault, index + 1);
}

// The first label of each name, in one flat open-addressing table whose
// slots hold a hash and a label number, with the names and addresses copied
// into compact arrays: lookups never touch the label records, so they stay
// in cache even with hundreds of thousands of labels.
class LabelTable {
public:
    explicit LabelTable(const LabelList& labels) {
        std::size_t size = 64;
        while (size < 2 * static_cast<std::size_t>(labels.count)) size *= 2;
        slots_.assign(size, Slot{});
        starts_.reserve(labels.count + 1);
        addresses_.reserve(labels.count);
        for (const Label* label : labels) {
            starts_.push_back(pool_.size());
            pool_ += label->name;
            addresses_.push_back(label->address);
        }
        starts_.push_back(pool_.size());
        for (std::uint32_t i = 0; i < labels.count; ++i) {
            const std::string_view name = nameOf(i);
            const std::uint32_t hash = hashOf(name);
            std::size_t at = hash & (size - 1);
            while (slots_[at].number != 0 && !(slots_[at].hash == hash && nameOf(slots_[at].number - 1) == name)) {
                at = (at + 1) & (size - 1);
            }
            if (slots_[at].number == 0) slots_[at] = Slot{hash, i + 1};  // a later label of the same name is passed over
        }
    }

    // The address of the first label called `name`.
    bool find(std::string_view name, std::uint32_t& address) const {
        const std::uint32_t hash = hashOf(name);
        for (std::size_t at = hash & (slots_.size() - 1); slots_[at].number != 0; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at].hash == hash && nameOf(slots_[at].number - 1) == name) {
                address = addresses_[slots_[at].number - 1];
                return true;
            }
        }
        return false;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t number = 0;  // label index + 1; 0 for an empty slot
    };
    static std::uint32_t hashOf(std::string_view name) {
        const std::uint64_t h = std::hash<std::string_view>{}(name);
        return static_cast<std::uint32_t>(h ^ (h >> 32));
    }
    std::string_view nameOf(std::size_t i) const {
        return std::string_view(pool_).substr(starts_[i], starts_[i + 1] - starts_[i]);
    }

    std::vector<Slot> slots_;
    std::vector<std::size_t> starts_;
    std::vector<std::uint32_t> addresses_;
    std::string pool_;
};

struct Parser {
    // The file's lines, as views into its text (which outlives the parse):
    // no copy and no allocation per line, so millions of lines stay cheap.
    std::vector<std::string_view> lines;
    StatementList& statements;
    LabelList& labels;
    Error& error;
    std::vector<std::size_t>* lineOf;  // each statement's 1-based line, when wanted
    std::uint64_t offset = 0;  // statement-stream offset of the next statement
    std::size_t flagsLine = 0;  // 0-based index of the Flags line

    bool append(std::unique_ptr<Statement> statement, std::size_t index) {
        if (lineOf != nullptr) {
            // The flag block's own line is its Flags line, before its data.
            lineOf->push_back(statement->opcode == kFlagBlock ? flagsLine + 1 : index + 1);
        }
        if (statement->opcode != kFlagBlock) statement->offset = static_cast<std::uint32_t>(offset);
        offset += statementSize(*statement);
        if (offset > UINT32_MAX) {
            error = atLine(ScenarioFault::StatementsReach4GiB, index);
            return false;
        }
        if (!ptrVectorPush(statements, std::move(statement))) {
            error = atLine(ScenarioFault::ListingOutOfMemory, index);
            return false;
        }
        return true;
    }

    bool syntaxError(std::size_t index) {
        error = atLine(ScenarioFault::SyntaxError, index);
        return false;
    }

    // "Flags(value, length)" and the data lines after it; `index` moves to
    // the last line it used.
    bool flags(std::size_t& index) {
        if (!statements.empty()) {
            error = atLine(ScenarioFault::FlagsNotFirst, index);
            return false;
        }
        flagsLine = index;
        TextScanner scanner(lines[index], 6);
        std::uint32_t value = 0;
        std::uint32_t length = 0;
        // The comma must follow the first number directly.
        if (!scanner.hex(value) || scanner.tooLarge || !scanner.literal(',') || !scanner.hex(length) ||
            scanner.tooLarge) {
            return syntaxError(index);
        }
        if (length % 4 != 0) {
            error = atLine(ScenarioFault::FlagsLengthNotMultiple, index);
            return false;
        }
        auto block = std::make_unique<Statement>();
        block->offset = value;
        block->opcode = kFlagBlock;
        block->argument = length;
        // Bytes are taken as they are found, never allocated ahead from the
        // length: data that is not there is reported instead.  Each data line
        // holds pairs of hexadecimal digits and nothing else (trailing blanks
        // aside); what follows the last byte needed on its line is ignored.
        while (block->data.size() < length) {
            ++index;
            if (index >= lines.size()) {
                error = atLine(ScenarioFault::NotEnoughFlagData, index);
                return false;
            }
            std::string_view data = lines[index];
            while (!data.empty() && isSpace(data.back())) data.remove_suffix(1);
            if (data.size() % 2 != 0) return syntaxError(index);
            for (std::size_t cursor = 0; cursor < data.size(); cursor += 2) {
                const int high = hexDigitValue(data[cursor]);
                const int low = hexDigitValue(data[cursor + 1]);
                if (high < 0 || low < 0) return syntaxError(index);
                if (block->data.size() < length) block->data.push_back(static_cast<std::uint8_t>(high << 4 | low));
            }
        }
        return append(std::move(block), index);
    }

    bool pushB(std::string_view line, std::size_t index) {
        // The string runs from the first '<' to the last '>' on the line.
        const std::size_t open = line.find('<');
        const std::size_t close = line.rfind('>');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
            return syntaxError(index);
        }
        auto statement = std::make_unique<Statement>();
        statement->opcode = kPushB;
        statement->data.assign(line.begin() + static_cast<std::ptrdiff_t>(open) + 1,
                               line.begin() + static_cast<std::ptrdiff_t>(close));
        statement->data.push_back(0);
        statement->argument = static_cast<std::uint32_t>(statement->data.size());
        return append(std::move(statement), index);
    }

    bool push(std::string_view line, std::uint16_t opcode, std::size_t index) {
        TextScanner scanner(line, 5);
        auto statement = std::make_unique<Statement>();
        statement->opcode = opcode;
        if (!scanner.hex(statement->argument) || scanner.tooLarge) return syntaxError(index);
        return append(std::move(statement), index);
    }

    bool jump(std::string_view line, std::size_t keyword, std::uint16_t opcode, std::size_t index) {
        if (line.size() <= keyword) {
            error = atLine(ScenarioFault::JumpWithoutLabel, index);
            return false;
        }
        auto statement = std::make_unique<Statement>();
        statement->opcode = opcode;
        statement->argument = static_cast<std::uint32_t>(index);  // the line, until labels are resolved
        return append(std::move(statement), index);
    }

    bool call(std::string_view line, std::size_t index) {
        // The character after the keyword is skipped, whatever it is.
        if (line.size() <= 4) return syntaxError(index);
        TextScanner scanner(line, 5);
        std::uint32_t number = 0;
        auto statement = std::make_unique<Statement>();
        // The number is the 16-bit opcode: a larger one is refused, not cut.
        if (!scanner.hex(number) || number > 0xFFFF || scanner.tooLarge) return syntaxError(index);
        scanner.skipSpace();
        if (!scanner.literal('(') || !scanner.hex(statement->argument) || scanner.tooLarge) return syntaxError(index);
        statement->opcode = static_cast<std::uint16_t>(number);
        if (isReservedOpcode(statement->opcode)) {
            // Such a number would be read back as a jump, a push or the flag block.
            error = atLine(ScenarioFault::CallIsNotACall, index);
            error.of = statement->opcode;
            return false;
        }
        return append(std::move(statement), index);
    }

    bool statementLines() {
        for (std::size_t index = 0; index < lines.size(); ++index) {
            const std::string_view line = lines[index];
            const std::size_t colon = line.find(':');
            const bool isPushB = startsWithIgnoreCase(line, "PushB");
            if (colon != std::string_view::npos && !(isPushB && line.substr(0, colon).find('<') != std::string_view::npos)) {
                // A label definition; anything after the colon is ignored.
                std::size_t start = 0;
                while (start < colon && isSpace(line[start])) ++start;
                auto label = std::make_unique<Label>();
                label->address = static_cast<std::uint32_t>(offset);
                label->name = std::string(line.substr(start, colon - start));
                if (!ptrVectorPush(labels, std::move(label))) {
                    error = atLine(ScenarioFault::ListingOutOfMemory, index);
                    return false;
                }
                continue;
            }
            bool ok = false;
            if (startsWithIgnoreCase(line, "Flags(")) ok = flags(index);
            else if (isPushB) ok = pushB(line, index);
            else if (startsWithIgnoreCase(line, "PushC")) ok = push(line, kPushC, index);
            else if (startsWithIgnoreCase(line, "PushD")) ok = push(line, kPushD, index);
            else if (startsWithIgnoreCase(line, "PushE")) ok = push(line, kPushE, index);
            else if (startsWithIgnoreCase(line, "Jmp")) ok = jump(line, 3, kJmp, index);
            else if (startsWithIgnoreCase(line, "CJmp")) ok = jump(line, 4, kCJmp, index);
            else if (startsWithIgnoreCase(line, "Call")) ok = call(line, index);
            else ok = syntaxError(index);
            if (!ok) return false;
        }
        return true;
    }

    // Replaces every jump's line number by its label's address.
    bool resolveLabels() {
        const LabelTable byName(labels);
        for (Statement* statement : statements) {
            if (statement->opcode != kJmp && statement->opcode != kCJmp) continue;
            const std::size_t index = statement->argument;
            std::string_view name = lines[index];
            name.remove_prefix(statement->opcode == kJmp ? 4 : 5);  // the keyword and one more character
            while (!name.empty() && isSpace(name.front())) name.remove_prefix(1);
            std::uint32_t address = 0;
            if (!byName.find(name, address)) {
                error = atLine(ScenarioFault::UndefinedSymbol, index);
                error.name = name;
                return false;
            }
            statement->argument = address;
        }
        return true;
    }
};

}  // namespace

Error parseText(std::string_view text, StatementList& statements, LabelList& labels,
                std::vector<std::size_t>* statementLines) {
    Error error;
    Parser parser{{}, statements, labels, error, statementLines};
    LineReader reader(withoutByteOrderMark(text));
    std::string_view line;
    while (reader.next(line)) parser.lines.push_back(line);
    if (parser.statementLines()) parser.resolveLabels();
    return error;
}

}  // namespace pactools
