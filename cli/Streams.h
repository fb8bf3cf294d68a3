// SPDX-License-Identifier: MIT
#pragma once
// Standard input and output and the result files of quelvane-cli. Results go
// out only once complete; a file is replaced atomically or not at all.
#include <QByteArray>
#include <QString>
#include <QStringView>

namespace quelvane::cli {

// What a file of INPUT or standard input ("-") holds, whole. A regular file
// is mapped, not copied; the bytes then stay valid while the Input lives. A
// copy is overwritten when it is let go.
class Input {
public:
    Input() = default;
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool Read(const QString& input, QString* error);
    QByteArray& Bytes() { return bytes; }
    // Lets the bytes go, overwriting those of a copy (a mapping is the file itself).
    void Release();

private:
    QByteArray bytes;
    void* map = nullptr;
    std::size_t mapped = 0;
};

// The name messages give an INPUT.
QString InputName(const QString& input);

bool WriteStandardOutput(QByteArrayView bytes, QString* error);

// Hex text, all ASCII, as one byte per character: on standard output with one
// line end after it; in a file with nothing after it, as "&Save Quelvane"
// writes it.
bool WriteHexToStandardOutput(QByteArrayView hex, QString* error);
bool WriteHexFile(const QString& path, QByteArrayView hex, QString* error, bool replace);

// Writes bytes to path atomically and owner-only (read and write for the
// owner, nothing for others), also when it replaces a file (only with replace).
bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace);

}  // namespace quelvane::cli
