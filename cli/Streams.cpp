// SPDX-License-Identifier: MIT
#include "cli/Streams.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "secret/SecureWipe.h"
#include "system/Fail.h"
#include "system/TemporaryFolder.h"
#include "system/UserFiles.h"
#include "text/QtByteText.h"

namespace quelvane::cli {

namespace {

constexpr qsizetype kChunk = 256 * 1024;
// What standard output holds back of a result made as it goes out.
constexpr qsizetype kHeld = 64 * 1024;
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

bool OutOfRoom(int code) {
#if defined(EDQUOT)
    if (code == EDQUOT) return true;
#endif
    return code == ENOSPC;
}

// Why the private folder could not take a file: no room is worth the words.
QString RoomReason(int code, const QString& folder) {
    if (!OutOfRoom(code)) return qt_error_string(code);
    // The folder's parent is the place the user knows (and can clear or change).
    return QCoreApplication::translate("quelvane::cli", "there is no room left in %1 (%2)")
        .arg(ShownName(QFileInfo(folder).path()), qt_error_string(code));
}

}  // namespace

QString StreamReason(int code) {
    // A closed stream is held by a placeholder that fails with EBADF.
    return code == EBADF ? QCoreApplication::translate("quelvane::cli", "it is closed") : qt_error_string(code);
}

bool ReadNamedFile(const QString& path, QByteArray& bytes, QString* error) {
    if (NameBytes(path) == QFile::encodeName(path)) return ReadWholeFile(path, bytes, error);
    // Not UTF-8: Qt's names would open another file, so its own bytes are opened.
    const QString reason = ReadFileByNameBytes(path, bytes);
    return reason.isEmpty() ||
           Fail(error, QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2").arg(ShownName(path), reason));
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

bool Input::EndsWhereItDid(QString* error) const {
    if (readFd < 0) return true;
    // One byte past the end tells growth even where the size is not yet updated.
    char past = 0;
    struct stat info {};
    ssize_t n = 0;
    do n = ::pread(readFd, &past, 1, static_cast<off_t>(start + size));
    while (n < 0 && errno == EINTR);
    SecureWipe(&past, 1);
    if (n <= 0 && (::fstat(readFd, &info) != 0 || info.st_size <= start + size)) return true;
    return Fail(error, QCoreApplication::translate(
                           "quelvane::cli",
                           "the input grew while it was read (it had %1 bytes); nothing was written: try again "
                           "once nothing writes to it")
                           .arg(size));
}

bool Input::Open(const QString& input, TemporaryFolder& folder, QString* error, const Bound& bound) {
    if (input.isEmpty() || input == QLatin1String("-")) {
        // A file given as standard input is read where it is, from where it stands.
        struct stat info {};
        const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
        if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && at >= 0 && info.st_size > at) {
            readFd = STDIN_FILENO, start = at, size = info.st_size - at;
            source = std::make_unique<FileSource>(STDIN_FILENO, at, info.st_size - at);
            return true;
        }
        return Keep(STDIN_FILENO, QCoreApplication::translate("quelvane::cli", "standard input"), folder, bound, error);
    }
    fd = ::open(NameBytes(input).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat info {};
        const bool known = ::fstat(fd, &info) == 0;
        if (known && S_ISREG(info.st_mode) && info.st_size > 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            readFd = fd, start = 0, size = info.st_size;
            source = std::make_unique<FileSource>(fd, 0, info.st_size);
            return true;
        }
        // A pipe (a process substitution) is read to its end like standard input.
        const bool pipe = known && S_ISFIFO(info.st_mode);
        const bool kept = pipe && Keep(fd, input, folder, bound, error);
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
bool Input::Keep(int from, const QString& name, TemporaryFolder& folder, const Bound& bound, QString* error) {
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
    int code = 0, putCode = 0;
    qint64 total = 0;
    QString writeError, why;
    const bool written = WriteFileAtomically(
        kept,
        [&](FileSink& out) {
            std::vector<char> chunk(kChunk);
            bool put = true;
            for (;;) {
                const ssize_t n = ::read(from, chunk.data(), chunk.size());
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) code = errno;
                if (n <= 0) break;
                if (bound && !bound(QByteArrayView(chunk.data(), n), total, &why)) break;
                if (!(put = out.Put(chunk.data(), n))) {
                    putCode = errno;
                    break;
                }
                total += n;
            }
            SecureWipe(chunk.data(), chunk.size());
            return put && code == 0 && why.isEmpty();
        },
        &writeError);
    if (code != 0)
        return Fail(error,
                    QCoreApplication::translate("quelvane::cli", "Cannot read %1: %2")
                        .arg(ShownName(name), from == STDIN_FILENO ? StreamReason(code) : qt_error_string(code)));
    if (!why.isEmpty()) return Fail(error, QStringLiteral("%1: %2").arg(ShownName(name), why));
    // The writer's words name the kept file; the user knows the folder.
    if (!written && OutOfRoom(putCode))
        return Fail(error, QCoreApplication::translate(
                               "quelvane::cli", "Cannot keep %1 in a private temporary folder: %2; nothing was kept")
                               .arg(ShownName(name), RoomReason(putCode, path)));
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

StandardOutput::~StandardOutput() { WipeBytes(held); }

bool StandardOutput::Out(const char* data, qsizetype size) {
    return code == 0 && WriteAll(STDOUT_FILENO, data, size, &code);
}

bool StandardOutput::Put(const char* data, qsizetype size) {
    if (held.size() + size <= kHeld) return held.append(data, size), true;
    // All but the last kHeld bytes of what is held and what comes go out.
    qsizetype go = held.size() + size - kHeld;
    const qsizetype fromHeld = std::min(go, held.size());
    if (fromHeld > 0) {
        if (!Out(held.constData(), fromHeld)) return false;
        held.remove(0, fromHeld);
        go -= fromHeld;
    }
    if (go > 0 && !Out(data, go)) return false;
    held.append(data + go, size - go);
    return true;
}

bool StandardOutput::Finish() {
    const bool out = Out(held.constData(), held.size());
    WipeBytes(held);
    return out;
}

QString StandardOutput::Error() const { return OutputError(code); }

HeldOutput::~HeldOutput() {
    if (fd >= 0) ::close(fd);  // unnamed: its bytes go with it
}

bool HeldOutput::Open() {
    QString reason;
    if (!folder.Path(where, &reason)) {
        failure =
            QCoreApplication::translate("quelvane::cli", "Cannot hold the result in a private temporary folder (%1)")
                .arg(reason);
        return false;
    }
    const QByteArray name = QFile::encodeName(where);
#if defined(O_TMPFILE)
    fd = ::open(name.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        // No unnamed files here: a named one, gone from the folder at once.
        QByteArray pattern = name + "/Held-XXXXXX";
        fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(pattern.constData());
    }
    if (fd >= 0) return true;
    failure = QCoreApplication::translate("quelvane::cli", "Cannot hold the result in a private temporary folder (%1)")
                  .arg(RoomReason(errno, where));
    return false;
}

bool HeldOutput::Put(const char* data, qsizetype size) {
    if (!failure.isEmpty() || (fd < 0 && !Open())) return false;
    int code = 0;
    if (WriteAll(fd, data, size, &code)) return put += size, true;
    Refused(code);
    return false;
}

int HeldOutput::Descriptor() { return put > 0 || !failure.isEmpty() || (fd < 0 && !Open()) ? -1 : fd; }

void HeldOutput::Refused(int code) {
    failure = QCoreApplication::translate("quelvane::cli",
                                          "Cannot hold the result in a private temporary folder: %1; nothing was "
                                          "written (--output FILE needs no room there)")
                  .arg(RoomReason(code, where));
}

bool HeldOutput::Finish(QString* error) {
    if (!failure.isEmpty()) return Fail(error, failure);
    // What the file holds, put here or written through Descriptor.
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) != 0)
        return Fail(error, QCoreApplication::translate("quelvane::cli", "Cannot read the held result: %1")
                               .arg(qt_error_string(errno)));
    if (fd >= 0) put = info.st_size;
    std::vector<char> chunk(kChunk);
    int code = 0;
    bool out = true;
    for (qint64 at = 0; out && at < put;) {
        const ssize_t n = ::pread(fd, chunk.data(), static_cast<std::size_t>(std::min<qint64>(kChunk, put - at)),
                                  static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failure = QCoreApplication::translate("quelvane::cli", "Cannot read the held result: %1")
                          .arg(qt_error_string(n < 0 ? errno : EIO));
            break;
        }
        out = WriteAll(STDOUT_FILENO, chunk.data(), n, &code);
        at += n;
    }
    SecureWipe(chunk.data(), chunk.size());
    if (!out) return Fail(error, OutputError(code));
    return failure.isEmpty() || Fail(error, failure);
}

bool WriteStandardOutput(QByteArrayView bytes, QString* error) {
    int code = 0;
    if (!WriteAll(STDOUT_FILENO, bytes.data(), bytes.size(), &code)) return Fail(error, OutputError(code));
    return true;
}

bool StandardOutputOpen(QString* error) {
    // Writing nothing checks the descriptor alone: the placeholder is not open for writing.
    if (::write(STDOUT_FILENO, "", 0) == 0 || errno != EBADF) return true;
    return Fail(error, OutputError(EBADF));
}

bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace) {
    // Owner-only also where it replaces a file: the new file is made so, never the old one narrowed.
    return SaveFileAtomically(path, bytes, error, replace ? Existing::ReplaceOwnerOnly : Existing::Refuse);
}

}  // namespace quelvane::cli
