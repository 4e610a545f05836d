#include "line_diff.h"

#include <gtest/gtest.h>

#include <random>

namespace pactools {
namespace {

std::vector<std::string_view> views(const std::vector<std::string>& lines) {
    return {lines.begin(), lines.end()};
}

// The hunks applied to `a` give `b`, and no hunk is empty.
std::vector<std::string> applied(const std::vector<std::string>& a, const std::vector<std::string>& b,
                                 const std::vector<DiffHunk>& hunks) {
    std::vector<std::string> result;
    std::size_t at = 0;
    for (const DiffHunk& hunk : hunks) {
        EXPECT_GT(hunk.count + hunk.added, 0u);
        EXPECT_GE(hunk.from, at);
        result.insert(result.end(), a.begin() + static_cast<long>(at), a.begin() + static_cast<long>(hunk.from));
        result.insert(result.end(), b.begin() + static_cast<long>(hunk.to), b.begin() + static_cast<long>(hunk.to + hunk.added));
        at = hunk.from + hunk.count;
    }
    result.insert(result.end(), a.begin() + static_cast<long>(at), a.end());
    return result;
}

// Random texts edited at random: the hunks turn one into the other, and
// they never take more inserted and deleted lines than the edits made.
TEST(LineDiff, HunksTurnOneTextIntoTheOtherInFewestEdits) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> a(rng() % 40);
        for (std::string& line : a) line = std::string(1, static_cast<char>('a' + rng() % 6));
        std::vector<std::string> b = a;
        std::size_t edits = 0;
        for (unsigned n = rng() % 8; n > 0; --n) {
            const std::size_t at = b.empty() ? 0 : rng() % (b.size() + 1);
            switch (rng() % 3) {
            case 0: b.insert(b.begin() + static_cast<long>(at), "new"); edits += 1; break;
            case 1: if (at < b.size()) b.erase(b.begin() + static_cast<long>(at)), edits += 1; break;
            default: if (at < b.size()) b[at] = "changed", edits += 2; break;
            }
        }
        const std::vector<DiffHunk> hunks = diffLines(views(a), views(b));
        EXPECT_EQ(applied(a, b, hunks), b) << round;
        std::size_t made = 0;
        for (const DiffHunk& hunk : hunks) made += hunk.count + hunk.added;
        EXPECT_LE(made, edits) << round;
        // Past the limit the middle is one hunk, still right.
        EXPECT_EQ(applied(a, b, diffLines(views(a), views(b), 1)), b) << round;
    }
}

TEST(LineDiff, EditedLinesCountAChangedLineOnce) {
    const struct {
        const char* a;
        const char* b;
        std::size_t edited;
    } cases[] = {
        {"x\ny\nz\n", "x\ny\nz\n", 0},
        {"x\ny\nz\n", "x\nY\nz\n", 1},
        {"x\ny\nz\n", "x\nz\n", 1},
        {"x\ny\nz\n", "x\ny\nw\nv\nz\n", 2},
        {"x\r\ny\r\n", "x\ny", 0},  // line ends are not lines' content
        {"Label_0:\nJmp\tLabel_0\nPushB\t<a>\n", "Top:\nJmp\tTop\nPushB\t<a>\n", 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(editedLines(diffLines(textLines(c.a), textLines(c.b))), c.edited) << c.a << "|" << c.b;
    }
}

}  // namespace
}  // namespace pactools
