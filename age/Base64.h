// SPDX-License-Identifier: MIT
#pragma once
// Base64 of RFC 4648 as age uses it: unpadded in the header, padded in the
// armor, and canonical both ways (the bits after the last byte zero). The
// transform itself is OpenSSL's; the strictness is checked here first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelvane::age::base64 {

// Unpadded.
std::string EncodeRaw(const std::uint8_t* data, std::size_t n);
// Unpadded and canonical, else false.
bool DecodeRaw(std::string_view text, std::vector<std::uint8_t>* out);

// Padded: 4 * ceil(n / 3) characters to out.
std::size_t EncodePadded(const std::uint8_t* data, std::size_t n, char* out);
// Padded and canonical, n a multiple of 4 and '=' only in the last two
// places. Writes the bytes to out (room for 3 * n / 4); their count, or -1.
long DecodePadded(const char* text, std::size_t n, std::uint8_t* out);

// Whether every character is of the alphabet (no '=', no blank).
bool IsAlphabet(const char* text, std::size_t n);

}  // namespace quelvane::age::base64
