// SPDX-License-Identifier: MIT
#pragma once
// The age v1 header: the version line, one or more stanzas, the MAC line.
//   age-encryption.org/v1
//   -> scrypt <salt> <work factor>
//   <body, base64 wrapped at 64 columns, ending in a line shorter than 64>
//   --- <MAC>
// Parsing is strict: canonical unpadded base64, full body lines of exactly
// 64 columns, arguments of visible ASCII, LF line ends only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "age/Error.h"

namespace quelvane::age {

inline constexpr std::string_view kVersionLine = "age-encryption.org/v1\n";
// Far beyond any passphrase header; a longer one is refused before it is kept.
inline constexpr std::size_t kMaxHeaderSize = 64 * 1024;

struct Stanza {
    std::vector<std::string> args;  // args[0] is the type
    std::vector<std::uint8_t> body;
};

struct Header {
    std::vector<Stanza> stanzas;
    std::string macInput;  // the header up to and including "---"
    std::array<std::uint8_t, 32> mac{};
};

// The header up to and including "---", as the MAC covers it.
std::string MarshalHeaderForMac(const std::vector<Stanza>& stanzas);
// The whole header, MAC line included.
std::string MarshalHeader(const std::vector<Stanza>& stanzas, const std::uint8_t mac[32]);

// Where the header ends in the bytes seen so far: its size with the MAC
// line's LF, 0 when the MAC line is not complete yet, or -1 when the bytes
// cannot begin a header (wrong version line, no end within kMaxHeaderSize).
// *resume keeps the start of the first line not yet seen whole, so bytes
// that come a few at a time are scanned once.
long FindHeaderEnd(std::string_view bytes, std::size_t* resume);

// text is exactly one header, the MAC line's LF last.
bool ParseHeader(std::string_view text, Header* header, Error* error);

}  // namespace quelvane::age
