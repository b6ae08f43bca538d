#include "xtea.h"

#include "little_endian.h"

#include <cassert>

namespace zyvora {

namespace {

constexpr std::uint32_t kDelta = 0x9E3779B9;
constexpr int kCycles = 32;

constexpr std::array<std::uint8_t, 16> kUpdateKeyBytes = {0x5e, 0x1f, 0x0a, 0x3c, 0x97, 0xd2, 0xb8, 0x46,
                                                          0x6c, 0x0f, 0xe1, 0x3a, 0x29, 0xb4, 0xd7, 0x58};


template <typename Step>
void each_block(std::span<std::uint8_t> bytes, const XteaKey& key, Step step) {
    assert(bytes.size() % 8 == 0);
    for (std::size_t at = 0; at + 8 <= bytes.size(); at += 8) {
        std::array<std::uint32_t, 2> block = {le32(bytes, at), le32(bytes, at + 4)};
        step(block, key);
        put_le32(bytes, at, block[0]);
        put_le32(bytes, at + 4, block[1]);
    }
}

}  // namespace

XteaKey key_from_bytes(std::span<const std::uint8_t, 16> bytes) {
    return {le32(bytes, 0), le32(bytes, 4), le32(bytes, 8), le32(bytes, 12)};
}

XteaKey update_key() { return key_from_bytes(kUpdateKeyBytes); }

void xtea_encipher(std::array<std::uint32_t, 2>& block, const XteaKey& key) {
    std::uint32_t v0 = block[0], v1 = block[1], sum = 0;
    for (int i = 0; i < kCycles; ++i) {
        v0 += (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + key[sum & 3]);
        sum += kDelta;
        v1 += (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + key[(sum >> 11) & 3]);
    }
    block = {v0, v1};
}

void xtea_decipher(std::array<std::uint32_t, 2>& block, const XteaKey& key) {
    std::uint32_t v0 = block[0], v1 = block[1], sum = kDelta * static_cast<std::uint32_t>(kCycles);
    for (int i = 0; i < kCycles; ++i) {
        v1 -= (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + key[(sum >> 11) & 3]);
        sum -= kDelta;
        v0 -= (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + key[sum & 3]);
    }
    block = {v0, v1};
}

void encipher_blocks(std::span<std::uint8_t> bytes, const XteaKey& key) { each_block(bytes, key, xtea_encipher); }

void decipher_blocks(std::span<std::uint8_t> bytes, const XteaKey& key) { each_block(bytes, key, xtea_decipher); }

}  // namespace zyvora
