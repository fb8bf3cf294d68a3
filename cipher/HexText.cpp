#include "HexText.h"

#include <array>

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
constexpr std::array<char, 512> MakePairs() {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 512> t{};
    for (int b = 0; b < 256; ++b) {
        t[2 * b] = kDigits[b >> 4];
        t[2 * b + 1] = kDigits[b & 15];
    }
    return t;
}
constexpr auto kPairs = MakePairs();
}  // namespace

void EncodeTo(const std::uint8_t* in, std::size_t n, char* out) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        const char* pair = &kPairs[2 * in[i]];
        out[2 * i] = pair[0];
        out[2 * i + 1] = pair[1];
    }
}

std::string Encode(std::string_view bytes) {
    std::string out(2 * bytes.size(), '\0');
    EncodeTo(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out.data());
    return out;
}

}  // namespace quelvane::hextext
