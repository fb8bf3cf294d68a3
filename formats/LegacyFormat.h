// SPDX-License-Identifier: MIT
#pragma once
// The legacy hex format as a CiphertextFormat: the window's road
// (TextCipher: temporary files and clsBlowfish) and the command line's
// streams (StreamCipher), with their messages as they have always been.
// The window's road reports its progress at its start and its end only, and
// stops only there; the streams report every piece they read.
#include "formats/CiphertextFormat.h"
#include "formats/TextCipher.h"

namespace quelvane {

class LegacyFormat : public CiphertextFormat {
public:
    QString Name() const override;
    bool Claims(QByteArrayView head) const override;
    KeyFault Key(QStringView password, std::string& key, qsizetype* detail) const override;

    void SetTemporaryParent(const QString& parent) override { road.SetTemporaryParent(parent); }
    void SetOverwrite(bool allow) override { road.SetOverwrite(allow); }
    void OnBusy(std::function<void(bool)> listener) override { road.OnBusy(std::move(listener)); }
    QString SourcePath() const override { return road.SourcePath(); }
    QString DestinationPath() const override { return road.DestinationPath(); }

    bool EncryptText(const QString& password, QStringView workText, QString& ciphertext, QString* error,
                     const Progress& progress = {}) override;
    bool IsCiphertextText(QStringView text) const override;
    bool DecryptText(const QString& password, QStringView ciphertext, TextDecryption& result, QString* error,
                     const Progress& progress = {}) override;

    std::unique_ptr<StreamEncryptor> EncryptStream(const ByteSource& in, const StreamOptions& options) override;
    std::unique_ptr<StreamDecryptor> DecryptStream(const ByteSource& in, const StreamOptions& options) override;

private:
    TextCipher road;
};

}  // namespace quelvane
