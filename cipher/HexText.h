// SPDX-License-Identifier: MIT
#pragma once
// Hex text: two upper-case digits per byte, high digit first, no separators.
// Reading follows the pair rule: a pair is read as hex digits from the left
// and reading stops at the first non-digit, so "4f" -> 0x4F, "1G" -> 0x01,
// "G1" -> 0x00, and a final single digit gives 0 to 15. Blanks, tabs and line
// breaks are skipped before pairing, so wrapped hex text still reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

namespace quelvane::hextext {

// Writes 2 * n characters to out.
void EncodeTo(const std::uint8_t* in, std::size_t n, char* out) noexcept;
void EncodeTo(const std::uint8_t* in, std::size_t n, char16_t* out) noexcept;
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

// Characters per chunk of the fast path.
inline constexpr std::size_t kChunk = 32;

// The value of a hex digit; sets bad when ch is no hex digit.
template <class Ch>
inline std::uint8_t Nibble(Ch ch, unsigned& bad) noexcept {
    using U = std::make_unsigned_t<Ch>;
    const U c = static_cast<U>(ch);
    const U digit = static_cast<U>(c - U{'0'});
    const U letter = static_cast<U>((c | U{0x20}) - U{'a'});
    bad |= static_cast<unsigned>(digit > 9) & static_cast<unsigned>(letter > 5);
    return static_cast<std::uint8_t>(digit <= 9 ? digit : letter + 10);
}

// Decodes kChunk characters into kChunk / 2 bytes when every one of them is
// a hex digit, else returns false and leaves out alone. No branch and no
// table inside, so the compiler can turn the loop into vector code.
template <class Ch>
inline bool DecodeChunk(const Ch* p, char* out) noexcept {
    char bytes[kChunk / 2];
    unsigned bad = 0;
    for (std::size_t i = 0; i < kChunk / 2; ++i) {
        const std::uint8_t hi = Nibble(p[2 * i], bad);
        const std::uint8_t lo = Nibble(p[2 * i + 1], bad);
        bytes[i] = static_cast<char>((hi << 4) | lo);
    }
    if (bad) return false;
    std::memcpy(out, bytes, sizeof bytes);
    return true;
}

// The byte of a pair: its first character's class and its second's.
inline char Pair(std::uint8_t hi, std::uint8_t second) noexcept {
    if (hi >= 16) return 0;
    return static_cast<char>(second < 16 ? (hi << 4) | second : hi);
}

// One step of the pair rule at p (end - p >= 2): a pair, a skipped
// character, or a pair whose second digit lies after blanks. True for a
// plain pair of digits. A first character whose second lies past end is
// held in *hold (p goes to end) for the next piece.
template <class Ch>
inline bool DecodeStep(const Ch*& p, const Ch* end, char* out, std::size_t& n, std::uint8_t* hold) noexcept {
    const std::uint8_t hi = ClassOf(p[0]);
    const std::uint8_t lo = ClassOf(p[1]);
    if ((hi | lo) < 16) {
        out[n++] = static_cast<char>((hi << 4) | lo);
        p += 2;
        return true;
    }
    if (hi == kSpace) {
        ++p;
        return false;
    }
    const Ch* q = p + 1;
    std::uint8_t second = lo;
    while (second == kSpace && ++q < end) second = ClassOf(*q);
    if (q >= end) {
        *hold = hi;
        p = end;
        return false;
    }
    out[n++] = Pair(hi, second);
    p = q + 1;
    return false;
}
}  // namespace detail

// The pair rule over text that comes in pieces: each piece through Put in
// order, then Finish, give what Decode gives the whole text.
class PairDecoder {
public:
    // Decodes a piece into out, which has room for size / 2 + 1 bytes.
    // Returns the bytes written.
    template <class Ch>
    std::size_t Put(const Ch* p, std::size_t size, char* out) noexcept {
        using detail::kChunk;
        const Ch* const end = p + size;
        std::size_t n = 0;
        if (pending != kNone) {
            while (p < end && detail::ClassOf(*p) == detail::kSpace) ++p;
            if (p == end) return 0;
            out[n++] = detail::Pair(pending, detail::ClassOf(*p++));
            pending = kNone;
        }
        while (end - p >= 2) {
            if (static_cast<std::size_t>(end - p) < kChunk) {
                detail::DecodeStep(p, end, out, n, &pending);
            } else if (detail::DecodeChunk(p, out + n)) {
                p += kChunk;
                n += kChunk / 2;
            } else {
                // Not all digits: step pair by pair up to and past the first
                // character that is not a digit, then try a chunk again.
                while (end - p >= 2 && detail::DecodeStep(p, end, out, n, &pending)) {}
            }
        }
        if (p < end && detail::ClassOf(*p) != detail::kSpace) pending = detail::ClassOf(*p);
        return n;
    }
    // A first character left without a second at the end: 0 or 1 bytes.
    std::size_t Finish(char* out) noexcept {
        if (pending == kNone) return 0;
        out[0] = detail::Pair(pending, detail::kSpace);
        pending = kNone;
        return 1;
    }

private:
    static constexpr std::uint8_t kNone = 0xFF;
    std::uint8_t pending = kNone;  // the class of a first character waiting for its second
};

// Decodes text of any character type (char, char16_t) by the pair rule.
template <class Ch>
std::string Decode(std::basic_string_view<Ch> text) {
    std::string out;
    out.resize(text.size() / 2 + 1);
    PairDecoder decoder;
    std::size_t n = decoder.Put(text.data(), text.size(), out.data());
    n += decoder.Finish(out.data() + n);
    out.resize(n);
    return out;
}

inline std::string Decode(std::string_view text) { return Decode<char>(text); }
inline std::string Decode(std::u16string_view text) { return Decode<char16_t>(text); }

}  // namespace quelvane::hextext
