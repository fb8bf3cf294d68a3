// SPDX-License-Identifier: MIT
#pragma once
// The way a text goes through the cipher and back, as the window's
// "&Quelvane" and "&DeQuelvane" run it: the text with the end marker and a
// line end in the source temporary file, a fresh clsBlowfish encrypting it
// into the destination temporary file, and the ciphertext read back as hex
// text; and the same backwards, where the frame and the end marker tell a
// right password from a wrong one. Both files are gone on every way out, and
// so are the key and its schedule.
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>

#include "secret/SecretBytes.h"
#include "system/TemporaryFolder.h"
#include "system/UserFiles.h"

class clsBlowfish;

namespace quelvane {

class TextCipher {
public:
    TextCipher();
    ~TextCipher();
    TextCipher(const TextCipher&) = delete;
    TextCipher& operator=(const TextCipher&) = delete;

    // Where the private folder of the temporary files is made (tests choose it).
    void SetTemporaryParent(const QString& parent) { folder.SetParent(parent); }
    // Whether the cipher may replace a destination file left from an earlier run.
    void SetOverwrite(bool allow) { overwrite = allow; }
    // Told true when the cipher starts and false when its result is read, so
    // a window can show the busy pointer for that stretch.
    void OnBusy(std::function<void(bool)> listener) { busy = std::move(listener); }

    // The temporary files of the last command ("" before the first).
    const QString& SourcePath() const { return source; }
    const QString& DestinationPath() const { return destination; }

    // The work text ("\n" line breaks) encrypted with the password, as hex
    // text: its payload in byte text or UTF-8 (core/Payload.h). False with
    // *error, and nothing else done, when the password makes no key, the text
    // holds a lone surrogate half, or a temporary file fails.
    bool Encrypt(const QString& password, QStringView workText, QString& hex, QString* error);
    // Puts a text's payload (core/Payload.h) into the source file; false to
    // give up, with its own reason.
    using PlainWriter = std::function<bool(FileSink& out)>;

    struct Decryption {
        QString text;  // the work text, when the password was right
        bool wrongPassword = false;
        bool damaged = false;  // the password was right, the payload damaged (IsDamagedPayload)
    };
    // Hex text (blanks and line breaks skipped) decrypted with the password.
    // True when the way ran to its end: then either the text or a wrong
    // password. False with *error when the password makes no key or a
    // temporary file fails.
    bool Decrypt(const QString& password, QStringView hexText, Decryption& result, QString* error);

    // Whether a work text can be ciphertext at all: pairs of hex digits once
    // blanks and line breaks (and a leading byte-order mark) are skipped, at
    // least one frame's worth (16 bytes). Anything else is no ciphertext,
    // whatever the password.
    static bool IsCiphertext(QStringView text);

    // The cipher object: between commands a fresh one that holds no key.
    const clsBlowfish* Cipher() const { return cipher.get(); }

private:
    template <class Hex>
    bool EncryptAs(const QString& password, QStringView workText, Hex& hex, QString* error);
    template <class Hex>
    bool EncryptFrom(const QString& password, const PlainWriter& writePlain, Hex& hex, QString* error);
    bool Prepare(const QString& purpose, QString* error);

    std::unique_ptr<clsBlowfish> cipher;  // replaced by a fresh one for every command
    // A decryption's ciphertext bytes, then its plaintext: kept across
    // commands, wiped after each, so that its pages are mapped only once.
    SecretBytes scratch;
    TemporaryFolder folder;
    QString folderPath, source, destination;
    bool overwrite = true;
    std::function<void(bool)> busy;
};

}  // namespace quelvane
