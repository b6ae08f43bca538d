#pragma once
// One declaration per setting: the control, its place and codec in the image, its check and
// message, and its settings-file key. Areas are tables of these rows; the passes walk them.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"

namespace zyvora {

// How a setting is checked and stored in the image. Each kind is one codec object in codecs.cpp
// (encode, decode, byte span, kept length); a kind added here without one does not compile.
enum class Codec {
    None,             // not in the image (the date and time edits, for one)
    Index8,           // u8 item index of a choice, or 0/1 of a check box
    Number,           // u8/u16 number: the edit's text as an integer, optionally range-checked
    Text,             // text of `size` bytes with its NUL
    FixedLatitude,    // DDMM.MMH as 8 characters and a NUL, after length and syntax checks
    FixedLongitude,   // DDDMM.MMH as 9 characters and a NUL
    PackedLatitude,   // signed 32-bit, after length and syntax checks
    PackedLongitude,
    StationCall,      // six upper-cased, space-padded bytes that must not be empty
    StationSsid,      // '0' + SSID 0..15 read with the integer parser
    CallText,         // bytes 0..5 of a callsign field: upper-cased, space-padded; with a
                      // message it must not be empty
    Char,             // one byte: the text's first character, 0 when empty
    CallSsid,         // byte 6 of a callsign field: '0' + SSID, or '*' where allowed
    FlagBits,         // `width` bits at `shift` of one byte shared by several settings
    Count             // not a kind: how many there are
};

struct Field {
    Codec codec = Codec::None;
    std::uint16_t offset = 0;
    std::uint16_t size = 0;  // Number: 1 or 2 bytes; Text: capacity with the NUL
    std::uint8_t shift = 0;  // FlagBits
    std::uint8_t width = 0;  // FlagBits
    // Number: the range the field holds, its own (0 - 255, 0 - 65535) unless the row narrows it.
    // A checked range ends the encode with `message` outside it; an unchecked one is stored as
    // its low bits, and the settings-file lint warns of what the device then gets.
    std::int32_t lo = 0, hi = 0;
    bool range_checked = false;
    bool zero_allowed = false;  // Number: 0 passes besides lo..hi
    bool skip_empty = false;     // Number: an empty text is neither checked nor written
    bool upper = false;          // Text: stored upper-cased
    bool printable = false;      // Text: bytes outside 0x20..0x7E fail with `message`
    bool wildcard = false;       // CallSsid: "*" is stored as '*'
    bool from_top = false;       // Index8: stored as (item count - 1) - index
    bool decoded = true;         // false: written by the encode pass only, never read back
    std::string companion;       // CallSsid: the call sign whose emptiness skips the SSID check
    std::string message;         // the check's message (syntax message for coordinates)
    std::string length_message;  // coordinates: the text is not 8 or 9 characters long
    std::string characters_message;  // StationCall: a byte outside 0x20..0x7E
};

enum class KeyKind {
    Text,     // string writer and reader
    Integer,  // the edit's text through the integer parser; read back in decimal
    Index,    // a choice's item index
    Check,    // a check box as 1 or 0
    Boolean,  // boolean writer and reader
};

struct FileKey {
    std::string section;
    std::string name;
    KeyKind kind = KeyKind::Text;
    std::string missing_text;  // Text keys
    int missing_value = 0;     // every other kind
};

struct Setting {
    ControlDecl control;
    Field field;
    std::optional<FileKey> key;
    // Shown when a choice has no selection at encode time; empty: made from the caption.
    std::string no_selection_message;
    // The control of the same area after which the settings file holds this key, where the file's
    // order differs from the image's; empty: at the row's own place.
    std::string saved_after;
};

// An area: its rows in the order of the encode (and decode) pass, which is also the order their
// controls are built and given their defaults. The save (and read) pass takes the same order but
// for the rows that say `saved_after`.
struct Area {
    std::string name;
    std::vector<Setting> settings;
    // Start-up steps that follow the area's own defaults (the telemetry presets); never run by
    // the decode pass or when a settings file is read.
    std::function<void(ControlStore&)> after_defaults;
};

// Writes area tables compactly: `a.edit("Txdelay", 4, "250").caption(...).number(24, 2, ...)`.
class AreaBuilder;

class SettingBuilder {
public:
    SettingBuilder(Area& area, std::size_t row) : area_(area), row_(row) {}
    Setting& row() { return area_.settings[row_]; }
    SettingBuilder& caption(std::string text) { row().control.caption = std::move(text); return *this; }
    SettingBuilder& secret() { row().control.secret = true; return *this; }
    SettingBuilder& hint(std::string text) { row().control.hint = std::move(text); return *this; }
    // A hint for a control whose page shows none: read by screen readers and shown on request.
    SettingBuilder& quiet_hint(std::string text) {
        hint(std::move(text));
        row().control.hint_on_hover = false;
        return *this;
    }
    SettingBuilder& spoken(std::string name) { row().control.spoken = std::move(name); return *this; }
    SettingBuilder& page(std::string name) { row().control.page = std::move(name); return *this; }
    SettingBuilder& no_selection(std::string message) { row().no_selection_message = std::move(message); return *this; }

    SettingBuilder& index8(std::uint16_t offset);
    // A u8 or u16 number the device takes unchecked: the field's own range, stored as its low bits.
    SettingBuilder& number(std::uint16_t offset, std::uint16_t bytes);
    // A number whose encode refuses anything outside lo..hi with `message`.
    SettingBuilder& number(std::uint16_t offset, std::uint16_t bytes, std::int32_t lo, std::int32_t hi, std::string message);
    SettingBuilder& text(std::uint16_t offset, std::uint16_t capacity);
    SettingBuilder& fixed_latitude(std::uint16_t offset, std::string length_message, std::string syntax_message);
    SettingBuilder& fixed_longitude(std::uint16_t offset, std::string length_message, std::string syntax_message);
    SettingBuilder& packed_latitude(std::uint16_t offset, std::string length_message, std::string syntax_message);
    SettingBuilder& packed_longitude(std::uint16_t offset, std::string length_message, std::string syntax_message);
    SettingBuilder& station_call(std::uint16_t offset, std::string message, std::string characters_message);
    SettingBuilder& station_ssid(std::uint16_t offset, std::string message);
    SettingBuilder& call_text(std::uint16_t offset);
    SettingBuilder& call_text(std::uint16_t offset, std::string empty_message);
    SettingBuilder& character(std::uint16_t offset);
    SettingBuilder& call_ssid(std::uint16_t offset, std::string message);
    SettingBuilder& flag_bits(std::uint16_t offset, std::uint8_t shift, std::uint8_t width);

    // Options of one kind, given after the kind's call; each refuses a row of another kind, so
    // that an option cannot be set where no pass would look at it.
    SettingBuilder& allow_zero();                  // Number with a range: 0 passes too
    SettingBuilder& skip_empty();                  // Number: an empty text is neither checked nor written
    SettingBuilder& upper();                       // Text: stored upper-cased
    SettingBuilder& printable(std::string message);  // Text: a byte outside ' '..'~' fails with `message`
    SettingBuilder& companion(std::string call);   // CallSsid: skipped, stored as '0', when `call` is empty
    SettingBuilder& wildcard();                    // CallSsid: "*" is stored as '*'
    SettingBuilder& from_top();                    // Index8: stored as (item count - 1) - index
    SettingBuilder& encode_only();                 // any image field: written, never read back
    SettingBuilder& saved_after(std::string control);  // the settings file holds it after `control`

    // The settings-file key in the builder's current section; the missing-key value is the
    // start-up default unless missing() says otherwise.
    SettingBuilder& key(std::string name, KeyKind kind);
    SettingBuilder& missing(std::string text);
    SettingBuilder& missing(int value);

private:
    Field& field() { return row().field; }
    // Throws when the row's codec is not `codec`: a table declared wrongly fails at start-up.
    void require(Codec codec, const char* option);
    SettingBuilder& coordinate(Codec codec, std::uint16_t offset, std::string length_message, std::string syntax_message);
    Area& area_;
    std::size_t row_;
    std::string section_;
    friend class AreaBuilder;
};

class AreaBuilder {
public:
    explicit AreaBuilder(std::string name) { area_.name = std::move(name); }
    void page(std::string name) { page_ = std::move(name); }       // for the rows that follow
    void section(std::string name) { section_ = std::move(name); }  // for the keys that follow
    void member(std::string name) { member_ = std::move(name); }     // the table row of the controls that follow

    SettingBuilder edit(std::string name, int max_length, std::string default_text);
    SettingBuilder choice(std::string name, std::vector<std::string> items, int default_index);
    SettingBuilder check(std::string name, bool default_checked);

    void after_defaults(std::function<void(ControlStore&)> steps) { area_.after_defaults = std::move(steps); }
    Area take() { return std::move(area_); }

private:
    SettingBuilder add(ControlDecl decl);
    Area area_;
    std::string page_;
    std::string section_;
    std::string member_;
};

// The rows of `area` (indexes into its settings) in the order of the save pass: each row at its
// place, followed at once by the rows saved after it, in their declaration order. A row whose
// `saved_after` names no row of the area, or only rows that are themselves never reached (a
// cycle), is left out; `save_order_problems` names those, one line each ("beacon/Rate: ...").
std::vector<std::size_t> save_order(const Area& area);
std::vector<std::string> save_order_problems(const Area& area);

}  // namespace zyvora
