// Any bytes as a settings file: parsed, read into the controls, then encoded with every check
// run, as "Read from file" followed by "Write config" does. Checked twice: as read, and after
// the port interlocks have settled the controls.
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "image.h"
#include "passes.h"
#include "registry.h"
#include "settingsfile.h"

using namespace zyvora;

namespace {

constexpr std::uint16_t kNonce = 1234;

void encode_and_check(const Registry& registry, const ControlStore& store) {
    Image image;
    const auto failures = encode(registry, store, image, EncodeOptions{.all = true, .nonce = kNonce});
    for (const Failure& f : failures) {
        const int id = store.id(f.control);
        FUZZ_EXPECT(id >= 0, "a failure names no control: " + f.control);
        FUZZ_EXPECT(!f.message.empty(), "a failure of " + f.control + " has no message");
        if (f.conversion) {
            FUZZ_EXPECT(f.message == "'" + store.text(id) + "' is not a valid integer value",
                        "the conversion error of " + f.control + " reads " + fuzz::escaped(f.message));
        }
    }
    if (!failures.empty()) return;

    FUZZ_EXPECT(verify(image), "an image encoded without failure does not verify");
    FUZZ_EXPECT(version_matches(image), "an encoded image does not carry the version tag");
    FUZZ_EXPECT(get_u16(image, kNonceOffset) == kNonce, "the encoded image lost its fixed nonce");

    // What the device would send back decodes to controls that encode to the same bytes.
    ControlStore back = store;
    FUZZ_EXPECT(!decode(registry, back, image), "an encoded image does not decode");
    Image again;
    const auto failures_again = encode(registry, back, again, EncodeOptions{.all = true, .nonce = kNonce});
    if (!failures_again.empty()) {
        fuzz::fail("the decoded image fails to encode again: " + failures_again.front().control + ": " +
                   failures_again.front().message);
    }
    if (again != image) {
        std::size_t at = 0;
        while (again[at] == image[at]) ++at;
        fuzz::fail("encode, decode, encode changed byte " + std::to_string(at) + " from " + std::to_string(image[at]) +
                   " to " + std::to_string(again[at]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Registry& registry = Registry::instance();
    SettingsFile file;
    if (!file.parse(std::string_view(reinterpret_cast<const char*>(data), size))) return 0;
    static const ControlStore start_up = registry.make_store();
    ControlStore store = start_up;
    read(registry, store, file);
    encode_and_check(registry, store);
    registry.settle(store);
    encode_and_check(registry, store);
    return 0;
}
