// SPDX-License-Identifier: MIT
#include "cli/Streams.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <vector>

#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/TemporaryFolder.h"
#include "system/UserFiles.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

constexpr qsizetype kChunk = 256 * 1024;
// Standard input or a pipe, kept while a command reads it.
const QString kKeptName = QStringLiteral("StandardInput$$$");

bool WriteAll(int fd, const char* data, qsizetype size, int* code) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(size));
        if (n < 0) {
            if (errno == EINTR) continue;
            *code = errno;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

QString OutputError(int code) {
    return QCoreApplication::translate("quelvane::cli", "cannot write to standard output: %1").arg(StreamReason(code));
}

}  // namespace

QString StreamReason(int code) {
    // A closed stream is held by a placeholder that fails with EBADF.
    return code == EBADF ? QCoreApplication::translate("quelvane::cli", "it is closed") : qt_error_string(code);
}

bool ReadNamedFile(const QString& path, QByteArray& bytes, QString* error) {
    const QByteArray native = NameBytes(path);
    if (native == QFile::encodeName(path)) return ReadWholeFile(path, bytes, error);
    // Not UTF-8: Qt's names would open another file, so its own bytes are opened.
    const auto cannot = [&](const QString& reason) {
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2").arg(ShownName(path), reason));
    };
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return cannot(qt_error_string(errno));
    struct stat info {};
    QString reason;
    if (::fstat(fd, &info) != 0)
        reason = qt_error_string(errno);
    else if (S_ISDIR(info.st_mode))
        reason = QCoreApplication::translate("quelvane::TextFiles", "it is a folder, not a file");
    else if (!S_ISREG(info.st_mode))
        reason = QCoreApplication::translate("quelvane::TextFiles", "it is not a regular file");
    bytes.clear();
    for (char chunk[4096]; reason.isEmpty();) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) reason = qt_error_string(errno);
        if (n > 0) bytes.append(chunk, n);
        SecureWipe(chunk, sizeof chunk);
        if (n <= 0) break;
    }
    ::close(fd);
    if (reason.isEmpty()) return true;
    WipeBytes(bytes);
    return cannot(reason);
}

QString InputName(const QString& input) {
    return input.isEmpty() || input == QLatin1String("-")
               ? QCoreApplication::translate("quelvane::cli", "standard input")
               : input;
}

Input::~Input() {
    source.reset();
    if (fd >= 0) ::close(fd);
    if (!kept.isEmpty()) QFile::remove(kept);
    WipeBytes(bytes);
}

bool Input::Open(const QString& input, TemporaryFolder& folder, QString* error) {
    if (input.isEmpty() || input == QLatin1String("-")) {
        // A file given as standard input is read where it is, from where it stands.
        struct stat info {};
        const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
        if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && at >= 0 && info.st_size > at) {
            source = std::make_unique<FileSource>(STDIN_FILENO, at, info.st_size - at);
            return true;
        }
        return Keep(STDIN_FILENO, QCoreApplication::translate("quelvane::cli", "standard input"), folder, error);
    }
    fd = ::open(NameBytes(input).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat info {};
        const bool known = ::fstat(fd, &info) == 0;
        if (known && S_ISREG(info.st_mode) && info.st_size > 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            source = std::make_unique<FileSource>(fd, 0, info.st_size);
            return true;
        }
        // A pipe (a process substitution) is read to its end like standard input.
        const bool pipe = known && S_ISFIFO(info.st_mode);
        const bool kept = pipe && Keep(fd, input, folder, error);
        if (pipe) return kept;
        ::close(fd);
        fd = -1;
    }
    // Anything else takes the core's read, which also words every failure;
    // what it reads (an empty file, a pseudo-file) is small.
    if (!ReadNamedFile(input, bytes, error)) return false;
    source = std::make_unique<MemorySource>(bytes);
    return true;
}

// Reads from to its end into the kept file, written as every file is
// written, then reads that.
bool Input::Keep(int from, const QString& name, TemporaryFolder& folder, QString* error) {
    QString path, reason;
    if (!folder.Path(path, &reason))
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "Cannot keep %1 in a private temporary folder (%2)")
                        .arg(ShownName(name), reason));
    static QString registered;  // the folder whose kept file a signal removes
    if (registered != path) {
        folder.RemoveOnSignal(kKeptName);
        registered = path;
    }
    kept = path + u'/' + kKeptName;
    int code = 0;
    QString writeError;
    const bool written = WriteFileAtomically(
        kept,
        [&](FileSink& out) {
            std::vector<char> chunk(kChunk);
            bool put = true;
            for (;;) {
                const ssize_t n = ::read(from, chunk.data(), chunk.size());
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) code = errno;
                if (n <= 0 || !(put = out.Put(chunk.data(), n))) break;
            }
            SecureWipe(chunk.data(), chunk.size());
            return put && code == 0;
        },
        &writeError);
    if (code != 0)
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2")
                        .arg(ShownName(name), from == STDIN_FILENO ? StreamReason(code) : qt_error_string(code)));
    if (!written) return Fail(error, writeError);
    const int keptFd = ::open(QFile::encodeName(kept).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    struct stat info {};
    if (keptFd < 0 || ::fstat(keptFd, &info) != 0) {
        const int failure = errno;
        if (keptFd >= 0) ::close(keptFd);
        return Fail(error, QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2")
                               .arg(ShownName(name), qt_error_string(failure)));
    }
    if (fd >= 0) ::close(fd);
    fd = keptFd;
    source = std::make_unique<FileSource>(fd, 0, info.st_size);
    return true;
}

bool StandardOutput::Put(const char* data, qsizetype size) {
    return code == 0 && WriteAll(STDOUT_FILENO, data, size, &code);
}

QString StandardOutput::Error() const { return OutputError(code); }

bool WriteStandardOutput(QByteArrayView bytes, QString* error) {
    int code = 0;
    if (!WriteAll(STDOUT_FILENO, bytes.data(), bytes.size(), &code)) return Fail(error, OutputError(code));
    return true;
}

bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace) {
    // Owner-only also where it replaces a file: the new file is made so, never the old one narrowed.
    return SaveFileAtomically(path, bytes, error, replace ? Existing::ReplaceOwnerOnly : Existing::Refuse);
}

}  // namespace quelvane::cli
