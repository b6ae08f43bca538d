#include "nearest.h"

#include <algorithm>
#include <cctype>

namespace zyvora {

namespace {

char folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Optimal string alignment distance, without regard to case.
std::size_t edits(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t change = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) && folded(a[i - 2]) == folded(b[j - 1])) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::optional<std::string> nearest(std::string_view word, const std::vector<std::string>& candidates) {
    const std::size_t allowed = std::max<std::size_t>(2, word.size() / 3);
    std::optional<std::string> best;
    std::size_t best_edits = allowed + 1;
    for (const auto& candidate : candidates) {
        const std::size_t n = edits(word, candidate);
        if (n < best_edits) {
            best = candidate;
            best_edits = n;
        }
    }
    return best;
}

}  // namespace zyvora
