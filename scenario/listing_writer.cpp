#include "listing_writer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "scenario_faults.h"
#include "text.h"

namespace pactools {

namespace {

// The first label at each address, sorted by address, with the names copied
// into one pool.  Statements come in address order, so the labels to print
// are found by walking this index alongside them; jump targets are found by
// binary search.  Lookups touch only these compact arrays, never the label
// records themselves, so they stay in cache for millions of statements.
class LabelIndex {
public:
    explicit LabelIndex(const LabelList& labels) {
        struct Entry {
            std::uint32_t address;
            std::uint32_t order;
        };
        std::vector<Entry> entries(labels.count);
        std::vector<std::size_t> poolStart(labels.count + 1);
        for (std::uint32_t i = 0; i < labels.count; ++i) {  // list order: the records in memory order
            entries[i] = {labels[i].address, i};
            poolStart[i] = pool_.size();
            pool_ += labels[i].name;
        }
        poolStart[labels.count] = pool_.size();
        // Ties keep list order, so the first label at an address wins.
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.address != b.address ? a.address < b.address : a.order < b.order;
        });
        for (const Entry& entry : entries) {
            if (!addresses_.empty() && addresses_.back() == entry.address) continue;
            addresses_.push_back(entry.address);
            names_.push_back({poolStart[entry.order], poolStart[entry.order + 1] - poolStart[entry.order]});
        }
    }

    // The name of the first label at `address`, if there is one.
    bool find(std::uint64_t address, std::string_view& name) const {
        const auto it = std::lower_bound(addresses_.begin(), addresses_.end(), address);
        if (it == addresses_.end() || *it != address) return false;
        name = nameAt(static_cast<std::size_t>(it - addresses_.begin()));
        return true;
    }

    // The same for addresses asked in rising order, walking instead of searching.
    bool next(std::uint64_t address, std::string_view& name) {
        if (cursor_ > 0 && addresses_[cursor_ - 1] >= address) return find(address, name);  // not rising
        while (cursor_ < addresses_.size() && addresses_[cursor_] < address) ++cursor_;
        if (cursor_ == addresses_.size() || addresses_[cursor_] != address) return false;
        name = nameAt(cursor_++);
        return true;
    }

private:
    struct Span {
        std::size_t start;
        std::size_t size;
    };
    std::string_view nameAt(std::size_t i) const { return std::string_view(pool_).substr(names_[i].start, names_[i].size); }

    std::vector<std::uint32_t> addresses_;
    std::vector<Span> names_;
    std::string pool_;
    std::size_t cursor_ = 0;
};

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

Error writeText(const StatementList& statements, const LabelList& labels, std::string& text,
                std::vector<std::size_t>* lines) {
    LabelIndex index(labels);
    text.reserve(text.size() + 16 * static_cast<std::size_t>(statements.count));  // a typical line's length
    // The 1-based line the text's end stands on, counted as it grows.
    std::size_t line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    std::size_t counted = text.size();
    const auto recordLine = [&] {
        if (lines == nullptr) return;
        line += static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted), text.end(), '\n'));
        counted = text.size();
        lines->push_back(line);
    };
    for (const Statement* statement : statements) {
        if (statement->opcode == kFlagBlock) {
            recordLine();
            writeFlagBlock(*statement, text);
            continue;
        }
        std::string_view name;
        if (index.next(statement->offset, name)) {
            text += name;
            text += ":\n";
        }
        recordLine();
        switch (statement->opcode) {
        case kJmp:
        case kCJmp: {
            if (!index.find(statement->argument, name)) return lineError(ScenarioFault::MissingLabel, statement->offset);
            text += statement->opcode == kJmp ? "Jmp\t" : "CJmp\t";
            text += name;
            text += '\n';
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
        std::string_view name;
        if (index.next(end, name)) {
            text += name;
            text += ":\n";
        }
    }
    return {};
}

}  // namespace pactools
