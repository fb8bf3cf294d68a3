// SPDX-License-Identifier: MIT
#include "formats/AgeText.h"

#include <QCoreApplication>
#include <string>

#include "age/Decryptor.h"
#include "age/Detect.h"
#include "age/Encryptor.h"
#include "secret/SecretBytes.h"
#include "system/Fail.h"
#include "text/Utf8.h"

namespace quelvane {
namespace {

// UTF-8 of a text, "\n" kept as LF; false at a lone surrogate half.
bool Utf8Of(QStringView text, SecretBytes& out) {
    out.resize(std::size_t(text.size()) * 3 + 4);
    qsizetype pos = 0;
    bool bad = false;
    const qsizetype n =
        utf8::Encode(text, pos, reinterpret_cast<char*>(out.data()), qsizetype(out.size()), false, &bad);
    if (bad) return false;
    out.resize(std::size_t(n));
    return true;
}

QString AgeTextOf(const QByteArray& ascii) { return QString::fromLatin1(ascii); }

}  // namespace

bool AgeText::Encrypt(const QString& password, QStringView workText, QString& armored, QString* error, int workFactor) {
    SecretBytes pass, plain;
    if (!Utf8Of(password, pass))
        return Fail(error,
                    QCoreApplication::translate(
                        "quelvane::AgeText",
                        "The password holds half of a surrogate pair, which has no UTF-8. Nothing was changed."));
    if (!Utf8Of(workText, plain))
        return Fail(error, QCoreApplication::translate(
                               "quelvane::AgeText",
                               "The text holds half of a surrogate pair, which has no UTF-8. Nothing was changed."));
    QByteArray out;
    age::Encryptor e({true, workFactor}, [&](const std::uint8_t* p, std::size_t n) {
        out.append(reinterpret_cast<const char*>(p), qsizetype(n));
        return true;
    });
    age::Error failure;
    if (!e.Start(AsText(pass), &failure) || !e.Write(plain.data(), plain.size(), &failure) || !e.Finish(&failure))
        return Fail(error, QCoreApplication::translate("quelvane::AgeText", "The text could not be encrypted: %1")
                               .arg(QString::fromStdString(failure.message)));
    armored = AgeTextOf(out);
    return true;
}

bool AgeText::Decrypt(const QString& password, QByteArrayView ageFile, Decryption& result, QString* error) {
    result = Decryption{};
    SecretBytes pass, plain;
    if (!Utf8Of(password, pass)) {
        result.failure = Failure::WrongPassword;
        return Fail(error,
                    QCoreApplication::translate("quelvane::AgeText",
                                                "The password holds half of a surrogate pair, which has no UTF-8."));
    }
    age::Decryptor d(AsText(pass), [&](const std::uint8_t* p, std::size_t n) {
        plain.insert(plain.end(), p, p + n);
        return true;
    });
    age::Error failure;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(ageFile.data());
    if (!d.Write(bytes, std::size_t(ageFile.size()), &failure) || !d.Finish(&failure)) {
        const QString detail = QString::fromStdString(failure.message);
        switch (failure.kind) {
            case age::ErrorKind::NoStanzaOpens:
                result.failure = Failure::WrongPassword;
                return Fail(error,
                            QCoreApplication::translate("quelvane::AgeText",
                                                        "Wrong password: no stanza of the age text opens with it (%1).")
                                .arg(detail));
            case age::ErrorKind::WorkFactorTooHigh:
                result.failure = Failure::WorkFactorTooHigh;
                return Fail(error, QCoreApplication::translate("quelvane::AgeText", "Refused: %1.").arg(detail));
            case age::ErrorKind::Damaged:
                result.failure = Failure::Damaged;
                return Fail(error,
                            QCoreApplication::translate("quelvane::AgeText",
                                                        "The age text was changed or cut: %1. Nothing was decrypted.")
                                .arg(detail));
            case age::ErrorKind::Malformed:
                result.failure = Failure::Malformed;
                return Fail(
                    error,
                    QCoreApplication::translate("quelvane::AgeText", "This is no valid age text: %1.").arg(detail));
            default:
                result.failure = Failure::Other;
                return Fail(error,
                            QCoreApplication::translate("quelvane::AgeText", "The age text could not be decrypted: %1.")
                                .arg(detail));
        }
    }
    bool nonAscii = false, carriageReturn = false;
    QString text;
    if (!utf8::Decode(plain.data(), plain.size(), text, &nonAscii, &carriageReturn)) {
        result.failure = Failure::NotText;
        return Fail(error, QCoreApplication::translate(
                               "quelvane::AgeText",
                               "The age text holds data that is not UTF-8 text. Decrypt it with quelvane-cli."));
    }
    if (carriageReturn) utf8::NormaliseLineBreaks(text);
    result.text = std::move(text);
    return true;
}

bool AgeText::Decrypt(const QString& password, QStringView ageText, Decryption& result, QString* error) {
    // Armor is ASCII; any other character makes it malformed, which the
    // reader tells.
    return Decrypt(password, QByteArrayView(ageText.toLatin1()), result, error);
}

bool AgeText::IsAge(QByteArrayView start) {
    return age::DetectAge(std::string_view(start.data(), std::size_t(start.size()))) != age::AgeForm::None;
}

bool AgeText::IsAge(QStringView text) {
    // The begin line after a few blanks, or the version line: the start does.
    return IsAge(QByteArrayView(text.left(256).toLatin1()));
}

}  // namespace quelvane
