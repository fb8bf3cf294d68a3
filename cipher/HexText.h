#pragma once
// Hex text: two upper-case digits per byte, high digit first, no separators.
// Reading follows the pair rule: a pair is read as hex digits from the left
// and reading stops at the first non-digit, so "4f" -> 0x4F, "1G" -> 0x01,
// "G1" -> 0x00, and a final single digit gives 0 to 15. Blanks, tabs and line
// breaks are skipped before pairing, so wrapped hex text still reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace quelvane::hextext {

// Writes 2 * n characters to out.
void EncodeTo(const std::uint8_t* in, std::size_t n, char* out) noexcept;
std::string Encode(std::string_view bytes);

namespace detail {
// 0..15 for a hex digit, kSpace for a skipped character, kOther otherwise.
inline constexpr std::uint8_t kSpace = 16;
inline constexpr std::uint8_t kOther = 17;
extern const std::array<std::uint8_t, 256> kClass;

template <class Ch>
inline std::uint8_t ClassOf(Ch ch) noexcept {
    using U = std::make_unsigned_t<Ch>;
    const auto u = static_cast<U>(ch);
    return u < 256 ? kClass[u] : kOther;
}
}  // namespace detail

// Decodes text of any character type (char, char16_t) by the pair rule.
template <class Ch>
std::string Decode(std::basic_string_view<Ch> text) {
    using detail::ClassOf;
    using detail::kSpace;
    std::string out;
    out.resize((text.size() + 1) / 2);
    const Ch* p = text.data();
    const Ch* const end = p + text.size();
    std::size_t n = 0;
    // Fast path: two digits in a row, no skipped characters.
    while (end - p >= 2) {
        const std::uint8_t hi = ClassOf(p[0]);
        const std::uint8_t lo = ClassOf(p[1]);
        if ((hi | lo) < 16) {
            out[n++] = static_cast<char>((hi << 4) | lo);
            p += 2;
            continue;
        }
        if (hi == kSpace) {
            ++p;
            continue;
        }
        // Slow path: the second character of the pair may lie after blanks.
        const Ch* q = p + 1;
        std::uint8_t second = lo;
        while (second == kSpace && ++q < end) second = ClassOf(*q);
        if (q >= end) second = kSpace;  // the pair ends the text: one digit only
        std::uint8_t value = 0;
        if (hi < 16) value = second < 16 ? static_cast<std::uint8_t>((hi << 4) | second) : hi;
        out[n++] = static_cast<char>(value);
        p = q < end ? q + 1 : end;
    }
    if (p < end) {
        const std::uint8_t last = ClassOf(*p);
        if (last != kSpace) out[n++] = static_cast<char>(last < 16 ? last : 0);
    }
    out.resize(n);
    return out;
}

inline std::string Decode(std::string_view text) { return Decode<char>(text); }
inline std::string Decode(std::u16string_view text) { return Decode<char16_t>(text); }

}  // namespace quelvane::hextext
