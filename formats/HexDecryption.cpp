// SPDX-License-Identifier: MIT
#include "formats/HexDecryption.h"

#include <QCoreApplication>

#include <utility>

#include "formats/StreamCipher.h"
#include "secret/SecureWipe.h"
#include "system/Platform.h"
#include "text/Payload.h"

namespace quelvane {

namespace {

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

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
