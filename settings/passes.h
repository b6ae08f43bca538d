#pragma once
// The generic walks over the area tables: encode, decode, save and read (defaults live in the
// registry). They show nothing; the operations report what they return.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controls.h"
#include "image.h"
#include "registry.h"

namespace zyvora {

struct Failure {
    std::string control;
    std::string message;
    bool conversion = false;  // the integer parser's error, shown by the error display
};

struct EncodeOptions {
    bool all = false;                    // go on after a failing check and report every one
    std::optional<std::uint16_t> nonce;  // fixed write nonce; drawn anew when empty
};

// Fills `image` from the controls. Empty when the image is complete; otherwise the first failure
// (or every failure with `all`), and the image is partial.
std::vector<Failure> encode(const Registry& registry, const ControlStore& store, Image& image,
                            const EncodeOptions& options = {});

// The version check, then every control from its place. On a version mismatch returns the
// message to show and changes no control.
std::optional<std::string> decode(const Registry& registry, ControlStore& store, const Image& image);

// The settings file's key operations, as the save and read passes see them.
class KeyWriter {
public:
    virtual ~KeyWriter() = default;
    virtual void write_string(const std::string& section, const std::string& key, const std::string& value) = 0;
    virtual void write_integer(const std::string& section, const std::string& key, std::int32_t value) = 0;
    virtual void write_bool(const std::string& section, const std::string& key, bool value) = 0;
};

class KeyReader {
public:
    virtual ~KeyReader() = default;
    virtual std::string read_string(const std::string& section, const std::string& key, const std::string& missing) const = 0;
    virtual std::int32_t read_integer(const std::string& section, const std::string& key, std::int32_t missing) const = 0;
    virtual bool read_bool(const std::string& section, const std::string& key, bool missing) const = 0;
};

// Throws ConversionError at the first number edit whose text is not a whole number.
void save(const Registry& registry, const ControlStore& store, KeyWriter& writer);
void read(const Registry& registry, ControlStore& store, const KeyReader& reader);

// The encode and decode of one row, for tests of a single field kind.
std::optional<std::string> encode_field(const Setting& setting, const ControlStore& store, int id, Image& image);
void decode_field(const Setting& setting, ControlStore& store, int id, const Image& image);

}  // namespace zyvora
