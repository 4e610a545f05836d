#include "line_diff.h"

#include <algorithm>

#include "text.h"

namespace pactools {

std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    LineReader reader(text);
    std::string_view line;
    while (reader.next(line)) lines.push_back(line);
    return lines;
}

std::vector<DiffHunk> diffLines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                                std::size_t maxEdits) {
    // Equal lines at both ends need no search.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
    const long n = static_cast<long>(a.size() - head - tail);
    const long m = static_cast<long>(b.size() - head - tail);
    std::vector<DiffHunk> hunks;
    if (n == 0 && m == 0) return hunks;
    const auto x = [&](long i) { return a[head + static_cast<std::size_t>(i)]; };
    const auto y = [&](long j) { return b[head + static_cast<std::size_t>(j)]; };
    // Forward search: v[k] is the furthest x on diagonal k after d edits;
    // each d's row is kept to walk the path back.
    const long limit = std::min<long>(n + m, static_cast<long>(maxEdits));
    const long offset = limit + 1;
    std::vector<std::vector<long>> trace;
    std::vector<long> v(static_cast<std::size_t>(2 * offset + 1), 0);
    long found = -1;
    for (long d = 0; d <= limit && found < 0; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long i = (k == -d || (k != d && v[k - 1 + offset] < v[k + 1 + offset])) ? v[k + 1 + offset]
                                                                                   : v[k - 1 + offset] + 1;
            long j = i - k;
            while (i < n && j < m && x(i) == y(j)) ++i, ++j;
            v[k + offset] = i;
            if (i >= n && j >= m) {
                found = d;
                break;
            }
        }
        trace.push_back(v);
    }
    if (found < 0) {
        hunks.push_back({head, static_cast<std::size_t>(n), head, static_cast<std::size_t>(m)});
        return hunks;
    }
    // Back from the end: each step is one deleted or inserted line, at the
    // positions (in a and b) where it stands.
    struct Edit {
        long i;
        long j;
        bool inserted;
    };
    std::vector<Edit> edits;
    long i = n;
    long j = m;
    for (long d = found; d > 0; --d) {
        const std::vector<long>& before = trace[static_cast<std::size_t>(d - 1)];
        const long k = i - j;
        const bool inserted = k == -d || (k != d && before[k - 1 + offset] < before[k + 1 + offset]);
        const long previousK = inserted ? k + 1 : k - 1;
        i = before[previousK + offset];
        j = i - previousK;
        edits.push_back({i, j, inserted});
    }
    // Forward, joining adjacent edits into hunks.
    for (auto edit = edits.rbegin(); edit != edits.rend(); ++edit) {
        const std::size_t from = head + static_cast<std::size_t>(edit->i);
        const std::size_t to = head + static_cast<std::size_t>(edit->j);
        if (hunks.empty() || hunks.back().from + hunks.back().count != from || hunks.back().to + hunks.back().added != to) {
            hunks.push_back({from, 0, to, 0});
        }
        if (edit->inserted) ++hunks.back().added;
        else ++hunks.back().count;
    }
    return hunks;
}

std::size_t editedLines(const std::vector<DiffHunk>& hunks) {
    std::size_t edited = 0;
    for (const DiffHunk& hunk : hunks) edited += std::max(hunk.count, hunk.added);
    return edited;
}

}  // namespace pactools
