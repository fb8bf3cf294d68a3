// SPDX-License-Identifier: MIT
#pragma once
// The byte form of the work text: line breaks are "\n" in the widget and
// CR LF in the bytes (temporary files, ciphertext).
#include <QByteArray>
#include <QString>
#include <optional>

namespace quelvane {

// One Windows-1252 byte per character, "\n" written as CR LF. Nothing when a
// character has no byte; then *bad (when given) is its index in text.
std::optional<QByteArray> WorkTextToBytes(const QString& text, qsizetype* bad = nullptr);

// Bytes as work text: CR LF, a lone LF and a lone CR each become "\n".
QString BytesToWorkText(QByteArrayView bytes);

// Overwrites the bytes before the array lets them go.
void WipeBytes(QByteArray& bytes) noexcept;

}  // namespace quelvane
