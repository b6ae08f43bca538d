#pragma once
// The silent surprises of a hand-edited settings file: what reads without an error but not as the
// editor meant (a mistyped key, a number that is none, a key given twice, a text the device cuts, a number
// the device gets as another).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry.h"

namespace zyvora {

struct LintWarning {
    std::string section;  // as the file spells it; as the tables do for a missing one
    std::string key;      // as the file spells it; empty for a warning about a whole section
    std::string text;     // "[Radio] TXdelya is not a known key; did you mean TXdelay?"
    // About keys the file lacks (they read as their defaults), which a file made partial on
    // purpose lacks too.
    bool missing = false;
};

// The warnings about settings file `text`, in the order of the file, then missing_warnings. Sections and keys are matched
// without regard to case and values are taken as the reader takes them, so that each warning tells
// what reading the file really does.
std::vector<LintWarning> lint_settings_file(const Registry& registry, std::string_view text);

// The line (from 1) where settings file `text` gives the value the reader reads for `key` of
// `section`: its last occurrence, names matched as the reader matches them; nullopt when the file
// does not hold it.
std::optional<std::size_t> key_line(std::string_view text, std::string_view section, std::string_view key);

// The keys of `registry` that settings file `text` does not hold, in save order, and the
// warnings about them: one for each section the file lacks, and one for each section of the
// file that lacks some of its keys, naming them (or their count, when many). The header's
// section is the reader's own business.
std::vector<const FileKey*> missing_keys(const Registry& registry, std::string_view text);
std::vector<LintWarning> missing_warnings(const Registry& registry, std::string_view text);
// The same warnings about the keys of `missing` (in save order).
std::vector<LintWarning> missing_warnings(const Registry& registry, const std::vector<const FileKey*>& missing);

// A file that holds fewer than half of the settings is made partial rather than cut short: one
// warning, counting the keys it lacks, stands for the missing_warnings; nullopt for another file.
std::optional<LintWarning> partial_warning(const Registry& registry, std::string_view text);

// "PREFIX is N characters long; the device keeps the first K." for a text of `length` that the
// setting's field keeps only part of; nullopt when it keeps the whole text.
std::optional<std::string> cut_text_warning(const Setting& setting, const std::string& prefix, std::size_t length);

// "PREFIX 70000 does not fit the field (0 - 65535): the device gets 4464." for a number that a
// setting the device takes unchecked cannot hold; nullopt when it holds `value` as it is, or
// when the encode pass checks the setting's range itself.
std::optional<std::string> number_fit_warning(const Setting& setting, const std::string& prefix, std::int32_t value);

}  // namespace zyvora
