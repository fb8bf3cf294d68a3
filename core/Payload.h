// SPDX-License-Identifier: MIT
#pragma once
// What the cipher takes of a text and of a password, in every language.
//
// A text whose every character has a Windows-1252 byte is its byte text,
// line breaks as CR LF: the payload the program has always encrypted, which
// every older copy reads. Any other text is the UTF-8 mark EF BB BF, then
// its UTF-8, line breaks as CR LF. Byte text that would itself read as that
// form (the mark, then valid UTF-8) takes the UTF-8 form, so it comes back
// as it was. Password files follow the same rule without the line breaks.
// A key is the password's byte text where it has one, else its UTF-8.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <string>

#include "core/FileSink.h"

namespace quelvane {

inline constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF", 3);

enum class PayloadForm { ByteText, Utf8 };

// True when bytes start with the UTF-8 mark and are valid UTF-8 after it.
bool ReadsAsUtf8(QByteArrayView bytes);

// Byte text, or the mark and UTF-8 (see above), with "\n" as CR LF when
// crlf. False at a lone surrogate half, which has no UTF-8: *bad (when
// given) is then its index and bytes is empty.
bool MarkedBytes(QStringView text, bool crlf, QByteArray& bytes, qsizetype* bad = nullptr);

// The text of such bytes: the UTF-8 after the mark where ReadsAsUtf8, else
// byte text, one character a byte.
QString FromMarkedBytes(QByteArrayView bytes);

// True when a text that has byte text must take the UTF-8 form all the same
// (it starts with the characters of the mark, and the rest would read as
// UTF-8). Looks past the first three characters only when they are those.
bool NeedsUtf8Form(QStringView text);

// Converts the work text from pos on into payload bytes of the given form
// (without the mark) at out, at most room bytes (room >= 4), and moves pos
// past what it converted; "\n" goes as CR LF. Stops early with *bad set at a
// character the form has no bytes for (pos is then its index).
qsizetype EncodePayload(QStringView text, qsizetype& pos, char* out, qsizetype room, PayloadForm form, bool* bad);

// The payload as the work text box holds it: CR LF, lone CR and lone LF as "\n".
QString PayloadToWorkText(QByteArrayView payload);

// The payload as a UTF-8 text file with LF line breaks (CR LF and a lone CR
// each become LF), for the command line. False when out fails.
bool PutUtf8TextOfPayload(QByteArrayView payload, FileSink& out);

// The payload "&Quelvane" encrypts of a text file as "&Load Tex File" loads
// it into the box (its encoding detected; line breaks of every kind, and the
// line and paragraph separators the box turns into line breaks, as CR LF),
// put straight into out without making the work text. False when out fails
// or the text holds a lone surrogate half: then *loneAt (when given) is its
// place, "line L, column C".
bool PutPayloadOfTextFile(QByteArrayView file, FileSink& out, QString* loneAt = nullptr);

enum class KeyFault { None, LoneSurrogate, TooLong };

// The key bytes of a password; wiped by their owner. TooLong past
// kPasswordMax bytes (*detail the byte count), LoneSurrogate at a lone
// surrogate half (*detail its character number, from 1).
KeyFault PasswordKey(QStringView password, std::string& key, qsizetype* detail);

// The window's message for a key fault: the position or the byte count,
// never a character of the password.
QString KeyFaultMessage(KeyFault fault, qsizetype detail, const QString& consequence);

}  // namespace quelvane
