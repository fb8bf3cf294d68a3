// SPDX-License-Identifier: MIT
#pragma once
// One ciphertext format, as the window and the command line use it: how its
// ciphertext is recognised, the key a password makes, the whole-text road of
// the window and the streams of the command line. The legacy hex format is
// one implementation (formats/LegacyFormat.h); CiphertextFormats
// (formats/FormatRegistry.h) holds every format this build knows and is the
// one place that tells them apart.
//
// Conventions for every method:
// - Failures come back as false with *error (when error is not null): a
//   message for the user that names no character of the password or the
//   plaintext. The command line puts the input's name before it, so a
//   stream's message names no file.
// - A Progress given is called now and then with the bytes done so far of
//   the total the command will take (total may grow by a little at the end);
//   it may be called from another thread than the caller's. When it returns
//   false the command stops as soon as it can: the call returns false with
//   *error left empty, and no output is committed.
// - Secrets (the key, the plaintext) are wiped from every buffer of the
//   format's own before the call returns.
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "formats/ByteSource.h"
#include "secret/SecretBytes.h"
#include "text/FileSink.h"
#include "text/Payload.h"

namespace quelvane {

// Bytes done of total; false to stop.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// How a stream's plaintext is taken and given back on the command line.
struct StreamOptions {
    // The input (to encrypt) or the decrypted bytes (to write) are text,
    // each format's text rule applies; else bytes exactly as they are.
    bool text = true;
    // New ciphertext as text (the legacy format's hex, age's armor) or, where
    // the format has one, its binary form.
    bool armor = true;
};

// The outcome of a stream's decryption that ran to its end.
struct StreamDecryption {
    bool wrongPassword = false;  // the key opened nothing, or the ciphertext is damaged
    bool nul = false;  // text asked for, and the plaintext holds a NUL byte: it is no text
    bool damaged = false;  // text asked for, and the plaintext is a damaged text (IsDamagedPayload)
    // What out was given is to be dropped and the decryption run once more
    // into a fresh sink: the decryptor learnt how to give it (a text read in
    // the wrong encoding at first).
    bool again = false;
};

// The outcome of a whole text's decryption for the window.
struct TextDecryption {
    QString text;  // the work text ("\n" line breaks), when the password was right
    bool wrongPassword = false;
    bool damaged = false;  // the password was right, the text damaged (IsDamagedPayload): no text
};

class CiphertextFormat {
public:
    virtual ~CiphertextFormat() = default;

    // The name the user chooses the format by ("quelvane", "age").
    virtual QString Name() const = 0;

    // How many of a file's or a text's first bytes Claims needs at most.
    static constexpr qsizetype kHeadBytes = 64;
    // True when head, the first bytes of a file or of a text as UTF-8 (at
    // most kHeadBytes, fewer when there are no more), starts a ciphertext
    // of this format for certain. The legacy format, whose hex text has no
    // mark, claims nothing: it is what is left when no other format claims.
    virtual bool Claims(QByteArrayView head) const = 0;

    // The key bytes of a password for this format, as Payload's KeyFault
    // tells faults (the callers word them).
    virtual KeyFault Key(QStringView password, SecretString& key, qsizetype* detail) const = 0;

    // --- The window: whole texts ---------------------------------------------

    // Where temporary files are kept, for formats that use them (tests
    // choose it); whether a temporary file left from an earlier run may be
    // replaced; told true and false around the stretch the user waits for.
    virtual void SetTemporaryParent(const QString& parent) { (void)parent; }
    virtual void SetOverwrite(bool allow) { (void)allow; }
    virtual void OnBusy(std::function<void(bool)> listener) { busy = std::move(listener); }
    // The temporary files of the last command, "" for none.
    virtual QString SourcePath() const { return {}; }
    virtual QString DestinationPath() const { return {}; }

    // The work text ("\n" line breaks) encrypted with the password into the
    // ciphertext text the work text box shows. False with *error, nothing
    // else done, when the password makes no key or the text cannot be taken.
    virtual bool EncryptText(const QString& password, QStringView workText, QString& ciphertext, QString* error,
                             const Progress& progress = {}) = 0;
    // Whether a work text can be this format's ciphertext at all, whatever
    // the password: the window says so and decrypts nothing otherwise.
    virtual bool IsCiphertextText(QStringView text) const = 0;
    // A ciphertext text decrypted with the password. True when the way ran
    // to its end: then either the text or a wrong password.
    virtual bool DecryptText(const QString& password, QStringView ciphertext, TextDecryption& result, QString* error,
                             const Progress& progress = {}) = 0;

    // --- The command line: streams of any size, in constant memory ------------

    // One input to encrypt, in steps, so that the password is asked only
    // once the input proved usable, and nothing is written before the input
    // was found whole.
    class StreamEncryptor {
    public:
        virtual ~StreamEncryptor() = default;
        // Looks at the input before any password. *empty (then true returned)
        // when it holds nothing to encrypt: the caller words that. False with
        // *error when it cannot be encrypted at all.
        virtual bool Inspect(bool& empty, QString* error) = 0;
        // Takes the key (from Key; it stays the caller's and outlives the
        // encryptor) and readies the input before anything is written.
        // False with *error when the input cannot be taken after all.
        virtual bool Prepare(std::string_view key, QString* error) = 0;
        // Encrypts the input into out, the ciphertext as a file stores it.
        // False with *error when the input cannot be read or changed
        // meanwhile; with *error empty when out failed (out tells why) or
        // progress stopped it. Each call reads the input from its start.
        virtual bool Encrypt(FileSink& out, QString* error, const Progress& progress = {}) = 0;
        // How many times Inspect, Prepare and Encrypt together read the
        // input, for a bar that counts what is read.
        virtual int Passes() const { return 1; }
    };
    // in stays the caller's and outlives the encryptor.
    virtual std::unique_ptr<StreamEncryptor> EncryptStream(const ByteSource& in, const StreamOptions& options) = 0;

    // One input to decrypt, in steps as above.
    class StreamDecryptor {
    public:
        virtual ~StreamDecryptor() = default;
        // Looks at the input before any password; *empty when it holds no
        // ciphertext at all (blanks only, or nothing).
        virtual bool Inspect(bool& empty, QString* error) = 0;
        // Decrypts the input with key into out; with out null it only
        // judges (the command line does so before it writes to standard
        // output, which cannot be taken back). True when the decryption ran:
        // then result tells what it was, and out holds the plaintext only when
        // result says neither wrong password nor NUL nor again. False with
        // *error when the input cannot be read, with *error empty when out
        // failed or progress stopped it. May be called more than once (for
        // again, or after judging); each run reads the input from its start.
        virtual bool Decrypt(std::string_view key, FileSink* out, StreamDecryption& result, QString* error,
                             const Progress& progress = {}) = 0;
    };
    virtual std::unique_ptr<StreamDecryptor> DecryptStream(const ByteSource& in, const StreamOptions& options) = 0;

protected:
    void Busy(bool on) const {
        if (busy) busy(on);
    }
    std::function<void(bool)> busy;
};

}  // namespace quelvane
