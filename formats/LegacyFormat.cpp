// SPDX-License-Identifier: MIT
#include "formats/LegacyFormat.h"

#include <QCoreApplication>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <optional>

#include "formats/ByteSource.h"
#include "formats/StreamCipher.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

namespace quelvane {

namespace {

// Reads through to in and tells progress what was read; a false answer
// makes every later read fail, so the stream stops at its next piece.
class ReportingSource : public ByteSource {
public:
    ReportingSource(const ByteSource& in, const Progress& progress) : in(in), progress(progress) {}
    qint64 Size() const override { return in.Size(); }
    bool Read(qint64 offset, char* to, qsizetype size) const override {
        if (!stopped.load() && progress) {
            const qint64 now = done.fetch_add(size) + size;
            const std::lock_guard<std::mutex> lock(mutex);  // one call at a time, from either thread
            if (!progress(qMin(now, in.Size()), in.Size())) stopped.store(true);
        }
        if (stopped.load()) {
            errno = ECANCELED;
            return false;
        }
        return in.Read(offset, to, size);
    }
    bool Stopped() const { return stopped.load(); }

private:
    const ByteSource& in;
    const Progress& progress;
    mutable std::atomic<qint64> done{0};
    mutable std::atomic<bool> stopped{false};
    mutable std::mutex mutex;
};

// A stopped stream says nothing of its own: the one who stopped it knows.
bool Finish(bool ran, const ReportingSource& source, QString* error) {
    if (source.Stopped()) {
        if (error) error->clear();
        return false;
    }
    return ran;
}

QString InputCannotBeRead() {
    return errno ? QCoreApplication::translate("quelvane::cli", "the input cannot be read: %1")
                       .arg(qt_error_string(errno))
                 : QCoreApplication::translate("quelvane::cli", "the input changed while it was read");
}

// A text file's payload, or the input's bytes as they are; a text that
// cannot be converted a piece at a time (UTF-16, or one starting with the
// mark's characters) goes through memory, as the window takes it.
class LegacyEncryptor : public CiphertextFormat::StreamEncryptor {
public:
    LegacyEncryptor(const ByteSource& in, const StreamOptions& options) : in(in), binary(!options.text) {}

    bool Inspect(bool& empty, QString* error) override {
        empty = false;
        if (!binary && !ScanTextFile(in, layout, error)) return false;
        if (binary ? in.Size() == 0 : layout.empty) return empty = true;
        whole = !binary && layout.form == TextFileLayout::Form::Whole;
        if (whole) {
            file.bytes.resize(in.Size());
            errno = 0;
            if (!in.Read(0, file.bytes.data(), file.bytes.size())) return Fail(error, InputCannotBeRead());
            layout.nul = TextFileHoldsNul(file.bytes);
        }
        if (!binary && layout.nul)
            return Fail(error, QCoreApplication::translate("quelvane::cli",
                                                           "the input holds a NUL byte, so it is no text: --binary "
                                                           "encrypts any file's bytes as they are"));
        return FitsAFrame(binary || whole ? in.Size() : layout.payloadSize, error);
    }

    bool Prepare(std::string_view keyBytes, QString* error) override {
        key = keyBytes;
        if (!whole) return true;
        QString loneAt;
        if (!PutPayloadOfTextFile(file.bytes, payload, &loneAt))
            return Fail(error,
                        QCoreApplication::translate("quelvane::cli",
                                                    "%1 holds half of a character (a lone surrogate), which has no "
                                                    "UTF-8 form, so the text cannot be encrypted")
                            .arg(loneAt));
        WipeBytes(file.bytes);
        memory.emplace(payload.bytes);
        return true;
    }

    bool Encrypt(FileSink& out, QString* error, const Progress& progress) override {
        const ReportingSource source(memory ? static_cast<const ByteSource&>(*memory) : in, progress);
        const TextFileLayout* text = binary || whole ? nullptr : &layout;
        return Finish(EncryptToHex(source, text, key, out, error), source, error);
    }

    // A text is scanned before it is read again to be encrypted (or held whole).
    int Passes() const override { return binary ? 1 : 2; }

private:
    const ByteSource& in;
    const bool binary;
    bool whole = false;
    TextFileLayout layout;
    MemorySink file, payload;  // a whole text's file and payload
    std::optional<MemorySource> memory;
    std::string_view key;
};

class LegacyDecryptor : public CiphertextFormat::StreamDecryptor {
public:
    LegacyDecryptor(const ByteSource& in, const StreamOptions& options) : in(in) { hexOptions.text = options.text; }

    bool Inspect(bool& empty, QString* error) override { return IsBlankHexFile(in, empty, error); }

    bool Decrypt(std::string_view key, FileSink* out, StreamDecryption& result, QString* error,
                 const Progress& progress) override {
        const ReportingSource source(in, progress);
        HexDecryptionResult judged;
        const bool ran = DecryptHex(source, key, hexOptions, out, judged, error);
        result = StreamDecryption();
        result.wrongPassword = judged.wrongPassword;
        result.nul = judged.nul;
        result.damaged = judged.damaged;
        // A text read as UTF-8 that turns out to be none is read again as
        // byte text, and the other way round; a first judging tells the way.
        // A marked text that is no UTF-8 is damage, never read again.
        result.again = ran && out && !judged.damaged && judged.readAsUtf8 != judged.utf8;
        if (ran) hexOptions.utf8 = judged.utf8;
        return Finish(ran, source, error);
    }

private:
    const ByteSource& in;
    HexDecryptionOptions hexOptions;
};

}  // namespace

QString LegacyFormat::Name() const { return QStringLiteral("quelvane"); }

bool LegacyFormat::Claims(QByteArrayView) const { return false; }

KeyFault LegacyFormat::Key(QStringView password, SecretString& key, qsizetype* detail) const {
    return PasswordKey(password, key, detail);
}

bool LegacyFormat::EncryptText(const QString& password, QStringView workText, QString& ciphertext, QString* error,
                               const Progress& progress) {
    const qint64 total = workText.size();
    if (progress && !progress(0, total)) return Fail(error, QString());
    QString hex;
    if (!road.Encrypt(password, workText, hex, error)) return false;
    if (progress && !progress(total, total)) return Fail(error, QString());
    ciphertext = std::move(hex);
    return true;
}

bool LegacyFormat::IsCiphertextText(QStringView text) const { return TextCipher::IsCiphertext(text); }

bool LegacyFormat::DecryptText(const QString& password, QStringView ciphertext, TextDecryption& result, QString* error,
                               const Progress& progress) {
    const qint64 total = ciphertext.size() / 2;
    if (progress && !progress(0, total)) return Fail(error, QString());
    TextCipher::Decryption decrypted;
    if (!road.Decrypt(password, ciphertext, decrypted, error)) return false;
    if (progress && !progress(total, total)) {
        SecureWipe(decrypted.text.data(), static_cast<std::size_t>(decrypted.text.size()) * sizeof(QChar));
        return Fail(error, QString());
    }
    result.text = std::move(decrypted.text);
    result.wrongPassword = decrypted.wrongPassword;
    result.damaged = decrypted.damaged;
    return true;
}

std::unique_ptr<CiphertextFormat::StreamEncryptor> LegacyFormat::EncryptStream(const ByteSource& in,
                                                                               const StreamOptions& options) {
    return std::make_unique<LegacyEncryptor>(in, options);
}

std::unique_ptr<CiphertextFormat::StreamDecryptor> LegacyFormat::DecryptStream(const ByteSource& in,
                                                                               const StreamOptions& options) {
    return std::make_unique<LegacyDecryptor>(in, options);
}

}  // namespace quelvane
