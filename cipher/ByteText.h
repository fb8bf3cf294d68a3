// SPDX-License-Identifier: MIT
#pragma once
// Byte text: one character per byte in Windows-1252. The five bytes that code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 control
// characters of the same value, so byte -> character -> byte is the identity.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quelvane::bytetext {

// The character of every byte (all in the Basic Multilingual Plane).
extern const std::array<char16_t, 256> kCharOfByte;

inline char16_t ToChar(std::uint8_t byte) noexcept { return kCharOfByte[byte]; }

// The byte of a character, or nothing when the code page cannot represent it.
std::optional<std::uint8_t> ToByte(char32_t ch) noexcept;

// Bytes to UTF-16 text, one unit per byte.
std::u16string ToUtf16(std::string_view bytes);

// UTF-16 text to bytes. Returns the index of the first unit that has no byte
// (out is then unspecified), or npos when the whole text converted.
inline constexpr std::size_t npos = static_cast<std::size_t>(-1);
std::size_t FromUtf16(std::u16string_view text, std::string& out);

}  // namespace quelvane::bytetext
