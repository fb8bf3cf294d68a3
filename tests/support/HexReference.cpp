// SPDX-License-Identifier: MIT
#include "tests/support/HexReference.h"

#include <QCoreApplication>

#include <cstring>
#include <utility>

#include "formats/StreamCipher.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/Platform.h"
#include "text/FieldReader.h"
#include "text/Payload.h"

namespace quelvane {

namespace {

// Fields joined with nothing between them, as the hex-file load joins them.
void JoinFields(std::string_view text, std::string& joined) {
    std::string out;
    out.reserve(text.size());
    FieldReader reader(text);
    while (!reader.AtEnd()) out += reader.ReadNextField();
    joined = std::move(out);
}

}  // namespace

std::string_view HexFileText(QByteArrayView bytes, std::string& joined) {
    std::string_view text(bytes.data(), static_cast<std::size_t>(bytes.size()));
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        // UTF-16: only ASCII matters to the pair rule; any other unit stays
        // something that is no digit, no blank and no delimiter.
        const bool little = at(0) == 0xFF;
        std::string narrow;
        narrow.reserve(text.size() / 2);
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            const unsigned unit = little ? at(i) | at(i + 1) << 8 : at(i) << 8 | at(i + 1);
            narrow += static_cast<char>(unit < 0x80 ? unit : 0xFF);
        }
        JoinFields(narrow, joined);
        return joined;
    }
    if (text.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) text.remove_prefix(3);
    // Without commas and quotes the fields are the lines less their leading
    // blanks, and the pair rule skips line breaks and blanks anyway.
    const bool delimited =
        !text.empty() && (std::memchr(text.data(), ',', text.size()) || std::memchr(text.data(), '"', text.size()));
    if (!delimited) return text;
    JoinFields(text, joined);
    return joined;
}

bool IsBlankHexText(std::string_view hexText) { return hexText.find_first_not_of(" \t\r\n") == std::string_view::npos; }

bool DecryptHexBytes(const QString& password, std::string_view hexText, HexDecryption& result, QString* error) {
    result = HexDecryption();
    std::string key;
    qsizetype detail = 0;
    const KeyFault fault = PasswordKey(password, key, &detail);
    if (fault != KeyFault::None)
        return Fail(error, KeyFaultMessage(fault, detail,
                                           QCoreApplication::translate("quelvane::TextCipher",
                                                                       "no text can have been encrypted with it")));
    // The command line's stream over the text in memory, read as hex text.
    MemorySink text;
    HexDecryptionResult judged;
    HexDecryptionOptions options;
    options.fileRules = false;
    const bool decrypted = DecryptHex(MemorySource(QByteArrayView(hexText.data(), qsizetype(hexText.size()))), key,
                                      options, &text, judged, error);
    SecureWipe(key);
    ScrubStack();
    if (!decrypted) return false;
    if (judged.wrongPassword)
        result.wrongPassword = true;
    else
        std::swap(result.text, text.bytes);
    return true;
}

}  // namespace quelvane
