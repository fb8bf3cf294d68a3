// SPDX-License-Identifier: MIT
#include "cli/UpgradeCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSet>
#include <cstdint>
#include <cstring>

#include "age/Decryptor.h"
#include "age/Encryptor.h"
#include "cli/DecryptCommand.h"
#include "cli/Progress.h"
#include "cli/Streams.h"
#include "formats/FormatRegistry.h"
#include "secret/SecretBytes.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

int Failed(const QString& name, const QString& message) {
    Report(WithName(name, message));
    return kFailed;
}

const std::uint8_t* Bytes(const char* data) { return reinterpret_cast<const std::uint8_t*>(data); }

// The text handed to the age file, held until the age file's own decryption
// gave the same bytes back. What is held is what the encryptor and the
// decryptor keep between them (a chunk, a piece of armor), whatever the
// file's size.
class Comparison {
public:
    void Expect(const std::uint8_t* data, std::size_t n) {
        if (at > 0 && at >= pending.size() / 2) {  // the matched front goes; the storage stays
            pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(at));
            at = 0;
        }
        pending.insert(pending.end(), data, data + n);
    }
    bool Take(const std::uint8_t* data, std::size_t n) {
        if (n > pending.size() - at || std::memcmp(pending.data() + at, data, n) != 0) return differs = true, false;
        at += n;
        return true;
    }
    bool Differs() const { return differs; }
    // Everything expected came back, and nothing else.
    bool Whole() const { return !differs && at == pending.size(); }

private:
    SecretBytes pending;
    std::size_t at = 0;  // what of pending came back
    bool differs = false;
};

// The decrypted text on its way into the age file, each piece expected back.
class Sealing : public FileSink {
public:
    Sealing(Comparison& compare, age::Encryptor& seal) : compare(compare), seal(seal) {}
    bool Put(const char* data, qsizetype size) override {
        compare.Expect(Bytes(data), std::size_t(size));
        return seal.Write(Bytes(data), std::size_t(size), &failure);
    }
    using FileSink::Put;
    age::Error failure;

private:
    Comparison& compare;
    age::Encryptor& seal;
};

// One FILE into its age file at target.
// noPassword: the password could not be had, which fails every FILE alike.
int UpgradeFile(Context& run, const QString& file, const QString& target, bool& noPassword) {
    Input in;
    QString error;
    if (!in.Open(file, run.folder, &error)) return Report(error), kFailed;
    if (!MayWrite(target, run.args.force, &error)) return Failed(file, error);
    const progress::CountingSource source(in.Source());
    QByteArray head;
    CiphertextFormats::ReadHead(source, head);  // unreadable: the inspection says why
    CiphertextFormat& legacy = run.formats.Legacy();
    if (&run.formats.Detect(head) != &legacy)
        return Failed(file, QCoreApplication::translate("quelvane::cli",
                                                        "it is an age file already: there is nothing to upgrade"));
    const auto decryptor = legacy.DecryptStream(source, StreamOptions{true});
    bool blank = true, can = false;
    if (!decryptor->Inspect(blank, &error)) return Failed(file, error);
    if (blank)
        return Failed(
            file, QCoreApplication::translate("quelvane::cli", "the input is empty: there is no hex text to decrypt"));
    if (!CanBeCiphertext(in.Source(), can, &error)) return Failed(file, error);
    if (!can)
        return Failed(file, QCoreApplication::translate(
                                "quelvane::cli",
                                "not Quelvane ciphertext: that is pairs of hex digits, 32 at least (blanks and line "
                                "breaks between them do not count); nothing was decrypted"));
    if (const int status = run.AskPassword()) return noPassword = true, status;
    SecretString legacyKey, ageKey;
    CiphertextFormat* age = run.formats.ByName(QStringLiteral("age"));
    if (!run.KeyOf(legacy, run.Password(), file,
                   QCoreApplication::translate("quelvane::cli", "no text can have been encrypted with it"),
                   legacyKey) ||
        !run.KeyOf(*age, run.Password(), file,
                   QCoreApplication::translate("quelvane::cli", "it cannot be used as the key"), ageKey))
        return kFailed;

    progress::Begin(in.Source().Size(), 2);
    // Judged first, so that a wrong password costs no key derivation, and
    // the text is read in the encoding this reading found.
    StreamDecryption judged;
    if (!decryptor->Decrypt(legacyKey, nullptr, judged, &error)) return Failed(file, error);
    if (judged.wrongPassword)
        return Failed(file, QCoreApplication::translate("quelvane::cli", "wrong password or damaged ciphertext"));
    if (judged.nul)
        return Failed(file, QCoreApplication::translate(
                                "quelvane::cli",
                                "the decrypted bytes hold a NUL byte, so they are no text; no age file was made"));
    if (judged.damaged)
        return Failed(file, QCoreApplication::translate("quelvane::cli",
                                                        "damaged ciphertext: the text it holds is marked as UTF-8 but "
                                                        "is not, so nothing was written"));

    QString failure;
    const auto produce = [&](FileSink& out) {
        Comparison compare;
        age::Error checkFailure;
        age::Decryptor check(ageKey, [&](const std::uint8_t* p, std::size_t n) { return compare.Take(p, n); });
        bool outFailed = false, checkFailed = false;
        age::Encryptor seal({true, age::kDefaultWorkFactor}, [&](const std::uint8_t* p, std::size_t n) {
            if (!out.Put(reinterpret_cast<const char*>(p), qsizetype(n))) return !(outFailed = true);
            return check.Write(p, n, &checkFailure) || !(checkFailed = true);
        });
        Sealing plain(compare, seal);
        age::Error sealFailure;
        StreamDecryption result;
        QString readFailure;
        const bool sealed = seal.Start(ageKey, &sealFailure) &&
                            decryptor->Decrypt(legacyKey, &plain, result, &readFailure) && !result.wrongPassword &&
                            !result.nul && !result.damaged && !result.again && seal.Finish(&sealFailure);
        if (outFailed) return false;  // the writer words it
        if (!readFailure.isEmpty()) {
            failure = readFailure;
        } else if (checkFailed || compare.Differs() || (sealed && !(check.Finish(&checkFailure) && compare.Whole()))) {
            failure = QCoreApplication::translate(
                "quelvane::cli", "the new age file does not decrypt to the text again, so it was not kept");
        } else if (!sealed && sealFailure.kind == age::ErrorKind::None && plain.failure.kind == age::ErrorKind::None) {
            failure = QCoreApplication::translate(
                "quelvane::cli", "the input changed while it was read");  // a second reading unlike the first
        } else if (!sealed) {
            const age::Error& why = sealFailure.kind != age::ErrorKind::None ? sealFailure : plain.failure;
            failure = QCoreApplication::translate("quelvane::cli", "the age file cannot be made: %1")
                          .arg(QString::fromStdString(why.message));
        }
        return failure.isEmpty();
    };
    if (!run.WriteOut(target, produce, &error)) return Failed(file, failure.isEmpty() ? error : failure);
    progress::End();
    return kDone;
}

}  // namespace

QString UpgradeTarget(const QString& file) {
    const qsizetype slash = file.lastIndexOf(u'/');
    QString name = file.mid(slash + 1);
    const QLatin1String legacy(".QvH");
    if (name.endsWith(legacy, Qt::CaseInsensitive) && name.size() > legacy.size()) name.chop(legacy.size());
    return file.left(slash + 1) + name + QStringLiteral(".age");
}

int Upgrade(Context& run) {
    QSet<QString> targets;
    bool allDone = true;
    for (const QString& file : run.args.inputs) {
        const QString target = UpgradeTarget(file);
        const QString key = QFileInfo(target).absoluteFilePath();
        if (targets.contains(key)) {
            Report(WithName(file,
                            QCoreApplication::translate("quelvane::cli", "another INPUT of this run goes to %1 already")
                                .arg(ShownName(target))));
            allDone = false;
            continue;
        }
        targets.insert(key);
        bool noPassword = false;
        const int status = UpgradeFile(run, file, target, noPassword);
        if (noPassword) return status;
        allDone = status == kDone && allDone;
    }
    return allDone ? kDone : kFailed;
}

}  // namespace quelvane::cli
