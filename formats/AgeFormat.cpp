// SPDX-License-Identifier: MIT
#include "formats/AgeFormat.h"

#include <QCoreApplication>

#include <unistd.h>

#include <vector>

#include "age/Decryptor.h"
#include "age/Detect.h"
#include "age/Encryptor.h"
#include "age/FileCipher.h"
#include "formats/AgeText.h"
#include "secret/SecretBytes.h"
#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "text/Utf8.h"

namespace quelvane {
namespace {

constexpr qsizetype kPiece = 1 << 20;

// Reads the whole source a piece at a time into f(data, n); false with
// *error when it cannot be read, false alone when f or progress stopped.
template <class F>
bool EachPiece(const ByteSource& in, F f, const Progress& progress, QString* error) {
    SecretBytes piece(kPiece);
    const qint64 size = in.Size();
    for (qint64 at = 0; at < size;) {
        const qsizetype n = qsizetype(std::min<qint64>(kPiece, size - at));
        if (!in.Read(at, reinterpret_cast<char*>(piece.data()), n))
            return Fail(error, QCoreApplication::translate("quelvane::AgeFormat", "it cannot be read"));
        if (!f(piece.data(), std::size_t(n))) return false;
        at += n;
        if (progress && !progress(at, size)) return false;
    }
    return true;
}

QString Message(const age::Error& e) { return QString::fromStdString(e.message); }

// A regular file to a fresh one, through age/FileCipher: reading, the cipher
// and writing on threads of their own, and an encryption's payload sealed
// while scrypt runs. Tells the source what was read, as the pieces would.
class FileRun {
public:
    FileRun(const ByteSource& in, const Progress& progress) : in(in), progress(progress) {}
    // The input's descriptor at its start, or -1 with *error.
    int Rewound(QString* error) const {
        const int fd = in.Descriptor();
        if (::lseek(fd, 0, SEEK_SET) == 0) return fd;
        Fail(error, QCoreApplication::translate("quelvane::AgeFormat", "it cannot be read"));
        return -1;
    }
    age::Progress Meter() {
        return [this](std::uint64_t done, std::uint64_t) {
            in.Consumed(qint64(done - read));
            read = done;
            return !progress || progress(qint64(done), in.Size());
        };
    }
    // False with *error empty when out refused a write (it was told why) or
    // progress stopped the run, else with the failure's words.
    static bool Failed(const age::Error& failure, FileSink* out, QString* error) {
        if (failure.kind == age::ErrorKind::Write && out) out->Refused(failure.code);
        const bool told = failure.kind == age::ErrorKind::Write || failure.kind == age::ErrorKind::Cancelled;
        return Fail(error, told ? QString() : Message(failure));
    }
    std::uint64_t read = 0;  // bytes of the input read so far

private:
    const ByteSource& in;
    const Progress& progress;
};

class AgeEncryptor : public CiphertextFormat::StreamEncryptor {
public:
    AgeEncryptor(const ByteSource& in, bool armor) : in(in), armor(armor) {}
    bool Inspect(bool& empty, QString*) override {
        empty = false;  // an empty input makes a valid age file
        return true;
    }
    bool Prepare(std::string_view k, QString*) override {
        key = k;
        return true;
    }
    bool Encrypt(FileSink& out, QString* error, const Progress& progress) override {
        if (in.Descriptor() >= 0 && out.Descriptor() >= 0) return EncryptFile(out, error, progress);
        bool outFailed = false;
        age::Encryptor e({armor, age::kDefaultWorkFactor}, [&](const std::uint8_t* p, std::size_t n) {
            outFailed = !out.Put(reinterpret_cast<const char*>(p), qsizetype(n));
            return !outFailed;
        });
        age::Error failure;
        auto failed = [&] {
            if (error) *error = outFailed ? QString() : Message(failure);
            return false;
        };
        if (!e.Start(key, &failure)) return failed();
        QString readError;
        const bool read = EachPiece(
            in, [&](const std::uint8_t* p, std::size_t n) { return e.Write(p, n, &failure); }, progress, &readError);
        if (!read)
            return readError.isEmpty() && failure.kind != age::ErrorKind::None ? failed() : Fail(error, readError);
        return e.Finish(&failure) || failed();
    }

private:
    bool EncryptFile(FileSink& out, QString* error, const Progress& progress) {
        FileRun run(in, progress);
        const int from = run.Rewound(error);
        if (from < 0) return false;
        age::Error failure;
        if (!age::EncryptFile(from, out.Descriptor(), {armor, age::kDefaultWorkFactor}, key, &failure, run.Meter()))
            return FileRun::Failed(failure, &out, error);
        // Less than was there when it was opened: what was sealed is not the input. (More is the caller's to tell.)
        return run.read >= std::uint64_t(in.Size()) ||
               Fail(error, QCoreApplication::translate("quelvane::AgeFormat", "it cannot be read"));
    }

    const ByteSource& in;
    bool armor;
    std::string_view key;
};

class AgeDecryptor : public CiphertextFormat::StreamDecryptor {
public:
    explicit AgeDecryptor(const ByteSource& in) : in(in) {}
    bool Inspect(bool& empty, QString*) override {
        empty = in.Size() == 0;
        return true;
    }
    bool Decrypt(std::string_view key, FileSink* out, StreamDecryption& result, QString* error,
                 const Progress& progress) override {
        result = StreamDecryption{};
        if (in.Descriptor() >= 0 && (!out || out->Descriptor() >= 0))
            return DecryptFile(key, out, result, error, progress);
        bool outFailed = false;
        age::Sink sink;
        if (out)
            sink = [&](const std::uint8_t* p, std::size_t n) {
                outFailed = !out->Put(reinterpret_cast<const char*>(p), qsizetype(n));
                return !outFailed;
            };
        age::Decryptor d(key, sink);
        age::Error failure;
        QString readError;
        const bool ran = EachPiece(
            in, [&](const std::uint8_t* p, std::size_t n) { return d.Write(p, n, &failure); }, progress, &readError);
        if (ran ? d.Finish(&failure) : false) return true;
        if (!readError.isEmpty()) return Fail(error, readError);
        if (outFailed || failure.kind == age::ErrorKind::None) return Fail(error, QString());  // out or progress
        if (failure.kind == age::ErrorKind::NoStanzaOpens) {
            result.wrongPassword = true;
            return true;
        }
        return Fail(error, Message(failure));
    }

private:
    bool DecryptFile(std::string_view key, FileSink* out, StreamDecryption& result, QString* error,
                     const Progress& progress) {
        FileRun run(in, progress);
        const int from = run.Rewound(error);
        if (from < 0) return false;
        age::Error failure;
        age::DecryptRun how;
        how.progress = run.Meter();
        if (age::DecryptFile(from, out ? out->Descriptor() : -1, key, &failure, how)) return true;
        if (failure.kind != age::ErrorKind::NoStanzaOpens) return FileRun::Failed(failure, out, error);
        result.wrongPassword = true;
        return true;
    }

    const ByteSource& in;
};

}  // namespace

bool AgeFormat::Claims(QByteArrayView head) const { return AgeText::IsAge(head); }

KeyFault AgeFormat::Key(QStringView password, SecretString& key, qsizetype* detail) const {
    key.assign(std::size_t(password.size()) * 3 + 4, '\0');
    qsizetype pos = 0;
    bool bad = false;
    const qsizetype n = utf8::Encode(password, pos, key.data(), qsizetype(key.size()), false, &bad);
    if (bad) {
        key.clear();  // the storage wipes itself when it goes
        if (detail) *detail = pos + 1;
        return KeyFault::LoneSurrogate;
    }
    key.resize(std::size_t(n));
    return KeyFault::None;
}

bool AgeFormat::EncryptText(const QString& password, QStringView workText, QString& ciphertext, QString* error,
                            const Progress& progress) {
    if (progress && !progress(0, 1)) return Fail(error, QString());
    Busy(true);
    const bool ok = AgeText::Encrypt(password, workText, ciphertext, error);
    Busy(false);
    if (ok && progress) progress(1, 1);
    return ok;
}

bool AgeFormat::IsCiphertextText(QStringView text) const { return AgeText::IsAge(text); }

bool AgeFormat::DecryptText(const QString& password, QStringView ciphertext, TextDecryption& result, QString* error,
                            const Progress& progress) {
    result = TextDecryption{};
    if (progress && !progress(0, 1)) return Fail(error, QString());
    AgeText::Decryption d;
    Busy(true);
    const bool ok = AgeText::Decrypt(password, ciphertext, d, error);
    Busy(false);
    if (!ok) return false;
    result.text = std::move(d.text);
    if (progress) progress(1, 1);
    return true;
}

std::unique_ptr<CiphertextFormat::StreamEncryptor> AgeFormat::EncryptStream(const ByteSource& in,
                                                                            const StreamOptions& options) {
    return std::make_unique<AgeEncryptor>(in, options.armor);
}

std::unique_ptr<CiphertextFormat::StreamDecryptor> AgeFormat::DecryptStream(const ByteSource& in,
                                                                            const StreamOptions&) {
    return std::make_unique<AgeDecryptor>(in);
}

}  // namespace quelvane
