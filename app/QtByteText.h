// SPDX-License-Identifier: MIT
#pragma once
// The byte-text rule for Qt strings: one Windows-1252 byte per character.
#include <QByteArray>
#include <QString>
#include <optional>

namespace quelvane {

// The bytes of text, or nothing when a character has no byte; then *bad
// (when given) is set to the index of the first such character.
std::optional<QByteArray> ToByteText(const QString& text, qsizetype* bad = nullptr);

QString FromByteText(QByteArrayView bytes);

// A short description of the character at index i for messages, e.g. "“ā” (U+0101)".
QString DescribeCharacter(const QString& text, qsizetype i);

}  // namespace quelvane
