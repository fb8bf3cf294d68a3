// SPDX-License-Identifier: MIT
#pragma once
// The loads of the file commands: text, hex and password files, read whole.
// Failures come back as false with *error, a message that names the path
// and the cause.
#include <QByteArray>
#include <QString>

namespace quelvane {

// The most characters the work text box holds: the count Qt's text layout
// works in. A file to load for it must not be larger in bytes.
inline constexpr qint64 kWorkTextMax = 2147483647;

// "&Load Tex File": the file decoded as the work text. Refused before it is
// read when it is larger than kWorkTextMax bytes, and after when its text
// holds a NUL character: such a file is no text.
bool LoadTextFile(const QString& path, QString& text, QString* error);

// "&Load Quelvane": the file's fields joined with nothing between them, so
// hex text split over lines or by commas is one run again; an age file as
// its armored text (a binary one armored). Refused before it is read when it
// is larger than kWorkTextMax bytes. Every load here opens a name that is
// not UTF-8 (NameFromBytes) by its own bytes.
bool LoadHexFile(const QString& path, QString& hex, QString* error);

// A password file's bytes as its password: UTF-16 after its byte-order mark
// (as text files are read), else the UTF-8 after the mark EF BB BF where it
// is valid UTF-8 after it, else the bytes as characters, one each. *utf8
// (when given) is the UTF-8 reading of a file without the mark that is
// valid UTF-8 beyond ASCII, which the rule reads otherwise; else empty. A
// NUL character, which no saved password holds, is refused, naming name.
bool PasswordOfFile(const QByteArray& bytes, const QString& name, QString& password, QString* utf8, QString* error);

// "&Load PassWord": the file's password as PasswordOfFile reads it, at most
// kPasswordMax characters of it. *length (when given) is the password's
// whole length.
bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error);

}  // namespace quelvane
