#include "passes.h"

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

std::optional<std::string> encode_coordinate(const Field& f, const std::string& text, Image& image) {
    const bool latitude = f.codec == Codec::FixedLatitude || f.codec == Codec::PackedLatitude;
    if (text.size() != (latitude ? 8u : 9u)) return f.length_message;
    const auto packed = latitude ? pack_latitude(text) : pack_longitude(text);
    if (!packed) return f.message;
    if (f.codec == Codec::FixedLatitude || f.codec == Codec::FixedLongitude) {
        put_text(image, f.offset, text.size() + 1, text);
    } else {
        put_i32(image, f.offset, *packed);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> encode_field(const Setting& s, const ControlStore& store, int id, Image& image) {
    const Field& f = s.field;
    const std::string& text = store.text(id);
    switch (f.codec) {
        case Codec::None: return std::nullopt;
        case Codec::Index8: {
            const auto value = choice_value(store, id);
            if (!value) return no_selection_message(s);
            const int top = static_cast<int>(s.control.items.size()) - 1;
            image.at(f.offset) = static_cast<std::uint8_t>(f.from_top ? top - *value : *value);
            return std::nullopt;
        }
        case Codec::FlagBits: {
            const auto value = choice_value(store, id);
            if (!value) return no_selection_message(s);
            const unsigned mask = (1u << f.width) - 1u;
            image.at(f.offset) |= static_cast<std::uint8_t>((static_cast<unsigned>(*value) & mask) << f.shift);
            return std::nullopt;
        }
        case Codec::Number: {
            if (f.skip_empty && text.empty()) return std::nullopt;
            const std::int32_t value = parse_int(text);
            if (f.ranged && !(value >= f.lo && value <= f.hi) && !(f.zero_allowed && value == 0)) return f.message;
            if (f.size == 1) image.at(f.offset) = static_cast<std::uint8_t>(value);
            else put_u16(image, f.offset, static_cast<std::uint16_t>(value));
            return std::nullopt;
        }
        case Codec::Text: {
            if (f.printable && !is_printable(text)) return f.message;
            put_text(image, f.offset, f.size, f.upper ? upper(text) : text);
            return std::nullopt;
        }
        case Codec::FixedLatitude:
        case Codec::FixedLongitude:
        case Codec::PackedLatitude:
        case Codec::PackedLongitude: return encode_coordinate(f, text, image);
        case Codec::StationCall:
            if (text.empty()) return f.message;
            // A control byte would reach every packet the device sends.
            if (!is_printable(text)) return f.characters_message;
            put_call(image, f.offset, text);
            return std::nullopt;
        case Codec::StationSsid: {
            const std::int32_t value = parse_int(text);
            if (value < 0 || value > 15) return f.message;
            image.at(f.offset) = ssid_char(value);
            return std::nullopt;
        }
        case Codec::CallText:
            if (!f.message.empty() && text.empty()) return f.message;
            put_call(image, f.offset, text);
            return std::nullopt;
        case Codec::Char: image.at(f.offset) = text.empty() ? 0 : static_cast<std::uint8_t>(text[0]); return std::nullopt;
        case Codec::CallSsid: {
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
    }
    return std::nullopt;
}

void decode_field(const Setting& s, ControlStore& store, int id, const Image& image) {
    const Field& f = s.field;
    if (!f.decoded) return;
    switch (f.codec) {
        case Codec::None: return;
        case Codec::Index8: {
            const int top = static_cast<int>(s.control.items.size()) - 1;
            const int value = image.at(f.offset);
            show_choice_value(store, id, f.from_top ? top - value : value);
            return;
        }
        case Codec::FlagBits:
            show_choice_value(store, id, (image.at(f.offset) >> f.shift) & ((1u << f.width) - 1u));
            return;
        case Codec::Number:
            store.set_text(id, std::to_string(f.size == 1 ? image.at(f.offset) : get_u16(image, f.offset)));
            return;
        case Codec::Text: store.set_text(id, get_text(image, f.offset, f.size)); return;
        case Codec::FixedLatitude: store.set_text(id, get_text(image, f.offset, 9)); return;
        case Codec::FixedLongitude: store.set_text(id, get_text(image, f.offset, 10)); return;
        case Codec::PackedLatitude: store.set_text(id, latitude_text(get_i32(image, f.offset))); return;
        case Codec::PackedLongitude: store.set_text(id, longitude_text(get_i32(image, f.offset))); return;
        case Codec::StationCall: store.set_text(id, get_text(image, f.offset, 6)); return;
        case Codec::StationSsid:
            // Read unsigned, the callsign SSIDs below signed: a byte under '0' shows as 208 and up
            // here and as a negative number there. Saved settings files hold these numbers, so
            // reading either way differently would save the same image as another file; the encode
            // pass refuses both, so nothing wrong goes back to a device.
            store.set_text(id, std::to_string(static_cast<std::uint8_t>(image.at(f.offset) - '0')));
            return;
        case Codec::CallSsid: {
            // The byte is read as a signed character, so a byte below '0' shows as a negative SSID.
            const std::uint8_t c = image.at(f.offset);
            if (f.wildcard && c == '*') store.set_text(id, "*");
            else store.set_text(id, std::to_string(static_cast<std::int8_t>(c) - '0'));
            return;
        }
        case Codec::CallText: store.set_text(id, get_callsign_field(image, f.offset).call); return;
        case Codec::Char: {
            const std::uint8_t c = image.at(f.offset);
            store.set_text(id, c == 0 ? std::string() : std::string(1, static_cast<char>(c)));
            return;
        }
    }
}

std::vector<Failure> encode(const Registry& registry, const ControlStore& store, Image& image,
                            const EncodeOptions& options) {
    std::vector<Failure> failures;
    begin_frame(image);
    const auto& settings = registry.settings();
    for (int row : registry.encode_rows()) {
        const Setting& s = settings[row];
        try {
            if (auto message = encode_field(s, store, row, image)) {
                failures.push_back({s.control.name, *message, false});
            }
        } catch (const ConversionError& e) {
            failures.push_back({s.control.name, e.what(), true});
        }
        if (!failures.empty() && !options.all) return failures;
    }
    if (failures.empty()) finish_frame(image, options.nonce ? *options.nonce : draw_nonce());
    return failures;
}

std::optional<std::string> decode(const Registry& registry, ControlStore& store, const Image& image) {
    if (!version_matches(image)) return version_mismatch_message(image);
    const auto& settings = registry.settings();
    for (int row : registry.encode_rows()) decode_field(settings[row], store, row, image);
    return std::nullopt;
}

void save(const Registry& registry, const ControlStore& store, KeyWriter& writer) {
    const auto& settings = registry.settings();
    for (int row : registry.save_rows()) {
        const FileKey& k = *settings[row].key;
        switch (k.kind) {
            case KeyKind::Text: writer.write_string(k.section, k.name, store.text(row)); break;
            case KeyKind::Integer: writer.write_integer(k.section, k.name, parse_int(store.text(row))); break;
            case KeyKind::Index: writer.write_integer(k.section, k.name, store.index(row)); break;
            case KeyKind::Check: writer.write_integer(k.section, k.name, store.checked(row) ? 1 : 0); break;
            case KeyKind::Boolean: writer.write_bool(k.section, k.name, store.checked(row)); break;
        }
    }
}

void read(const Registry& registry, ControlStore& store, const KeyReader& reader) {
    const auto& settings = registry.settings();
    for (int row : registry.save_rows()) {
        const FileKey& k = *settings[row].key;
        switch (k.kind) {
            case KeyKind::Text: store.set_text(row, reader.read_string(k.section, k.name, k.missing_text)); break;
            case KeyKind::Integer:
                store.set_text(row, std::to_string(reader.read_integer(k.section, k.name, k.missing_value)));
                break;
            case KeyKind::Index: store.set_index(row, reader.read_integer(k.section, k.name, k.missing_value)); break;
            case KeyKind::Check:
                store.set_checked(row, reader.read_integer(k.section, k.name, k.missing_value) != 0);
                break;
            case KeyKind::Boolean: store.set_checked(row, reader.read_bool(k.section, k.name, k.missing_value != 0)); break;
        }
    }
}

}  // namespace zyvora
