// Reads a text listing back into the scenario model.  It accepts more than
// the listing writer produces: keywords in any letter case, operands with or
// without blanks, lines of any length, LF, CR LF or CR line ends, and
// anything after a label's colon.
#pragma once

#include <string>
#include <string_view>

#include "error.h"
#include "scenario.h"

namespace pactools {

// Parses a listing into two empty lists, resolving every jump's label to
// its address.  Stops at the first error, which carries the 1-based line
// number; what was appended before stays in the lists.
Error parseText(std::string_view text, StatementList& statements, LabelList& labels);

}  // namespace pactools
