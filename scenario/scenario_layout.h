// Statement offsets after statements changed size.  A translated string
// changes the length of its PushB, and so the offset of every statement
// after it; jumps and labels address statements by offset, so each must
// move with the statement it addressed.
#pragma once

#include <cstdint>
#include <vector>

#include "error.h"
#include "scenario.h"

namespace pactools {

// The stream offset of every statement of `statements`, in list order (the
// flag block takes none), followed by the end of the stream.
std::vector<std::uint64_t> streamOffsets(const StatementList& statements);

// Gives every statement its offset again from the sizes it has now, and
// moves every jump target and label from the statement it addressed to
// that statement's new offset; the end of the stream stays the end.
// `before` holds the stream offsets (streamOffsets()) the statements had
// when the jumps and labels were resolved.  Fails with JumpIntoStatement
// (`at` the address) when a jump or label addressed no statement start,
// which a parsed listing never does, and with StatementsTooLarge when the
// stream would reach 4 GiB; the model is then unchanged.
Error relayout(StatementList& statements, LabelList& labels, const std::vector<std::uint64_t>& before);

}  // namespace pactools
