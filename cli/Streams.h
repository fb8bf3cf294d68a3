// SPDX-License-Identifier: MIT
#pragma once
// Standard input and output and the result files of quelvane-cli. Results go
// out only once complete; a file is replaced atomically or not at all.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <functional>
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
    // Past how much a kept input is of no use to the command: told each
    // piece as it comes, with how much came before; false, with *why, stops
    // the keeping at once.
    using Bound = std::function<bool(QByteArrayView piece, qint64 before, QString* why)>;

    Input() = default;
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    bool Open(const QString& input, TemporaryFolder& folder, QString* error, const Bound& bound = {});
    const ByteSource& Source() const { return *source; }
    // False, with *error, when a file read where it is has grown past the
    // size it had when opened (what was read of it is not all of it).
    bool EndsWhereItDid(QString* error) const;

private:
    bool Keep(int from, const QString& name, TemporaryFolder& folder, const Bound& bound, QString* error);

    int fd = -1;  // ours to close
    int readFd = -1;  // what source reads where it is, ours or standard input
    qint64 start = 0, size = 0;  // of the part of readFd read
    QString kept;  // the file of the private folder, ours to remove
    QByteArray bytes;  // what the core's read gave
    std::unique_ptr<ByteSource> source;
};

// Why a standard stream failed: "it is closed" where it was closed at start.
QString StreamReason(int code);

// Reads a whole file by its name's own bytes, as ReadWholeFile reads it,
// also where the name is not UTF-8.
bool ReadNamedFile(const QString& path, QByteArray& bytes, QString* error);

// The name messages give an INPUT.
QString InputName(const QString& input);

// Standard output as a sink; a failure leaves its words in Error(). What
// it cannot take back is held back at its end: the last bytes go out only
// with Finish, so a result that fails late never reaches the reader whole.
class StandardOutput : public FileSink {
public:
    ~StandardOutput() override;
    bool Put(const char* data, qsizetype size) override;
    using FileSink::Put;
    bool Finish();
    QString Error() const;

private:
    bool Out(const char* data, qsizetype size);

    int code = 0;
    QByteArray held;
};

// Standard output that gets nothing before the result is complete: the
// result is written into an unnamed file of the run's private folder and
// copied out by Finish only. For results that are judged as they are made
// (decrypted text), so that only what was judged goes out.
class HeldOutput : public FileSink {
public:
    explicit HeldOutput(TemporaryFolder& folder) : folder(folder) {}
    ~HeldOutput() override;
    HeldOutput(const HeldOutput&) = delete;
    HeldOutput& operator=(const HeldOutput&) = delete;
    bool Put(const char* data, qsizetype size) override;
    using FileSink::Put;
    int Descriptor() override;
    void Refused(int code) override;
    // Copies what was put to standard output; false with *error.
    bool Finish(QString* error);
    // Why Put failed, "" when it did not.
    QString Error() const { return failure; }

private:
    bool Open();

    TemporaryFolder& folder;
    int fd = -1;
    qint64 put = 0;
    QString where, failure;
};

bool WriteStandardOutput(QByteArrayView bytes, QString* error);
// False with *error when standard output was closed at start: told before
// any work rather than after it.
bool StandardOutputOpen(QString* error);

// Writes bytes to path atomically and owner-only (read and write for the
// owner, nothing for others), also when it replaces a file (only with replace).
bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace);

}  // namespace quelvane::cli
