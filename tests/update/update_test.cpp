// The cipher, the package CRC and the layout of a remote update file.
#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "package.h"
#include "xtea.h"

namespace zyvora {
namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Published XTEA vectors (32 cycles) write the key and the block as big-endian words: key
// 000102030405060708090a0b0c0d0e0f is the words 0x00010203, 0x04050607, ..., block
// 4142434445464748 the words 0x41424344, 0x45464748. They are given here as those words; in the
// byte form of this file, where words are little-endian, that block is 44 43 42 41 48 47 46 45.
struct Vector {
    XteaKey key;
    std::array<std::uint32_t, 2> plain;
    std::array<std::uint32_t, 2> cipher;
};

constexpr XteaKey kCountingKey = {0x00010203, 0x04050607, 0x08090a0b, 0x0c0d0e0f};
constexpr XteaKey kZeroKey = {0, 0, 0, 0};

TEST(Xtea, PublishedVectorsBothWays) {
    const Vector vectors[] = {
        {kCountingKey, {0x41424344, 0x45464748}, {0x497df3d0, 0x72612cb5}},
        {kCountingKey, {0x41414141, 0x41414141}, {0xe78f2d13, 0x744341d8}},
        {kCountingKey, {0x5a5b6e27, 0x8948d77f}, {0x41414141, 0x41414141}},
        {kZeroKey, {0x41424344, 0x45464748}, {0xa0390589, 0xf8b8efa5}},
        {kZeroKey, {0x41414141, 0x41414141}, {0xed23375a, 0x821a8c2d}},
        {kZeroKey, {0x70e1225d, 0x6e4e7655}, {0x41414141, 0x41414141}},
    };
    for (const auto& v : vectors) {
        auto block = v.plain;
        xtea_encipher(block, v.key);
        EXPECT_EQ(block, v.cipher) << std::hex << v.plain[0];
        xtea_decipher(block, v.key);
        EXPECT_EQ(block, v.plain) << std::hex << v.plain[0];
    }
}

TEST(Xtea, BlocksAreLittleEndianWordsEncipheredEachOnItsOwn) {
    const std::array<std::uint8_t, 16> key_bytes = {3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12};
    EXPECT_EQ(key_from_bytes(key_bytes), kCountingKey);
    // The same block twice: without chaining both encipher alike.
    std::vector<std::uint8_t> data = {0x44, 0x43, 0x42, 0x41, 0x48, 0x47, 0x46, 0x45,
                                      0x44, 0x43, 0x42, 0x41, 0x48, 0x47, 0x46, 0x45};
    encipher_blocks(data, kCountingKey);
    const std::vector<std::uint8_t> expected = {0xd0, 0xf3, 0x7d, 0x49, 0xb5, 0x2c, 0x61, 0x72,
                                                0xd0, 0xf3, 0x7d, 0x49, 0xb5, 0x2c, 0x61, 0x72};
    EXPECT_EQ(data, expected);
    decipher_blocks(data, kCountingKey);
    EXPECT_EQ(data[0], 0x44);
    EXPECT_EQ(data[15], 0x45);
}

TEST(Xtea, UpdateKeyWordsAreLittleEndian) {
    EXPECT_EQ(update_key(), (XteaKey{0x3c0a1f5e, 0x46b8d297, 0x3ae10f6c, 0x58d7b429}));
}

// The package CRC is the standard CRC-32 without its final inversion.
TEST(PackageCrc, IsTheComplementOfStandardCrc32) {
    EXPECT_EQ(package_crc(bytes_of("abc")), 0xCADBBE3Du);
    EXPECT_EQ(~package_crc(bytes_of("abc")), 0x352441C2u);        // standard CRC-32 of "abc"
    EXPECT_EQ(~package_crc(bytes_of("123456789")), 0xCBF43926u);  // the standard check value
    EXPECT_EQ(package_crc({}), 0xFFFFFFFFu);
}

std::uint32_t le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

TEST(Package, LayoutForTheCarriedFirmwareSize) {
    std::vector<std::uint8_t> firmware(272384);
    for (std::size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<std::uint8_t>(i * 7 + 3);
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i % 251);
    // Raw numbers around and above 255 show the modulo: 254, 0, 1, 0, 255 % 255 ...
    const std::vector<std::uint32_t> raw = {254, 255, 256, 510, 0xFFFFFFFF};
    std::size_t drawn = 0;
    const auto package = build_package(image, firmware, [&] { return raw[drawn++ % raw.size()]; });

    ASSERT_EQ(package.size(), 289280u);
    EXPECT_EQ(std::vector<std::uint8_t>(package.begin(), package.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x28, 0x04, 0x00}));
    EXPECT_EQ(drawn, 504u);
    const std::vector<std::uint8_t> filler_start = {254, 0, 1, 0, 0, 254};
    EXPECT_EQ(std::vector<std::uint8_t>(package.begin() + 8, package.begin() + 14), filler_start);
    for (std::size_t at = 8; at < 512; ++at) EXPECT_LT(package[at], 255) << at;

    EXPECT_EQ(le32(package, 4), package_crc(std::span(package).subspan(512)));
    EXPECT_TRUE(std::equal(firmware.begin(), firmware.end(), package.begin() + 16896));

    std::vector<std::uint8_t> settings(package.begin() + 512, package.begin() + 16896);
    EXPECT_FALSE(std::equal(settings.begin(), settings.end(), image.begin()));
    decipher_blocks(settings, update_key());
    EXPECT_TRUE(std::equal(settings.begin(), settings.end(), image.begin()));
}

TEST(Package, EmptyFirmwareStillCarriesTheSettings) {
    const auto package = build_package(Image{}, {}, [] { return 7u; });
    ASSERT_EQ(package.size(), 16896u);
    EXPECT_EQ(le32(package, 0), 0u);
    EXPECT_EQ(package[8], 7);
    EXPECT_EQ(package[511], 7);
}

}  // namespace
}  // namespace zyvora
