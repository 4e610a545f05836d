// Reads a text listing back into the scenario model.  It accepts more than
// the listing writer produces: keywords in any letter case, operands with or
// without blanks, lines of any length, LF, CR LF or CR line ends, and
// anything after a label's colon.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "scenario.h"

namespace pactools {

// Parses a listing into two empty lists, resolving every jump's label to
// its address.  Stops at the first error, which carries the 1-based line
// number; what was appended before stays in the lists.
// `statementLines`, when given, gets each statement's 1-based line.
Error parseText(std::string_view text, StatementList& statements, LabelList& labels,
                std::vector<std::size_t>* statementLines = nullptr);

}  // namespace pactools
