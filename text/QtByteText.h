// SPDX-License-Identifier: MIT
#pragma once
// The byte-text rule for Qt strings: one Windows-1252 byte per character.
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quelvane {

// The bytes of text, with "\n" written as CR LF when crlf. False when a
// character has no byte; then *bad (when given) is the index of the first
// such character and bytes is empty.
bool ToByteText(QStringView text, QByteArray& bytes, qsizetype* bad = nullptr, bool crlf = false);

QString FromByteText(QByteArrayView bytes);

// A short description of the character at index i for messages, e.g. "“ā” (U+0101)".
// Never for a password: its messages name the position alone.
QString DescribeCharacter(QStringView text, qsizetype i);

// A file name or other text of the user's as a message shows it: control
// characters, line and paragraph separators and the marks that reorder text
// written as escapes ("\n", "\x1B", "\u202E"), so a name cannot break or
// disguise the message it is in.
QString ShownName(QStringView name);

// The number of the character at index i as a person counts: from 1, a
// character outside the Basic Multilingual Plane (a surrogate pair) as one.
qsizetype CharacterNumber(QStringView text, qsizetype i);

// The place of the character at index i, "line L, column C", counted as
// CharacterNumber counts.
QString PlaceInText(QStringView text, qsizetype i);

// True when the unit at index i is half of a surrogate pair without its other half.
bool IsLoneSurrogateAt(QStringView text, qsizetype i);

// Converts text from pos on into byte text at out, at most room bytes (room
// >= 2), and moves pos past what it converted. With crlf, "\n" is written as
// CR LF. Returns the bytes written; stops early, with *bad set to true, at a
// character that has no byte (pos is then its index).
qsizetype EncodeByteText(QStringView text, qsizetype& pos, char* out, qsizetype room, bool crlf, bool* bad);

// Overwrites the bytes before the array lets them go; a copy that shares
// them is only let go.
void WipeBytes(QByteArray& bytes) noexcept;

}  // namespace quelvane
