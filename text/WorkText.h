// SPDX-License-Identifier: MIT
#pragma once
// The byte form of the work text: line breaks are "\n" in the widget and
// CR LF in the bytes (temporary files, ciphertext, text files).
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quelvane {

// One Windows-1252 byte per character, "\n" written as CR LF. False when a
// character has no byte; then *bad (when given) is its index in text.
bool WorkTextToBytes(QStringView text, QByteArray& bytes, qsizetype* bad = nullptr);

// Bytes as work text: CR LF, a lone LF and a lone CR each become "\n".
QString BytesToWorkText(QByteArrayView bytes);

}  // namespace quelvane
