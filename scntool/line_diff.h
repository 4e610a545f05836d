// Where two texts differ, line by line: the hunks of a shortest edit from
// one to the other (Myers' algorithm).  Knows nothing of scenarios.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace pactools {

// Lines [from, from + count) of the first text are replaced by lines
// [to, to + added) of the second; lines between hunks are equal.
struct DiffHunk {
    std::size_t from = 0;
    std::size_t count = 0;
    std::size_t to = 0;
    std::size_t added = 0;
};

// The lines of `text` (LF, CR LF or CR ends; a last line without an end
// counts), as views into it.
std::vector<std::string_view> textLines(std::string_view text);

// The hunks that turn `a` into `b`, in order.  Past `maxEdits` inserted and
// deleted lines, what lies between the equal first and last lines is one
// hunk (the texts are then mostly different anyway).
std::vector<DiffHunk> diffLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                                std::size_t maxEdits = 4000);

// Lines edited: for each hunk the larger of the lines it removes and adds
// (a line changed in place counts once).
std::size_t editedLines(const std::vector<DiffHunk>& hunks);

}  // namespace pactools
