// The text listing of a scenario, as scntool writes it:
//
//   Flags(%X, %X)        the flag block's value and byte length, then its
//   0102...              bytes as "%02X", 40 to a line
//   Label_1A4:           a label, on the line before the statement at its
//                        address (or last, for the end of the stream)
//   Jmp\tLabel_1A4       jumps name their target's label
//   CJmp\tLabel_1A4
//   PushB\t<text>        the string between angle brackets
//   PushC\t%X            PushC, PushD, PushE: the operand
//   Call\t%X(%X)         every other opcode: the call number and operand
//
// Numbers are upper-case hexadecimal without prefix or leading zeros.
#pragma once

#include <string>
#include <vector>

#include "error.h"
#include "scenario.h"

namespace pactools {

// Appends the listing of a model to `text`, lines ended by LF.  Fails only
// when a jump has no label at its target (MissingLabel, at the jump's own
// offset); the listing then stops before that jump, and the converter ends
// it with the error's line.
// `lines`, when given, gets each statement's 1-based line in `text`.
Error writeText(const StatementList& statements, const LabelList& labels, std::string& text,
                std::vector<std::size_t>* lines = nullptr);

}  // namespace pactools
