// SPDX-License-Identifier: MIT
#pragma once
// The loads of the file commands: text, hex and password files, read whole.
// Failures come back as false with *error, a message that names the path
// and the cause.
#include <QString>

namespace quelvane {

// "&Load Tex File": the file decoded as the work text.
bool LoadTextFile(const QString& path, QString& text, QString* error);

// "&Load Quelvane": the file's fields joined with nothing between them, so
// hex text split over lines or by commas is one run again.
bool LoadHexFile(const QString& path, QString& hex, QString* error);

// "&Load PassWord": the file's password, at most kPasswordMax characters of
// it: the UTF-8 after the mark where the file starts with it and is valid
// UTF-8 after it, else the file's bytes as characters, one each. *length
// (when given) is the password's whole length. A NUL byte, which no saved
// password holds, is refused.
bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error);

}  // namespace quelvane
