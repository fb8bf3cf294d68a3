// SPDX-License-Identifier: MIT
#pragma once
// Whole-file reading and atomic saving for the file commands.
#include <QByteArray>
#include <QString>
#include <optional>

namespace quelvane {

struct FileRead {
    bool ok = false;
    QByteArray bytes;
    QString error;  // "Cannot read <path>: <reason>" when !ok
};

// Reads the whole file; a folder, a missing or unreadable file, or one too
// large for memory is an error.
FileRead ReadWholeFile(const QString& path);

// A text file's content as the work text: UTF-8 when the file is valid UTF-8
// with non-ASCII characters or starts with a byte-order mark, else byte text.
// CR LF, lone LF and lone CR all become "\n".
QString DecodeTextFile(const QByteArray& bytes);

// Replaces the file atomically with bytes (written beside it and renamed).
// Returns an error message, or nothing on success.
std::optional<QString> SaveFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace quelvane
