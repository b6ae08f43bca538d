// Any bytes as a settings image: verified, decoded into the controls and saved to a settings
// file, as "Read config" does with what a device sends. An image is untrusted input.
#include <cstdint>

#include "fuzz_support.h"
#include "image.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

using namespace zyvora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Registry& registry = Registry::instance();
    const Image image = fuzz::image_from(data, size);

    // Framing any content with its own nonce gives a verified image, and leaves a verified
    // image exactly as it was.
    const bool verified = verify(image);
    Image framed = image;
    finish_frame(framed, get_u16(image, kNonceOffset));
    FUZZ_EXPECT(verify(framed), "a framed image does not verify");
    if (verified) FUZZ_EXPECT(framed == image, "framing a verified image changed it");

    static const ControlStore start_up = registry.make_store();
    ControlStore store = start_up;
    if (const auto mismatch = decode(registry, store, image)) {
        FUZZ_EXPECT(*mismatch == version_mismatch_message(image), "decode gave another mismatch text");
        for (int id = 0; id < static_cast<int>(store.size()); ++id) {
            FUZZ_EXPECT(fuzz::same_value(store, start_up, id), "a version mismatch changed " + store.decl(id).name);
        }
    }

    // Every number a decode gives is a whole number, so the save pass must not throw here.
    SettingsFile file;
    file.write_header();
    save(registry, store, file);
    const std::string text = file.serialise();
    FUZZ_EXPECT(!text.empty(), "a saved settings file serialised to nothing");
    return 0;
}
