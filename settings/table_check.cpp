#include "table_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>

#include "codecs.h"
#include "image.h"
#include "page_tree.h"

namespace zyvora {

namespace {

struct Row {
    const Area* area;
    const Setting* setting;
};

std::string row_name(const Row& row) { return row.area->name + "/" + row.setting->control.name; }

std::string bytes_text(std::size_t first, std::size_t count) {
    if (count == 1) return "byte " + std::to_string(first);
    return "bytes " + std::to_string(first) + ".." + std::to_string(first + count - 1);
}

std::string span_text(const ByteSpan& s) {
    std::string text = bytes_text(s.first, s.count);
    if (!s.flag_bits || s.mask == 0) return text;
    int low = 0;
    while (!(s.mask >> low & 1u)) ++low;
    int high = 7;
    while (!(s.mask >> high & 1u)) --high;
    if (low == high) return text + " bit " + std::to_string(low);
    return text + " bits " + std::to_string(low) + ".." + std::to_string(high);
}

// The frame's places in the used region; the version is read as seven characters and a
// terminator, so its place runs to byte 13.
struct Place {
    std::size_t first;
    std::size_t count;
    const char* what;
};
constexpr Place kFrame[] = {
    {0, 4, "the checksum"},
    {kNonceOffset, 2, "the write nonce"},
    {kVersionOffset, 8, "the version tag"},
    {kEndOffset, 3, "the end marker"},
};

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

class Checker {
public:
    explicit Checker(const std::vector<Area>& areas) : areas_(areas) {}

    std::vector<std::string> run() {
        declarations();
        for (const Area& area : areas_) {
            for (auto& line : save_order_problems(area)) problems_.push_back(std::move(line));
        }
        fields();
        overlaps();
        keys();
        return std::move(problems_);
    }

private:
    void declarations() {
        for (const Area& area : areas_) {
            for (const Setting& s : area.settings) {
                const Row row{&area, &s};
                const auto [found, added] = ids_.emplace(s.control.name, rows_.size());
                if (!added) {
                    problems_.push_back(row_name(row) + ": control declared again, first in area " +
                                        rows_[found->second].area->name);
                }
                rows_.push_back(row);
                if (!s.control.page.empty() && page_path(s.control.page).empty()) {
                    problems_.push_back(row_name(row) + ": page " + s.control.page + " is in no tab and no window");
                }
            }
        }
    }

    void fields() {
        for (const Row& row : rows_) {
            const Field& f = row.setting->field;
            const std::string name = row_name(row);
            if (f.codec == Codec::Number && f.size != 1 && f.size != 2) {
                problems_.push_back(name + ": a number of " + std::to_string(f.size) + " bytes, not 1 or 2");
            }
            // A range the field cannot hold would pass a number the device gets as another.
            if (f.codec == Codec::Number && (f.lo < 0 || f.hi > number_field_max(f) || f.lo > f.hi)) {
                problems_.push_back(name + ": range " + std::to_string(f.lo) + " - " + std::to_string(f.hi) +
                                    " does not fit the field (0 - " + std::to_string(number_field_max(f)) + ")");
            }
            if (f.codec == Codec::Text && f.size == 0) problems_.push_back(name + ": a text of 0 bytes, no room for its NUL");
            if (f.codec == Codec::FlagBits && (f.width == 0 || f.shift + f.width > 8)) {
                problems_.push_back(name + ": " + std::to_string(f.width) + " flag bits at bit " + std::to_string(f.shift) +
                                    " do not fit in a byte");
            }
            if (f.codec == Codec::CallSsid && !f.companion.empty() && !ids_.count(f.companion)) {
                problems_.push_back(name + ": companion " + f.companion + " is no control");
            }
            const ByteSpan s = codec_ops(f.codec).span(f);
            if (s.count == 0) continue;
            for (const Place& place : kFrame) {
                if (s.first < place.first + place.count && place.first < s.first + s.count) {
                    problems_.push_back(name + " (" + span_text(s) + ") lies over " + place.what + " (" +
                                        bytes_text(place.first, place.count) + ")");
                }
            }
            if (s.first + s.count > kUsedEnd) {
                problems_.push_back(name + " (" + span_text(s) + ") runs past the used region, which ends at byte " +
                                    std::to_string(kUsedEnd - 1));
            }
        }
    }

    void overlaps() {
        std::vector<std::pair<ByteSpan, const Row*>> spans;
        for (const Row& row : rows_) {
            const ByteSpan s = codec_ops(row.setting->field.codec).span(row.setting->field);
            if (s.count > 0) spans.push_back({s, &row});
        }
        std::stable_sort(spans.begin(), spans.end(),
                         [](const auto& a, const auto& b) { return a.first.first < b.first.first; });
        for (std::size_t i = 0; i < spans.size(); ++i) {
            const ByteSpan& a = spans[i].first;
            for (std::size_t j = i + 1; j < spans.size() && spans[j].first.first < a.first + a.count; ++j) {
                const ByteSpan& b = spans[j].first;
                if (a.flag_bits && b.flag_bits && !(a.mask & b.mask)) continue;
                problems_.push_back(row_name(*spans[j].second) + " (" + span_text(b) + ") overlaps " +
                                    row_name(*spans[i].second) + " (" + span_text(a) + ")");
            }
        }
    }

    // The settings file finds sections and keys without regard to case.
    void keys() {
        std::map<std::pair<std::string, std::string>, const Row*> seen;
        for (const Row& row : rows_) {
            const auto& key = row.setting->key;
            if (!key) continue;
            const auto [found, added] = seen.emplace(std::pair{lower(key->section), lower(key->name)}, &row);
            if (added) continue;
            const FileKey& first = *found->second->setting->key;
            problems_.push_back(row_name(row) + ": key [" + key->section + "] " + key->name + " collides with [" +
                                first.section + "] " + first.name + " of " + row_name(*found->second));
        }
    }

    const std::vector<Area>& areas_;
    std::vector<Row> rows_;
    std::unordered_map<std::string, std::size_t> ids_;
    std::vector<std::string> problems_;
};

}  // namespace

std::vector<std::string> layout_problems(const std::vector<Area>& areas) { return Checker(areas).run(); }

}  // namespace zyvora
