// SPDX-License-Identifier: MIT
// DecryptString with IsTextInHex on arbitrary text and an arbitrary key, and
// on real hex ciphertext that arrives wrapped and in mixed case.
#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>

#include "cipher/HexText.h"
#include "tests/fuzz/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string key = in.ConsumeRandomLengthString(80);
    const bool real = in.ConsumeBool();
    clsBlowfish c;

    if (!real) {
        const std::string hex = in.ConsumeRemainingBytesAsString();
        std::string text = hex;
        const std::string plain = c.DecryptString(text, key, true);
        // The caller's text now holds the decoded ciphertext.
        FUZZ_CHECK(text == reference::HexDecode(hex));
        const reference::Bytes cipher(text.begin(), text.end());
        const reference::Bytes expected = reference::DecryptByte(c, cipher);
        FUZZ_CHECK(plain == std::string(expected.begin(), expected.end()));
        return 0;
    }

    const std::size_t width = in.ConsumeIntegralInRange<std::size_t>(1, 80);
    const bool lower = in.ConsumeBool();
    const std::string plain = in.ConsumeRemainingBytesAsString();
    const std::string hex = c.EncryptString(plain, key, true);
    FUZZ_CHECK(hex.size() == 2 * ((plain.size() + 12 + 7) / 8 * 8));
    for (const char ch : hex) FUZZ_CHECK(std::isdigit(static_cast<unsigned char>(ch)) || (ch >= 'A' && ch <= 'F'));
    std::string wrapped;
    for (std::size_t i = 0; i < hex.size(); i += width) {
        std::string line = hex.substr(i, width);
        if (lower)
            for (char& ch : line) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        wrapped += line;
        wrapped += "\r\n";
    }
    clsBlowfish other;
    FUZZ_CHECK(other.DecryptString(wrapped, key, true) == plain);
    return 0;
}
