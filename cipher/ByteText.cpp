// SPDX-License-Identifier: MIT
#include "cipher/ByteText.h"

#include <array>

namespace quelvane::bytetext {
namespace {

// Characters of bytes 0x80 to 0x9F; the undefined ones keep their own value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr bool InHigh(char32_t ch, std::uint8_t& byte) noexcept {
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == ch) {
            byte = static_cast<std::uint8_t>(0x80 + i);
            return true;
        }
    }
    return false;
}

constexpr std::array<char16_t, 256> MakeCharOfByte() {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b) t[b] = (b >= 0x80 && b < 0xA0) ? kHigh[b - 0x80] : static_cast<char16_t>(b);
    return t;
}

}  // namespace

const std::array<char16_t, 256> kCharOfByte = MakeCharOfByte();

std::optional<std::uint8_t> ToByte(char32_t ch) noexcept {
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<std::uint8_t>(ch);
    std::uint8_t byte = 0;
    if (InHigh(ch, byte)) return byte;
    return std::nullopt;
}

std::u16string ToUtf16(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = ToChar(static_cast<std::uint8_t>(bytes[i]));
    return text;
}

std::size_t FromUtf16(std::u16string_view text, std::string& out) {
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch < 0x80) {
            out[i] = static_cast<char>(ch);
            continue;
        }
        const auto byte = ToByte(ch);  // a lone surrogate half has none
        if (!byte) return i;
        out[i] = static_cast<char>(*byte);
    }
    return npos;
}

}  // namespace quelvane::bytetext
