#pragma once
// The closest of some known names to a mistyped one, for "did you mean ...?" hints.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyvora {

// The candidate nearest to `word` without regard to case, counting an insertion, a deletion, a
// change or a swap of two neighbouring letters as one edit; nullopt when even the nearest needs
// more edits than a typing slip explains (a third of the word, at least two). Ties go to the
// earlier candidate.
std::optional<std::string> nearest(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace zyvora
