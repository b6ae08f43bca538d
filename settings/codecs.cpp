#include "codecs.h"

#include <array>
#include <utility>

#include "intparse.h"

namespace zyvora {

namespace {

std::string no_selection_message(const Setting& s) {
    if (!s.no_selection_message.empty()) return s.no_selection_message;
    std::string label = s.control.caption.empty() ? s.control.name : s.control.caption;
    for (char& c : label) {
        if (c == '\n') c = ' ';  // a caption set on two lines reads as one in a message
    }
    while (!label.empty() && (label.back() == ':' || label.back() == ' ')) label.pop_back();
    return label + " - no item selected.";
}

bool is_printable(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

std::string upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The value a choice or check box contributes to a byte; nullopt for a choice without a selection.
std::optional<int> choice_value(const ControlStore& store, int id) {
    if (store.decl(id).kind == ControlKind::Check) return store.checked(id) ? 1 : 0;
    const int index = store.index(id);
    if (index < 0) return std::nullopt;
    return index;
}

void show_choice_value(ControlStore& store, int id, int value) {
    if (store.decl(id).kind == ControlKind::Check) store.set_checked(id, value != 0);
    else store.set_index(id, value);
}

ByteSpan bytes_at(const Field& f, std::size_t count) { return {f.offset, count, 0xFF, false}; }

// Whole fields: nothing of a text is cut.
std::optional<std::size_t> kept_whole(const Field&) { return std::nullopt; }

template <Codec kind>
struct CodecOf;  // one specialisation per kind; a kind without one does not compile

template <>
struct CodecOf<Codec::None> {
    static std::optional<std::string> encode(const Setting&, const ControlStore&, int, Image&) { return std::nullopt; }
    static void decode(const Setting&, ControlStore&, int, const Image&) {}
    static ByteSpan span(const Field& f) { return bytes_at(f, 0); }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

template <>
struct CodecOf<Codec::Index8> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const auto value = choice_value(store, id);
        if (!value) return no_selection_message(s);
        const int top = static_cast<int>(s.control.items.size()) - 1;
        image.at(s.field.offset) = static_cast<std::uint8_t>(s.field.from_top ? top - *value : *value);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        const int top = static_cast<int>(s.control.items.size()) - 1;
        const int value = image.at(s.field.offset);
        show_choice_value(store, id, s.field.from_top ? top - value : value);
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 1); }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

template <>
struct CodecOf<Codec::FlagBits> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const auto value = choice_value(store, id);
        if (!value) return no_selection_message(s);
        const Field& f = s.field;
        const unsigned mask = (1u << f.width) - 1u;
        image.at(f.offset) |= static_cast<std::uint8_t>((static_cast<unsigned>(*value) & mask) << f.shift);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        const Field& f = s.field;
        show_choice_value(store, id, (image.at(f.offset) >> f.shift) & ((1u << f.width) - 1u));
    }
    static ByteSpan span(const Field& f) {
        ByteSpan s = bytes_at(f, 1);
        s.flag_bits = true;
        // Told apart from a sound declaration by the table check, so a wrong one must not overflow here.
        if (f.shift < 8) s.mask = ((f.width >= 8 ? 0xFFu : (1u << f.width) - 1u) << f.shift) & 0xFFu;
        else s.mask = 0;
        return s;
    }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

template <>
struct CodecOf<Codec::Number> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const Field& f = s.field;
        const std::string& text = store.text(id);
        if (f.skip_empty && text.empty()) return std::nullopt;
        const std::int32_t value = parse_int(text);
        if (f.range_checked && !(value >= f.lo && value <= f.hi) && !(f.zero_allowed && value == 0)) return f.message;
        if (f.size == 1) image.at(f.offset) = static_cast<std::uint8_t>(value);
        else put_u16(image, f.offset, static_cast<std::uint16_t>(value));
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        const Field& f = s.field;
        store.set_text(id, std::to_string(f.size == 1 ? image.at(f.offset) : get_u16(image, f.offset)));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, f.size == 1 ? 1 : 2); }  // anything but 1 is 16 bits
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

template <>
struct CodecOf<Codec::Text> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const Field& f = s.field;
        const std::string& text = store.text(id);
        if (f.printable && !is_printable(text)) return f.message;
        put_text(image, f.offset, f.size, f.upper ? upper(text) : text);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        store.set_text(id, get_text(image, s.field.offset, s.field.size));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, f.size); }
    static std::optional<std::size_t> kept_length(const Field& f) {
        return f.size > 0 ? std::optional<std::size_t>(f.size - 1u) : std::nullopt;  // room for the NUL
    }
};

// DDMM.MMH or DDDMM.MMH, checked for length then syntax; stored as that text and a NUL, or packed.
template <bool latitude, bool packed>
struct CoordinateCodec {
    static constexpr std::size_t kLength = latitude ? 8 : 9;

    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const Field& f = s.field;
        const std::string& text = store.text(id);
        if (text.size() != kLength) return f.length_message;
        const auto number = latitude ? pack_latitude(text) : pack_longitude(text);
        if (!number) return f.message;
        if (packed) put_i32(image, f.offset, *number);
        else put_text(image, f.offset, text.size() + 1, text);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        const Field& f = s.field;
        if (!packed) store.set_text(id, get_text(image, f.offset, kLength + 1));
        else if (latitude) store.set_text(id, latitude_text(get_i32(image, f.offset)));
        else store.set_text(id, longitude_text(get_i32(image, f.offset)));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, packed ? 4 : kLength + 1); }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }  // a wrong length fails
};

template <>
struct CodecOf<Codec::FixedLatitude> : CoordinateCodec<true, false> {};
template <>
struct CodecOf<Codec::FixedLongitude> : CoordinateCodec<false, false> {};
template <>
struct CodecOf<Codec::PackedLatitude> : CoordinateCodec<true, true> {};
template <>
struct CodecOf<Codec::PackedLongitude> : CoordinateCodec<false, true> {};

template <>
struct CodecOf<Codec::StationCall> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const Field& f = s.field;
        const std::string& text = store.text(id);
        if (text.empty()) return f.message;
        // A control byte would reach every packet the device sends.
        if (!is_printable(text)) return f.characters_message;
        put_call(image, f.offset, text);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        store.set_text(id, get_text(image, s.field.offset, 6));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 6); }
    static std::optional<std::size_t> kept_length(const Field&) { return 6; }
};

template <>
struct CodecOf<Codec::StationSsid> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const std::int32_t value = parse_int(store.text(id));
        if (value < 0 || value > 15) return s.field.message;
        image.at(s.field.offset) = ssid_char(value);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        // Read unsigned, the callsign SSIDs below signed: a byte under '0' shows as 208 and up
        // here and as a negative number there. Saved settings files hold these numbers, so
        // reading either way differently would save the same image as another file; the encode
        // pass refuses both, so nothing wrong goes back to a device.
        store.set_text(id, std::to_string(static_cast<std::uint8_t>(image.at(s.field.offset) - '0')));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 1); }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

template <>
struct CodecOf<Codec::CallText> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const std::string& text = store.text(id);
        if (!s.field.message.empty() && text.empty()) return s.field.message;
        put_call(image, s.field.offset, text);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        store.set_text(id, get_callsign_field(image, s.field.offset).call);
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 6); }
    static std::optional<std::size_t> kept_length(const Field&) { return 6; }
};

template <>
struct CodecOf<Codec::Char> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const std::string& text = store.text(id);
        image.at(s.field.offset) = text.empty() ? 0 : static_cast<std::uint8_t>(text[0]);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        const std::uint8_t c = image.at(s.field.offset);
        store.set_text(id, c == 0 ? std::string() : std::string(1, static_cast<char>(c)));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 1); }
    static std::optional<std::size_t> kept_length(const Field&) { return 1; }
};

template <>
struct CodecOf<Codec::CallSsid> {
    static std::optional<std::string> encode(const Setting& s, const ControlStore& store, int id, Image& image) {
        const Field& f = s.field;
        const std::string& text = store.text(id);
        if (!f.companion.empty() && store.text(store.require(f.companion)).empty()) {
            image.at(f.offset) = ssid_char(0);
            return std::nullopt;
        }
        if (f.wildcard && text == "*") {
            image.at(f.offset) = '*';
            return std::nullopt;
        }
        const auto ssid = parse_ssid(text);
        if (!ssid) return f.message;
        image.at(f.offset) = ssid_char(*ssid);
        return std::nullopt;
    }
    static void decode(const Setting& s, ControlStore& store, int id, const Image& image) {
        // The byte is read as a signed character, so a byte below '0' shows as a negative SSID.
        const std::uint8_t c = image.at(s.field.offset);
        if (s.field.wildcard && c == '*') store.set_text(id, "*");
        else store.set_text(id, std::to_string(static_cast<std::int8_t>(c) - '0'));
    }
    static ByteSpan span(const Field& f) { return bytes_at(f, 1); }
    static std::optional<std::size_t> kept_length(const Field& f) { return kept_whole(f); }
};

constexpr std::size_t kKinds = static_cast<std::size_t>(Codec::Count);

template <std::size_t... kind>
constexpr std::array<CodecOps, kKinds> codec_table(std::index_sequence<kind...>) {
    static_assert((FieldCodec<CodecOf<static_cast<Codec>(kind)>> && ...), "a field kind lacks part of its codec");
    return {CodecOps{&CodecOf<static_cast<Codec>(kind)>::encode, &CodecOf<static_cast<Codec>(kind)>::decode,
                     &CodecOf<static_cast<Codec>(kind)>::span, &CodecOf<static_cast<Codec>(kind)>::kept_length}...};
}

}  // namespace

// Indexed by the kind, every kind of the enum in it.
constexpr std::array<CodecOps, kKinds> detail::kCodecs = codec_table(std::make_index_sequence<kKinds>{});

}  // namespace zyvora
