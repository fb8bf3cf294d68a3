// SPDX-License-Identifier: MIT
#pragma once
// References for the tests of the command line's hex reading: a hex file's
// hex text read whole, and "&DeQuelvane" on hex text in memory by the
// command line's stream (no temporary file, no work text), so the text comes
// back as exactly the bytes that were encrypted before the marker.
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

namespace quelvane {

// The hex text of a hex file's bytes, as "&Load Quelvane" reads it: a
// byte-order mark (UTF-8 or UTF-16) dropped, and fields split by commas or
// quotes joined again. Views bytes itself when nothing needs joining, else
// fills and views joined.
std::string_view HexFileText(QByteArrayView bytes, std::string& joined);

// True when the hex text holds nothing but blanks and line breaks.
bool IsBlankHexText(std::string_view hexText);

struct HexDecryption {
    QByteArray text;  // the bytes before the end marker, when the password was right
    bool wrongPassword = false;
};

// Hex text (blanks and line breaks skipped) decrypted with the password.
// True when the decryption ran: then either the text or a wrong password
// (which also stands for damaged hex text). False with *error when the
// password makes no key; the message names a position only.
bool DecryptHexBytes(const QString& password, std::string_view hexText, HexDecryption& result, QString* error);

}  // namespace quelvane
