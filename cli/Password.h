// SPDX-License-Identifier: MIT
#pragma once
// The password of a command: read from a password file as "&Load PassWord"
// reads it, or asked on the controlling terminal with no echo. It never comes
// from the command line or the environment.
#include <QList>
#include <QString>
#include <QStringList>

namespace quelvane::cli {

enum class PasswordStatus { Ok, Failed, Usage };

// Another reading of the password the user may have meant, tried on a wrong
// password: the other Unicode normalisation form, or a password file's
// UTF-8 that the file's rule reads as Windows-1252. how tells which.
struct OtherReading {
    QString password;
    QString how;
};

// The password from passwordFile ("-": standard input), else typed at the
// terminal; confirm asks twice there (a typing error when encrypting would
// lock the text away). Warnings (a file longer than a password, a line
// break at its end, UTF-8 without the mark) go to warnings; the readings
// worth a second try to others.
PasswordStatus ReadPassword(const QString* passwordFile, bool confirm, QString& password, QList<OtherReading>& others,
                            QStringList& warnings, QString* error);

// A password file's bytes as its password: UTF-16 after its byte-order mark
// (as text files are read), else the UTF-8 after the mark EF BB BF, else a
// character a byte. utf8 (when given) is set to the UTF-8 reading of a file
// without a mark that is valid non-ASCII UTF-8, and cleared otherwise. False
// with *error for a file that holds a NUL character.
bool PasswordOfFile(const QByteArray& bytes, const QString& name, QString& password, QString* utf8, QString* error);

// Overwrites the characters before the string lets them go (a shared copy is
// only let go: another still holds them).
void WipeString(QString& text) noexcept;

}  // namespace quelvane::cli
