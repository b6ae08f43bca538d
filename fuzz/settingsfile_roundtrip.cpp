// A device's settings through a settings file and back: any image, given the version tag and a
// right frame, decoded, saved, serialised, parsed and read into fresh controls. Every control
// must come back as it was, except that a line break or NUL in a text (which a line of the file
// cannot hold) comes back as a space, and the file names each such text; and when no text held
// one, both sets of controls must encode to the same image.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "image.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

using namespace zyvora;

namespace {

constexpr std::uint16_t kNonce = 4321;

bool line_breaking(char c) { return c == '\r' || c == '\n' || c == '\0'; }

std::string as_saved(std::string text) {
    std::replace_if(text.begin(), text.end(), line_breaking, ' ');
    return text;
}

std::string failures_text(const std::vector<Failure>& failures) {
    std::string out;
    for (const Failure& f : failures) out += f.control + ": " + f.message + "\n";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Registry& registry = Registry::instance();
    Image image = fuzz::image_from(data, size);
    std::copy(kVersionTag.begin(), kVersionTag.end(), image.begin() + kVersionOffset);
    finish_frame(image, get_u16(image, kNonceOffset));
    FUZZ_EXPECT(verify(image), "a framed image does not verify");

    static const ControlStore start_up = registry.make_store();
    ControlStore decoded = start_up;
    FUZZ_EXPECT(!decode(registry, decoded, image), "an image with the version tag does not decode");

    SettingsFile saved;
    saved.write_header();
    save(registry, decoded, saved);
    const std::string text = saved.serialise();

    SettingsFile loaded;
    FUZZ_EXPECT(loaded.parse(text), "a saved settings file does not parse");
    FUZZ_EXPECT(loaded.read_string("!WARNING", "Application", "") == kApplicationName &&
                    loaded.read_string("!WARNING", "Version", "") == kVersionTag,
                "a saved settings file lost its header");
    ControlStore read_back = start_up;
    read(registry, read_back, loaded);

    bool any_line_break = false;
    for (int id = 0; id < static_cast<int>(decoded.size()); ++id) {
        if (decoded.decl(id).kind == ControlKind::Edit) {
            const std::string& t = decoded.text(id);
            const bool breaks = std::any_of(t.begin(), t.end(), line_breaking);
            any_line_break = any_line_break || breaks;
            if (read_back.text(id) == (breaks ? as_saved(t) : t)) continue;
        } else if (fuzz::same_value(decoded, read_back, id)) {
            continue;
        }
        fuzz::fail(decoded.decl(id).name + " went into the file as " + fuzz::value_of(decoded, id) +
                   " and came back as " + fuzz::value_of(read_back, id));
    }

    // Each text saved with spaces for its line breaks is named, in the order of the save pass.
    std::vector<std::string> replaced;
    for (int row : registry.save_rows()) {
        const FileKey& key = *registry.settings()[row].key;
        const std::string& t = decoded.text(row);
        if (key.kind == KeyKind::Text && std::any_of(t.begin(), t.end(), line_breaking)) {
            replaced.push_back("[" + key.section + "] " + key.name);
        }
    }
    if (saved.replaced() != replaced) {
        std::string listed;
        for (const auto& k : saved.replaced()) listed += " " + k;
        fuzz::fail("the texts saved with spaces for line breaks are listed as" + listed);
    }
    if (any_line_break) return 0;

    Image from_decoded, from_file;
    const auto failures_decoded = encode(registry, decoded, from_decoded, EncodeOptions{.all = true, .nonce = kNonce});
    const auto failures_file = encode(registry, read_back, from_file, EncodeOptions{.all = true, .nonce = kNonce});
    FUZZ_EXPECT(failures_text(failures_decoded) == failures_text(failures_file),
                "the controls read back fail other checks:\n" + failures_text(failures_decoded) + "against\n" +
                    failures_text(failures_file));
    if (from_decoded != from_file) {
        std::size_t at = 0;
        while (from_decoded[at] == from_file[at]) ++at;
        fuzz::fail("the controls read back encode byte " + std::to_string(at) + " as " + std::to_string(from_file[at]) +
                   ", not " + std::to_string(from_decoded[at]));
    }
    return 0;
}
