// SPDX-License-Identifier: MIT
#pragma once
// Standard input and output and the result files of quelvane-cli. Results go
// out only once complete; a file is replaced atomically or not at all.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <memory>

#include "formats/StreamCipher.h"
#include "text/FileSink.h"

namespace quelvane {
class TemporaryFolder;
}

namespace quelvane::cli {

// A file of INPUT or standard input ("-"), read by position, a piece at a
// time. A regular file is read where it is. A pipe, a terminal or standard
// input of any other kind is read to its end first, into a file of the
// run's private folder (owner-only, memory-backed where there is such
// storage, removed with the Input or by a signal). Anything else (a folder,
// a device) takes the core's whole-file read, which words the failure.
class Input {
public:
    Input() = default;
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool Open(const QString& input, TemporaryFolder& folder, QString* error);
    const ByteSource& Source() const { return *source; }

private:
    bool Keep(int from, const QString& name, TemporaryFolder& folder, QString* error);

    int fd = -1;  // ours to close
    QString kept;  // the file of the private folder, ours to remove
    QByteArray bytes;  // what the core's read gave
    std::unique_ptr<ByteSource> source;
};

// Why a standard stream failed: "it is closed" where it was closed at start.
QString StreamReason(int code);

// The name messages give an INPUT.
QString InputName(const QString& input);

// Standard output as a sink; a failure leaves its words in Error().
class StandardOutput : public FileSink {
public:
    bool Put(const char* data, qsizetype size) override;
    using FileSink::Put;
    QString Error() const;

private:
    int code = 0;
};

bool WriteStandardOutput(QByteArrayView bytes, QString* error);

// Writes bytes to path atomically and owner-only (read and write for the
// owner, nothing for others), also when it replaces a file (only with replace).
bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace);

}  // namespace quelvane::cli
