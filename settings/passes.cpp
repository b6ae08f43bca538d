#include "passes.h"

#include "codecs.h"
#include "intparse.h"

namespace zyvora {

std::optional<std::string> encode_field(const Setting& s, const ControlStore& store, int id, Image& image) {
    return codec_ops(s.field.codec).encode(s, store, id, image);
}

void decode_field(const Setting& s, ControlStore& store, int id, const Image& image) {
    if (s.field.decoded) codec_ops(s.field.codec).decode(s, store, id, image);
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
