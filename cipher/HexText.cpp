// SPDX-License-Identifier: MIT
#include "cipher/HexText.h"

#include <array>
#include <cstring>

namespace quelvane::hextext {
namespace detail {

namespace {
constexpr std::array<std::uint8_t, 256> MakeClass() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) v = kOther;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    t[' '] = t['\t'] = t['\r'] = t['\n'] = kSpace;
    return t;
}
}  // namespace

const std::array<std::uint8_t, 256> kClass = MakeClass();

}  // namespace detail

namespace {
// Digit of a nibble by arithmetic, not a table: the loops below then become
// vector code.
template <class Ch>
inline Ch Digit(unsigned nibble) noexcept {
    return static_cast<Ch>(nibble + '0' + (nibble > 9 ? 'A' - '9' - 1 : 0));
}

// Fixed-size chunks through local copies: -O2 makes vector code only of a
// loop that needs neither a scalar remainder nor a runtime check that input
// and output do not overlap.
constexpr std::size_t kEncodeChunk = 64;

template <class Ch>
inline void EncodeChunk(const std::uint8_t* in, Ch* out) noexcept {
    std::uint8_t bytes[kEncodeChunk];
    Ch digits[2 * kEncodeChunk];
    std::memcpy(bytes, in, sizeof bytes);
    for (std::size_t i = 0; i < kEncodeChunk; ++i) {
        digits[2 * i] = Digit<Ch>(bytes[i] >> 4u);
        digits[2 * i + 1] = Digit<Ch>(bytes[i] & 15u);
    }
    std::memcpy(out, digits, sizeof digits);
}

template <class Ch>
inline void EncodeInto(const std::uint8_t* in, std::size_t n, Ch* out) noexcept {
    std::size_t i = 0;
    for (; i + kEncodeChunk <= n; i += kEncodeChunk) EncodeChunk(in + i, out + 2 * i);
    for (; i < n; ++i) {
        out[2 * i] = Digit<Ch>(in[i] >> 4u);
        out[2 * i + 1] = Digit<Ch>(in[i] & 15u);
    }
}
}  // namespace

void EncodeTo(const std::uint8_t* in, std::size_t n, char* out) noexcept { EncodeInto(in, n, out); }

void EncodeTo(const std::uint8_t* in, std::size_t n, char16_t* out) noexcept { EncodeInto(in, n, out); }

std::string Encode(std::string_view bytes) {
    std::string out(2 * bytes.size(), '\0');
    EncodeTo(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out.data());
    return out;
}

}  // namespace quelvane::hextext
