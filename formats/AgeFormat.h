// SPDX-License-Identifier: MIT
#pragma once
// The age v1 passphrase format as a CiphertextFormat: armored age texts in
// the window (formats/AgeText.h), and on the command line the file's exact
// bytes, armored or binary, a piece at a time over the age library. Its
// failures keep their own messages: a wrong password, a work factor above
// the limit, a changed or cut file, a malformed one.
#include "formats/CiphertextFormat.h"

namespace quelvane {

class AgeFormat : public CiphertextFormat {
public:
    QString Name() const override { return QStringLiteral("age"); }
    bool Claims(QByteArrayView head) const override;
    // The password's UTF-8 as typed, without normalisation; a lone
    // surrogate half has none.
    KeyFault Key(QStringView password, SecretString& key, qsizetype* detail) const override;

    bool EncryptText(const QString& password, QStringView workText, QString& ciphertext, QString* error,
                     const Progress& progress = {}) override;
    bool IsCiphertextText(QStringView text) const override;
    // Every failure, a wrong password too, comes back as false with *error:
    // the window keeps the ciphertext and the password.
    bool DecryptText(const QString& password, QStringView ciphertext, TextDecryption& result, QString* error,
                     const Progress& progress = {}) override;

    std::unique_ptr<StreamEncryptor> EncryptStream(const ByteSource& in, const StreamOptions& options) override;
    // A wrong password is result.wrongPassword; a changed, cut or malformed
    // file, or a work factor above the limit, is false with *error.
    std::unique_ptr<StreamDecryptor> DecryptStream(const ByteSource& in, const StreamOptions& options) override;
};

}  // namespace quelvane
