#pragma once
// The field kinds of the image, one codec object each: how a row's control goes into the image
// and back, which bytes that writes, and how much of a text the field keeps. The passes, the
// table check and the settings-file lint all ask the codec, so a kind is written in one place.
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "controls.h"
#include "image.h"
#include "table.h"

namespace zyvora {

// What a field's encode writes: `count` bytes from `first`; a flag-bit field only the bits of `mask`.
struct ByteSpan {
    std::size_t first = 0;
    std::size_t count = 0;
    unsigned mask = 0xFF;
    bool flag_bits = false;
};

// What every field kind must say. A kind in `Codec` without a complete codec object does not compile.
template <class C>
concept FieldCodec = requires(const Setting& setting, const Field& field, const ControlStore& from, ControlStore& to,
                              int id, Image& out, const Image& in) {
    // The row's control into the image; the check's message when it refuses the control's value.
    { C::encode(setting, from, id, out) } -> std::same_as<std::optional<std::string>>;
    // The image back into the row's control.
    { C::decode(setting, to, id, in) } -> std::same_as<void>;
    { C::span(field) } -> std::same_as<ByteSpan>;
    // How many bytes of a text the image keeps; nullopt where the field takes it whole or refuses it.
    { C::kept_length(field) } -> std::same_as<std::optional<std::size_t>>;
};

// A codec object as the passes call it, found by its kind.
struct CodecOps {
    std::optional<std::string> (*encode)(const Setting&, const ControlStore&, int, Image&);
    void (*decode)(const Setting&, ControlStore&, int, const Image&);
    ByteSpan (*span)(const Field&);
    std::optional<std::size_t> (*kept_length)(const Field&);
};

namespace detail {
extern const std::array<CodecOps, static_cast<std::size_t>(Codec::Count)> kCodecs;
}

// Inline: the passes ask it once per row.
inline const CodecOps& codec_ops(Codec codec) { return detail::kCodecs[static_cast<std::size_t>(codec)]; }

// A Number field's own range: 0 - 255 in one byte, 0 - 65535 in two.
inline std::int32_t number_field_max(const Field& field) { return field.size == 1 ? 0xFF : 0xFFFF; }

// What a Number field holds of `value`: its low 8 or 16 bits, as the encode stores it.
inline std::int32_t held_number(const Field& field, std::int32_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) & static_cast<std::uint32_t>(number_field_max(field)));
}

}  // namespace zyvora
