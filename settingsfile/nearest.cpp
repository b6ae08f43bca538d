#include "nearest.h"

#include <algorithm>
#include <cctype>

namespace zyvora {

namespace {

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Optimal string alignment distance, without regard to case; anything past `limit` counts as
// limit + 1, so that a hopeless candidate stops as soon as a whole row of the table is past it.
// Three rows of the table are all the swap needs.
std::size_t edits(std::string_view a, std::string_view b, std::size_t limit) {
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        std::size_t row_least = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
            row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) && folded(a[i - 2]) == folded(b[j - 1])) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
            row_least = std::min(row_least, row[j]);
        }
        // Every later cell is at least one of this row, give or take the swap's two-row step,
        // which costs an edit too.
        if (row_least > limit) return limit + 1;
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return std::min(previous[b.size()], limit + 1);
}

}  // namespace

std::optional<std::string> nearest(std::string_view word, const std::vector<std::string>& candidates) {
    const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
    std::optional<std::string> best;
    std::size_t best_edits = allowed + 1;
    for (const auto& candidate : candidates) {
        // Each letter one word has over the other is an edit: a word far longer than every
        // candidate (a megabyte-long key) is compared with none of them.
        const std::size_t apart = word.size() > candidate.size() ? word.size() - candidate.size()
                                                                 : candidate.size() - word.size();
        if (apart >= best_edits) continue;
        const std::size_t n = edits(word, candidate, best_edits - 1);
        if (n < best_edits) {
            best = candidate;
            best_edits = n;
        }
    }
    return best;
}

}  // namespace zyvora
