// SPDX-License-Identifier: MIT
#include "cli/DecryptCommand.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string>
#include <vector>

#include "cli/Progress.h"
#include "formats/FormatRegistry.h"
#include "secret/SecretBytes.h"
#include "text/Payload.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

int Failed(const QString& name, const QString& message) {
    Report(WithName(name, message));
    return kFailed;
}

}  // namespace

bool CanBeCiphertext(const ByteSource& in, bool& can, QString* error) {
    constexpr qsizetype kLook = 64 * 1024;
    constexpr qint64 kFewestDigits = 32;  // the smallest frame: two blocks
    std::vector<unsigned char> head(static_cast<std::size_t>(std::min<qint64>(in.Size(), kLook)));
    errno = 0;
    if (!head.empty() && !in.Read(0, reinterpret_cast<char*>(head.data()), static_cast<qsizetype>(head.size()))) {
        if (error)
            *error = QCoreApplication::translate("quelvane::cli", "the input cannot be read: %1")
                         .arg(qt_error_string(errno));
        return false;
    }
    std::size_t at = 0, step = 1, low = 0;  // UTF-16: the low byte of each unit, the high one must be 0
    if (head.size() >= 2 && (head[0] == 0xFF || head[0] == 0xFE) && head[1] == (head[0] ^ 0x01)) {
        step = 2;
        low = head[0] == 0xFF ? 0 : 1;
        at = 2;
    } else if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        at = 3;
    }
    qint64 digits = 0, others = 0;
    for (; at + step <= head.size(); at += step) {
        const unsigned char c = head[at + low];
        if (step == 2 && head[at + 1 - low] != 0)
            ++others;
        else if (std::isxdigit(c))
            ++digits;
        else if (!(c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '"'))
            ++others;
    }
    can = digits >= kFewestDigits && digits >= others;
    return true;
}

namespace {

// One decryption with one key: into target, or standard output when empty.
struct Attempt {
    bool decrypted = true, written = true;
    StreamDecryption result;
    QString failure, error;
};

Attempt Decrypt(const Context& run, CiphertextFormat::StreamDecryptor& decryptor, std::string_view key,
                const QString& target) {
    Attempt a;
    const auto produce = [&](FileSink& out) {
        a.decrypted = decryptor.Decrypt(key, &out, a.result, &a.failure);
        return a.decrypted && !a.result.wrongPassword && !a.result.nul && !a.result.damaged && !a.result.again;
    };
    // Standard output too gets what was judged only: the writing holds it till then.
    a.written = run.WriteOut(target, produce, &a.error);
    // A text read in the wrong encoding at first is read again, the decryptor knowing better.
    if (!a.written && a.result.again && !a.result.wrongPassword && !a.result.nul && !a.result.damaged)
        a.written = run.WriteOut(target, produce, &a.error);
    return a;
}

// The reading of the password that opens the input, tried in turn after the
// password as read turned out wrong; key becomes its key.
const OtherReading* OpeningReading(const Context& run, const CiphertextFormat& format,
                                   CiphertextFormat::StreamDecryptor& decryptor, SecretString& key) {
    for (const OtherReading& other : run.OtherReadings()) {
        SecretString otherKey;
        qsizetype detail = 0;
        if (format.Key(other.password, otherKey, &detail) != KeyFault::None) continue;
        StreamDecryption judged;
        QString failure;
        if (decryptor.Decrypt(otherKey, nullptr, judged, &failure) && !judged.wrongPassword) {
            key.swap(otherKey);  // the key that failed goes with otherKey, wiped
            return &other;
        }
    }
    return nullptr;
}

}  // namespace

int DecryptInput(Context& run, const Input& in, const QString& name, const QString& target) {
    QString error;
    const progress::CountingSource source(in.Source());
    QByteArray head;
    CiphertextFormats::ReadHead(source, head);  // unreadable: the format's own look says why
    CiphertextFormat& format = run.formats.Detect(head);
    const auto decryptor = format.DecryptStream(source, StreamOptions{!run.args.binary});
    bool blank = true, can = false;
    if (!decryptor->Inspect(blank, &error)) return Failed(name, error);
    if (blank)
        return Failed(
            name, QCoreApplication::translate("quelvane::cli", "the input is empty: there is no hex text to decrypt"));
    if (&format == &run.formats.Legacy()) {
        if (!CanBeCiphertext(in.Source(), can, &error)) return Failed(name, error);
        if (!can)
            return Failed(name, QCoreApplication::translate(
                                    "quelvane::cli",
                                    "not Quelvane ciphertext: that is pairs of hex digits, 32 at least (blanks and "
                                    "line breaks between them do not count); nothing was decrypted"));
    }
    if (const int status = run.AskPassword()) return status;
    SecretString key;
    if (!run.KeyOf(format, run.Password(), name,
                   QCoreApplication::translate("quelvane::cli", "no text can have been encrypted with it"), key))
        return kFailed;

    progress::Begin(in.Source().Size(), 1);
    Attempt a = Decrypt(run, *decryptor, key, target);
    if (a.decrypted && a.result.wrongPassword && a.failure.isEmpty()) {
        if (const OtherReading* opened = OpeningReading(run, format, *decryptor, key)) {
            run.Warn(WithName(
                name, QCoreApplication::translate("quelvane::cli", "the password as given is wrong, but %1 opens it")
                          .arg(opened->how)));
            a = Decrypt(run, *decryptor, key, target);
        }
    }
    if (!a.failure.isEmpty()) return Failed(name, a.failure);
    if (a.decrypted && a.result.wrongPassword && &format != &run.formats.Legacy())
        return Failed(name, QCoreApplication::translate("quelvane::cli",
                                                        "wrong password: no stanza of the age file opens with it"));
    if (a.decrypted && a.result.wrongPassword)
        return Failed(name, QCoreApplication::translate("quelvane::cli", "wrong password or damaged ciphertext"));
    if (a.decrypted && a.result.damaged)
        return Failed(name, QCoreApplication::translate("quelvane::cli",
                                                        "damaged ciphertext: the text it holds is marked as UTF-8 but "
                                                        "is not, so nothing was written"));
    if (a.decrypted && a.result.nul)
        return Failed(name, QCoreApplication::translate(
                                "quelvane::cli",
                                "the decrypted bytes hold a NUL byte, so they are no text: --binary writes them as "
                                "they are"));
    if (!a.written) {
        if (target.isEmpty()) return Report(a.error), kFailed;
        return Failed(name, a.error);
    }
    progress::End();
    return kDone;
}

}  // namespace quelvane::cli
