// SPDX-License-Identifier: MIT
#pragma once
// The window's whole-text road in the age format: the work text as UTF-8
// with LF line breaks, encrypted under the password's UTF-8 (as typed, not
// normalised) into an armored age text; and an age text, armored or binary,
// back into a work text when its payload is UTF-8 text (LF or CR LF). Key
// derivation takes about a second: callers run it off the UI thread.
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quelvane {

class AgeText {
public:
    enum class Failure { None, WrongPassword, WorkFactorTooHigh, Damaged, Malformed, NotText, Other };
    struct Decryption {
        QString text;  // the work text ("\n" line breaks), on success
        Failure failure = Failure::None;
    };

    // False with *error when the password or the text holds a lone surrogate
    // half (no UTF-8), or the library fails.
    static bool Encrypt(const QString& password, QStringView workText, QString& armored, QString* error,
                        int workFactor = 18);
    // False with *error and result.failure telling why; nothing of the text
    // is kept then.
    static bool Decrypt(const QString& password, QByteArrayView ageFile, Decryption& result, QString* error);
    static bool Decrypt(const QString& password, QStringView ageText, Decryption& result, QString* error);

    // Whether a text or a file's first bytes are age, armored or binary.
    static bool IsAge(QByteArrayView start);
    static bool IsAge(QStringView text);
};

}  // namespace quelvane
