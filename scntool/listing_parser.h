// Reads a text listing back into the scenario model.  It accepts more than
// the listing writer produces: keywords in any letter case, operands with or
// without blanks, lines of any length, LF or CR LF line ends, and anything
// after a label's colon.
#pragma once

#include <string>
#include <string_view>

#include "scenario.h"

namespace pactools {

// Parses a listing into two empty lists, resolving every jump's label to
// its address.  On the first error `error` holds the message line, with the
// 1-based line number, and false is returned; what was appended before
// stays in the lists.
bool parseText(std::string_view text, StatementList& statements, LabelList& labels, std::string& error);

}  // namespace pactools
