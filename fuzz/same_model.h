// Whether two scenario models are the same, field by field: every
// statement's offset, opcode, operand and data, and (when asked) every
// label's address and name.  An empty flag block at the start (the binary
// reader always gives one; a listing may have no flags line) counts as
// none.
#pragma once

#include "scenario.h"

namespace pactools {

// Where the statements proper start: after an empty flag block.
inline std::uint32_t firstStatement(const StatementList& list) {
    const bool emptyFlags = list.count > 0 && list[0].opcode == kFlagBlock && list[0].argument == 0 &&
                            list[0].data.empty() && list[0].offset == 0;
    return emptyFlags ? 1 : 0;
}

inline bool sameStatements(const StatementList& a, const StatementList& b) {
    const std::uint32_t fromA = firstStatement(a);
    const std::uint32_t fromB = firstStatement(b);
    if (a.count - fromA != b.count - fromB) return false;
    for (std::uint32_t i = 0; fromA + i < a.count; ++i) {
        const Statement& x = a[fromA + i];
        const Statement& y = b[fromB + i];
        if (x.offset != y.offset || x.opcode != y.opcode || x.argument != y.argument || x.data != y.data) return false;
    }
    return true;
}

inline bool sameLabels(const LabelList& a, const LabelList& b) {
    if (a.count != b.count) return false;
    for (std::uint32_t i = 0; i < a.count; ++i) {
        if (a[i].address != b[i].address || a[i].name != b[i].name) return false;
    }
    return true;
}

}  // namespace pactools
