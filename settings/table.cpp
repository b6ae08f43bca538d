#include "table.h"

#include <map>
#include <stdexcept>

#include "codecs.h"

namespace zyvora {

namespace {
Field make(Codec codec, std::uint16_t offset) {
    Field f;
    f.codec = codec;
    f.offset = offset;
    return f;
}
}  // namespace

SettingBuilder& SettingBuilder::index8(std::uint16_t offset) {
    field() = make(Codec::Index8, offset);
    return *this;
}

SettingBuilder& SettingBuilder::number(std::uint16_t offset, std::uint16_t bytes) {
    field() = make(Codec::Number, offset);
    field().size = bytes;
    field().lo = 0;
    field().hi = number_field_max(field());
    return *this;
}

SettingBuilder& SettingBuilder::number(std::uint16_t offset, std::uint16_t bytes, std::int32_t lo,
                                       std::int32_t hi, std::string message) {
    number(offset, bytes);
    field().range_checked = true;
    field().lo = lo;
    field().hi = hi;
    field().message = std::move(message);
    return *this;
}

SettingBuilder& SettingBuilder::text(std::uint16_t offset, std::uint16_t capacity) {
    field() = make(Codec::Text, offset);
    field().size = capacity;
    return *this;
}

SettingBuilder& SettingBuilder::coordinate(Codec codec, std::uint16_t offset, std::string length_message,
                                           std::string syntax_message) {
    field() = make(codec, offset);
    field().length_message = std::move(length_message);
    field().message = std::move(syntax_message);
    return *this;
}

SettingBuilder& SettingBuilder::fixed_latitude(std::uint16_t offset, std::string length_message, std::string syntax_message) {
    return coordinate(Codec::FixedLatitude, offset, std::move(length_message), std::move(syntax_message));
}

SettingBuilder& SettingBuilder::fixed_longitude(std::uint16_t offset, std::string length_message, std::string syntax_message) {
    return coordinate(Codec::FixedLongitude, offset, std::move(length_message), std::move(syntax_message));
}

SettingBuilder& SettingBuilder::packed_latitude(std::uint16_t offset, std::string length_message, std::string syntax_message) {
    return coordinate(Codec::PackedLatitude, offset, std::move(length_message), std::move(syntax_message));
}

SettingBuilder& SettingBuilder::packed_longitude(std::uint16_t offset, std::string length_message, std::string syntax_message) {
    return coordinate(Codec::PackedLongitude, offset, std::move(length_message), std::move(syntax_message));
}

SettingBuilder& SettingBuilder::station_call(std::uint16_t offset, std::string message, std::string characters_message) {
    field() = make(Codec::StationCall, offset);
    field().message = std::move(message);
    field().characters_message = std::move(characters_message);
    return *this;
}

SettingBuilder& SettingBuilder::station_ssid(std::uint16_t offset, std::string message) {
    field() = make(Codec::StationSsid, offset);
    field().message = std::move(message);
    return *this;
}

SettingBuilder& SettingBuilder::call_text(std::uint16_t offset) {
    field() = make(Codec::CallText, offset);
    return *this;
}

SettingBuilder& SettingBuilder::call_text(std::uint16_t offset, std::string empty_message) {
    call_text(offset);
    field().message = std::move(empty_message);
    return *this;
}

SettingBuilder& SettingBuilder::character(std::uint16_t offset) {
    field() = make(Codec::Char, offset);
    return *this;
}

SettingBuilder& SettingBuilder::call_ssid(std::uint16_t offset, std::string message) {
    field() = make(Codec::CallSsid, offset);
    field().message = std::move(message);
    return *this;
}

SettingBuilder& SettingBuilder::flag_bits(std::uint16_t offset, std::uint8_t shift, std::uint8_t width) {
    field() = make(Codec::FlagBits, offset);
    field().shift = shift;
    field().width = width;
    return *this;
}

void SettingBuilder::require(Codec codec, const char* option) {
    if (field().codec != codec) {
        throw std::logic_error(row().control.name + ": " + option + " does not apply to this field kind");
    }
}

SettingBuilder& SettingBuilder::allow_zero() {
    require(Codec::Number, "allow_zero");
    if (!field().range_checked) throw std::logic_error(row().control.name + ": allow_zero needs a range");
    field().zero_allowed = true;
    return *this;
}

SettingBuilder& SettingBuilder::skip_empty() {
    require(Codec::Number, "skip_empty");
    field().skip_empty = true;
    return *this;
}

SettingBuilder& SettingBuilder::upper() {
    require(Codec::Text, "upper");
    field().upper = true;
    return *this;
}

SettingBuilder& SettingBuilder::printable(std::string message) {
    require(Codec::Text, "printable");
    field().printable = true;
    field().message = std::move(message);
    return *this;
}

SettingBuilder& SettingBuilder::companion(std::string call) {
    require(Codec::CallSsid, "companion");
    field().companion = std::move(call);
    return *this;
}

SettingBuilder& SettingBuilder::wildcard() {
    require(Codec::CallSsid, "wildcard");
    field().wildcard = true;
    return *this;
}

SettingBuilder& SettingBuilder::from_top() {
    require(Codec::Index8, "from_top");
    field().from_top = true;
    return *this;
}

SettingBuilder& SettingBuilder::encode_only() {
    if (field().codec == Codec::None) {
        throw std::logic_error(row().control.name + ": encode_only needs a field in the image");
    }
    field().decoded = false;
    return *this;
}

SettingBuilder& SettingBuilder::saved_after(std::string control) {
    row().saved_after = std::move(control);
    return *this;
}

SettingBuilder& SettingBuilder::key(std::string name, KeyKind kind) {
    FileKey k;
    k.section = section_;
    k.name = std::move(name);
    k.kind = kind;
    const ControlDecl& c = row().control;
    k.missing_text = c.default_text;
    switch (c.kind) {
        case ControlKind::Edit:
            // A number edit's missing value is its default number.
            k.missing_value = kind == KeyKind::Text ? 0 : std::stoi(c.default_text.empty() ? "0" : c.default_text);
            break;
        case ControlKind::Choice: k.missing_value = c.default_index; break;
        case ControlKind::Check: k.missing_value = c.default_checked ? 1 : 0; break;
    }
    row().key = std::move(k);
    return *this;
}

SettingBuilder& SettingBuilder::missing(std::string text) {
    row().key->missing_text = std::move(text);
    return *this;
}

SettingBuilder& SettingBuilder::missing(int value) {
    row().key->missing_value = value;
    return *this;
}

SettingBuilder AreaBuilder::add(ControlDecl decl) {
    decl.page = page_;
    decl.member = member_;
    Setting s;
    s.control = std::move(decl);
    area_.settings.push_back(std::move(s));
    SettingBuilder b(area_, area_.settings.size() - 1);
    b.section_ = section_;
    return b;
}

SettingBuilder AreaBuilder::edit(std::string name, int max_length, std::string default_text) {
    ControlDecl d;
    d.name = std::move(name);
    d.kind = ControlKind::Edit;
    d.max_length = max_length;
    d.default_text = std::move(default_text);
    return add(std::move(d));
}

SettingBuilder AreaBuilder::choice(std::string name, std::vector<std::string> items, int default_index) {
    ControlDecl d;
    d.name = std::move(name);
    d.kind = ControlKind::Choice;
    d.items = std::move(items);
    d.default_index = default_index;
    return add(std::move(d));
}

SettingBuilder AreaBuilder::check(std::string name, bool default_checked) {
    ControlDecl d;
    d.name = std::move(name);
    d.kind = ControlKind::Check;
    d.default_checked = default_checked;
    return add(std::move(d));
}

namespace {
void place_with_followers(const Area& area, std::size_t row,
                          const std::map<std::string, std::vector<std::size_t>>& followers,
                          std::vector<std::size_t>& out) {
    out.push_back(row);
    const auto found = followers.find(area.settings[row].control.name);
    if (found == followers.end()) return;
    for (std::size_t next : found->second) place_with_followers(area, next, followers, out);
}
}  // namespace

std::vector<std::size_t> save_order(const Area& area) {
    // Every row has one anchor, so the rows form trees rooted at the rows saved at their place:
    // each is reached at most once, and a cycle is never reached.
    std::map<std::string, std::vector<std::size_t>> followers;
    for (std::size_t i = 0; i < area.settings.size(); ++i) {
        const std::string& anchor = area.settings[i].saved_after;
        if (!anchor.empty()) followers[anchor].push_back(i);
    }
    std::vector<std::size_t> out;
    out.reserve(area.settings.size());
    for (std::size_t i = 0; i < area.settings.size(); ++i) {
        if (area.settings[i].saved_after.empty()) place_with_followers(area, i, followers, out);
    }
    return out;
}

std::vector<std::string> save_order_problems(const Area& area) {
    std::vector<bool> placed(area.settings.size(), false);
    for (std::size_t row : save_order(area)) placed[row] = true;
    std::map<std::string, std::size_t> rows;
    for (std::size_t i = 0; i < area.settings.size(); ++i) rows.emplace(area.settings[i].control.name, i);
    std::vector<std::string> problems;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        if (placed[i]) continue;
        const Setting& s = area.settings[i];
        const auto anchor = rows.find(s.saved_after);
        problems.push_back(area.name + "/" + s.control.name + ": saved after " + s.saved_after +
                           (anchor == rows.end() ? ", which is no control of the area"
                                                 : ", which is never saved itself"));
    }
    return problems;
}

}  // namespace zyvora
