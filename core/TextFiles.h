// SPDX-License-Identifier: MIT
#pragma once
// The files of the file commands: whole-file reading, text-file decoding and
// encoding, the loads of text, hex and password files, and the one atomic
// writer of this layer. Failures come back as false with *error, a message
// that names the path and the cause.
#include <QByteArray>
#include <QString>
#include <functional>

#include "core/FileSink.h"

namespace quelvane {

// Reads the whole file: "Cannot read <path>: <reason>" for a folder, a pipe
// or device, a missing or unreadable file, or one too large for memory.
bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error);

// A text file's content as the work text: UTF-16 after its byte-order mark,
// UTF-8 when the file is valid UTF-8 with non-ASCII characters or starts with
// the UTF-8 mark, else byte text. CR LF, lone LF and lone CR all become "\n".
QString DecodeTextFile(const QByteArray& bytes);

// The bytes a work text is saved as, which DecodeTextFile reads back as the
// same text: byte text with CR LF line breaks where that reads back as it
// is; else UTF-8 (with the mark when byte text would read as something
// else); UTF-16LE with the mark for a text with a lone surrogate half.
QByteArray EncodeTextFile(const QString& text);

// Whether a file already at the target may be replaced, and whether the
// new one keeps its mode or is owner-only all the same.
enum class Existing { Refuse, Replace, ReplaceOwnerOnly };

// Writes the file at path with what produce puts, atomically: written beside
// it under a fresh name and renamed over it only when produce returned true
// and every byte was written, so a failure leaves the old file whole and
// nothing half written. When produce gives up on its own, *error is left
// empty. A symbolic link, folder, pipe, device or socket at the target is
// never written through or replaced; with Refuse, a file that exists (or
// appears meanwhile) is not either.
// A new file is owner-only (0600); a replaced one keeps its mode.
bool WriteFileAtomically(const QString& path, const std::function<bool(FileSink&)>& produce, QString* error,
                         Existing existing = Existing::Replace);
bool SaveFileAtomically(const QString& path, QByteArrayView bytes, QString* error,
                        Existing existing = Existing::Replace);

// True when a text file holds no character: empty, or a byte-order mark alone.
bool IsEmptyTextFile(QByteArrayView file);

// True when the text of a text file holds a NUL character: then it is no text.
bool TextFileHoldsNul(QByteArrayView file);

// True when a regular file is at path: what the save commands ask about
// before they replace it.
bool RegularFileExists(const QString& path);

// The most characters the work text box holds: the count Qt's text layout
// works in. A file to load for it must not be larger in bytes.
inline constexpr qint64 kWorkTextMax = 2147483647;

// "&Load Tex File": the file decoded as the work text. Refused before it is
// read when it is larger than kWorkTextMax bytes, and after when its text
// holds a NUL character: such a file is no text.
bool LoadTextFile(const QString& path, QString& text, QString* error);

// "&Load Quelvane": the file's fields joined with nothing between them, so
// hex text split over lines or by commas is one run again. Refused before it
// is read when it is larger than kWorkTextMax bytes.
bool LoadHexFile(const QString& path, QString& hex, QString* error);

// "&Load PassWord": the file's password, at most kPasswordMax characters of
// it: the UTF-8 after the mark where the file starts with it and is valid
// UTF-8 after it, else the file's bytes as characters, one each. *length
// (when given) is the password's whole length. A NUL byte, which no saved
// password holds, is refused.
bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error);

}  // namespace quelvane
