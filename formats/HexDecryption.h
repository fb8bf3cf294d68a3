// SPDX-License-Identifier: MIT
#pragma once
// "&DeQuelvane" on hex text held in memory: the same pair rule and
// frame-and-marker test as the window's, by the command line's stream
// (formats/StreamCipher.h), but no temporary file and no work text in
// between, so the text comes back as exactly the bytes that were encrypted
// before the marker.
#include <QByteArray>
#include <QString>
#include <string_view>

namespace quelvane {

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
