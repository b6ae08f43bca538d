#pragma once
// XTEA, 32 cycles, on independent 8-byte blocks whose two words are little-endian, as the device
// deciphers the settings image of a remote update file.
#include <array>
#include <cstdint>
#include <span>

namespace zyvora {

using XteaKey = std::array<std::uint32_t, 4>;

// The device's fixed key, stored as the bytes 5e1f0a3c 97d2b846 6c0fe13a 29b4d758.
XteaKey update_key();
// Key words from 16 bytes in storage order, each word little-endian.
XteaKey key_from_bytes(std::span<const std::uint8_t, 16> bytes);

void xtea_encipher(std::array<std::uint32_t, 2>& block, const XteaKey& key);
void xtea_decipher(std::array<std::uint32_t, 2>& block, const XteaKey& key);

// Every 8-byte block of `bytes` in place, without chaining. The length must be a multiple of 8.
void encipher_blocks(std::span<std::uint8_t> bytes, const XteaKey& key);
void decipher_blocks(std::span<std::uint8_t> bytes, const XteaKey& key);

}  // namespace zyvora
