// SPDX-License-Identifier: MIT
#include "age/Base64.h"

#include <openssl/evp.h>

#include <array>
#include <climits>
#include <cstring>

namespace quelvane::age::base64 {
namespace {

constexpr std::array<bool, 256> MakeAlphabet() {
    std::array<bool, 256> in{};
    for (char c = 'A'; c <= 'Z'; ++c) in[std::uint8_t(c)] = true;
    for (char c = 'a'; c <= 'z'; ++c) in[std::uint8_t(c)] = true;
    for (char c = '0'; c <= '9'; ++c) in[std::uint8_t(c)] = true;
    in['+'] = in['/'] = true;
    return in;
}
constexpr std::array<bool, 256> kAlphabet = MakeAlphabet();

const unsigned char* U(const char* p) { return reinterpret_cast<const unsigned char*>(p); }

// Decodes a final group of 2 or 3 characters, filled up with 'A' (zero
// bits): canonical when the byte that filling makes is zero too.
long DecodeTail(const char* tail, std::size_t n, std::uint8_t* out) {
    char group[4] = {'A', 'A', 'A', 'A'};
    std::memcpy(group, tail, n);
    unsigned char bytes[3];
    if (EVP_DecodeBlock(bytes, U(group), 4) != 3 || bytes[n - 1] != 0) return -1;
    std::memcpy(out, bytes, n - 1);
    return long(n - 1);
}

// Alphabet characters only, any length but 1 mod 4. The library's decoder
// refuses every other character inside the text except '=', and trims
// blanks at its ends, which shortens its result: so a text without '=' that
// gives its full size was all alphabet.
long DecodeUnpadded(const char* text, std::size_t n, std::uint8_t* out) {
    if (n % 4 == 1 || n > std::size_t(INT_MAX) || std::memchr(text, '=', n)) return -1;
    const std::size_t whole = n / 4 * 4;
    long size = 0;
    if (whole) {
        size = EVP_DecodeBlock(out, U(text), int(whole));
        if (size != long(whole / 4 * 3)) return -1;
    }
    if (n > whole && !IsAlphabet(text + whole, n - whole)) return -1;
    if (n == whole) return size;
    const long tail = DecodeTail(text + whole, n - whole, out + size);
    return tail < 0 ? -1 : size + tail;
}

}  // namespace

bool IsAlphabet(const char* text, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (!kAlphabet[std::uint8_t(text[i])]) return false;
    return true;
}

std::string EncodeRaw(const std::uint8_t* data, std::size_t n) {
    std::string text(4 * ((n + 2) / 3), '\0');
    text.resize(EncodePadded(data, n, text.data()));
    while (!text.empty() && text.back() == '=') text.pop_back();
    return text;
}

bool DecodeRaw(std::string_view text, std::vector<std::uint8_t>* out) {
    out->resize(text.size() / 4 * 3 + 2);
    const long size = DecodeUnpadded(text.data(), text.size(), out->data());
    if (size < 0) return false;
    out->resize(std::size_t(size));
    return true;
}

std::size_t EncodePadded(const std::uint8_t* data, std::size_t n, char* out) {
    std::size_t written = 0;
    // EVP_EncodeBlock takes an int; a gigabyte goes in slices.
    constexpr std::size_t kSlice = std::size_t(3) << 28;
    while (n) {
        const std::size_t part = n < kSlice ? n : kSlice;
        written += std::size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out + written), data, int(part)));
        data += part;
        n -= part;
    }
    return written;
}

long DecodePadded(const char* text, std::size_t n, std::uint8_t* out) {
    if (n % 4) return -1;
    std::size_t pad = 0;
    while (pad < 2 && n > pad && text[n - 1 - pad] == '=') ++pad;
    if (pad == 0) return DecodeUnpadded(text, n, out);
    return DecodeUnpadded(text, n - pad, out);
}

}  // namespace quelvane::age::base64
