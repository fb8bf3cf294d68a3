// SPDX-License-Identifier: MIT
// The hex decoder on arbitrary text, as bytes and as UTF-16 code units,
// against the pair rule written out plainly; and hex text back to bytes.
#include "cipher/HexText.h"
#include "tests/fuzz/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string bytes = quelvane::hextext::Decode(std::string_view(text));
    FUZZ_CHECK(bytes == reference::HexDecode(text));

    // The same characters as UTF-16 decode the same way.
    std::u16string widened;
    for (std::size_t i = 0; i < size; ++i) widened.push_back(data[i]);
    FUZZ_CHECK(quelvane::hextext::Decode(std::u16string_view(widened)) == bytes);

    // Pairs of input bytes as code units, so characters beyond 255 occur too.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    FUZZ_CHECK(quelvane::hextext::Decode(std::u16string_view(units)) == reference::HexDecode(units));

    // Any bytes survive encoding and decoding.
    const std::string hex = quelvane::hextext::Encode(text);
    FUZZ_CHECK(hex.size() == 2 * size);
    FUZZ_CHECK(quelvane::hextext::Decode(std::string_view(hex)) == text);
    return 0;
}
