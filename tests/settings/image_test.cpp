#include <gtest/gtest.h>

#include "../support/expected_defaults.h"

#include <climits>
#include <cstring>
#include <optional>
#include <set>
#include <string>

#include "image.h"
#include "passes.h"
#include "registry.h"

namespace zyvora {
namespace {

Image defaults_image(std::uint16_t nonce) {
    const Registry& registry = Registry::instance();
    const ControlStore store = test::startup_store(registry);
    Image image;
    EncodeOptions options;
    options.nonce = nonce;
    EXPECT_TRUE(encode(registry, store, image, options).empty());
    return image;
}

std::uint32_t byte_sum(const Image& image, std::size_t from, std::size_t to) {
    std::uint32_t sum = 0;
    for (std::size_t i = from; i < to; ++i) sum += image[i];
    return sum;
}

void store_checksum(Image& image) {
    const std::uint32_t sum = byte_sum(image, 4, 2708);
    for (int i = 0; i < 4; ++i) image[i] = static_cast<std::uint8_t>(sum >> (8 * i));
}

std::string bytes(const Image& image, std::size_t offset, std::size_t count) {
    return std::string(reinterpret_cast<const char*>(image.data()) + offset, count);
}

TEST(ImageFrame, DefaultsImageHasTheFrame) {
    const Image image = defaults_image(4660);

    EXPECT_EQ(bytes(image, 4, 2), std::string("\x34\x12", 2));
    EXPECT_EQ(bytes(image, 6, 8), std::string("v1.13\0\0\0", 8));
    EXPECT_EQ(bytes(image, 2705, 3), "END");
    for (std::size_t i = 2708; i < kImageSize; ++i) ASSERT_EQ(image[i], 0) << "offset " << i;
    const std::uint32_t sum = byte_sum(image, 4, 2708);
    EXPECT_EQ(bytes(image, 0, 4), std::string({static_cast<char>(sum), static_cast<char>(sum >> 8),
                                               static_cast<char>(sum >> 16), static_cast<char>(sum >> 24)}));
    EXPECT_TRUE(verify(image));
}

TEST(ImageFrame, VerifyNeedsBothChecksumAndEndMarker) {
    Image image = defaults_image(0);

    Image bad_sum = image;
    bad_sum[100] ^= 1;
    EXPECT_FALSE(verify(bad_sum));

    // The checksum covers the marker, so it is recomputed: only "END" is wrong.
    Image bad_end = image;
    bad_end[2707] = 'd';
    store_checksum(bad_end);
    EXPECT_EQ(stored_checksum(bad_end), image_sum(bad_end));
    EXPECT_FALSE(verify(bad_end));

    // Bytes beyond the used region are neither summed nor checked.
    Image tail = image;
    tail[2708] = 0xFF;
    tail[kImageSize - 1] = 0xFF;
    EXPECT_TRUE(verify(tail));
}

TEST(ImageFrame, EncodesDifferOnlyInNonceAndChecksum) {
    const Registry& registry = Registry::instance();
    const ControlStore store = test::startup_store(registry);
    Image first;
    ASSERT_TRUE(encode(registry, store, first).empty());
    std::set<std::uint16_t> nonces;
    for (int i = 0; i < 200; ++i) {
        Image next;
        ASSERT_TRUE(encode(registry, store, next).empty());
        ASSERT_TRUE(verify(next));
        ASSERT_EQ(std::memcmp(first.data() + 6, next.data() + 6, kImageSize - 6), 0);
        const std::uint16_t nonce = get_u16(next, 4);
        ASSERT_LE(nonce, 9999);
        nonces.insert(nonce);
    }
    EXPECT_GT(nonces.size(), 1u);
}

TEST(ImageFrame, VersionMismatchNamesBothTagsAndChangesNoControl) {
    const Registry& registry = Registry::instance();
    ControlStore source = test::startup_store(registry);
    source.set_text("Callsign", "SP5X");
    Image image;
    ASSERT_TRUE(encode(registry, source, image).empty());

    struct Case {
        const char* tag;  // written over bytes 6..13
        const char* shown;
    };
    const Case cases[] = {
        {"v1.12\0\0\0", "v1.12"},
        // Byte 13 counts as the terminator, so at most seven characters are shown.
        {"v1.1234X", "v1.1234"},
        {"\0\0\0\0\0\0\0\0", ""},
    };
    for (const auto& c : cases) {
        Image old = image;
        std::memcpy(old.data() + 6, c.tag, 8);
        ControlStore store = test::startup_store(registry);
        const auto message = decode(registry, store, old);
        ASSERT_TRUE(message.has_value()) << c.shown;
        EXPECT_EQ(*message, std::string("Uncompatible configuration version:\nDevice: ") + c.shown +
                                "\nConfigurator: v1.13\n\nYou need to use Configurator " + c.shown +
                                " or write new configuration using \"Write config\" button.");
        EXPECT_EQ(store.text("Callsign"), "NOCALL");
    }
}

TEST(Coordinates, LatitudeAndLongitudeTexts) {
    struct Case {
        bool latitude;
        const char* text;
        std::optional<std::int32_t> packed;
        const char* back;  // text of the packed value; the input unless it differs
    };
    const Case cases[] = {
        {true, "5959.99N", 595999, nullptr},
        {true, "8959.99N", 895999, nullptr},
        {true, "5223.08S", -522308, nullptr},
        {true, "0000.00S", 0, "0000.00N"},
        {true, "9000.00N", std::nullopt, nullptr},
        {true, "5260.00N", std::nullopt, nullptr},
        {true, "5223.08n", std::nullopt, nullptr},
        {true, "5223.8N", std::nullopt, nullptr},
        {true, "05223.08N", std::nullopt, nullptr},
        {true, "5223,08N", std::nullopt, nullptr},
        {true, " 223.08N", std::nullopt, nullptr},
        {true, "5223.08E", std::nullopt, nullptr},
        {false, "01658.14E", -165814, nullptr},
        {false, "17959.99W", 1795999, nullptr},
        {false, "00000.00E", 0, "00000.00W"},
        {false, "18000.00W", std::nullopt, nullptr},
        {false, "01660.00E", std::nullopt, nullptr},
        {false, "01658.14e", std::nullopt, nullptr},
        {false, "1658.14E", std::nullopt, nullptr},
        {false, "01658.14N", std::nullopt, nullptr},
        {false, "0165a.14E", std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        const auto packed = c.latitude ? pack_latitude(c.text) : pack_longitude(c.text);
        EXPECT_EQ(packed, c.packed) << c.text;
        if (packed) {
            EXPECT_EQ(c.latitude ? latitude_text(*packed) : longitude_text(*packed), c.back ? c.back : c.text);
        }
    }
}

TEST(Coordinates, AnyDecodedValueHasAText) {
    EXPECT_EQ(latitude_text(0), "0000.00N");
    EXPECT_EQ(longitude_text(0), "00000.00W");
    EXPECT_EQ(latitude_text(INT32_MIN), "21474836.48S");
    EXPECT_EQ(longitude_text(INT32_MIN), "21474836.48E");
    EXPECT_EQ(latitude_text(INT32_MAX), "21474836.47N");
    EXPECT_EQ(longitude_text(-1), "00000.01E");
}

TEST(CallsignField, DecodesTrimmedCallAndRawSsid) {
    Image image{};
    std::memcpy(image.data() + 100, "SP5X  <", 7);
    auto field = get_callsign_field(image, 100);
    EXPECT_EQ(field.call, "SP5X");
    EXPECT_EQ(field.ssid, "12");

    std::memcpy(image.data() + 100, "AB\0CD \0", 7);
    field = get_callsign_field(image, 100);
    EXPECT_EQ(field.call, "AB");
    EXPECT_EQ(field.ssid, "208");  // (0 - '0') modulo 256
}

}  // namespace
}  // namespace zyvora
