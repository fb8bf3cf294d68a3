// SPDX-License-Identifier: MIT
#include "cli/Streams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>

#include "core/QtByteText.h"
#include "core/TextFiles.h"

namespace quelvane::cli {

namespace {

constexpr qsizetype kChunk = 256 * 1024;

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

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
    return QStringLiteral("cannot write to standard output: %1").arg(qt_error_string(code));
}

// Everything the descriptor gives until its end. The buffer doubles when
// full, and the one it leaves is overwritten first.
bool ReadAll(int fd, const QString& name, QByteArray& bytes, QString* error) {
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    QByteArray buffer(qMax<qsizetype>(kChunk, regular ? static_cast<qsizetype>(info.st_size) + 1 : 0),
                      Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == buffer.size()) {
            QByteArray bigger(2 * size, Qt::Uninitialized);
            std::memcpy(bigger.data(), buffer.constData(), static_cast<std::size_t>(size));
            WipeBytes(buffer);
            buffer = std::move(bigger);
        }
        const ssize_t n = ::read(fd, buffer.data() + size, static_cast<std::size_t>(buffer.size() - size));
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            WipeBytes(buffer);
            return Fail(error, QStringLiteral("Cannot read %1: %2").arg(name, qt_error_string(code)));
        }
        if (n == 0) break;
        size += n;
    }
    buffer.truncate(size);
    bytes = std::move(buffer);
    return true;
}

}  // namespace

QString InputName(const QString& input) {
    return input.isEmpty() || input == QLatin1String("-") ? QStringLiteral("standard input") : input;
}

Input::~Input() { Release(); }

void Input::Release() {
    WipeBytes(bytes);  // only lets a mapping go
    if (map) ::munmap(map, mapped);
    map = nullptr;
    mapped = 0;
}

bool Input::Read(const QString& input, QString* error) {
    Release();
    if (input.isEmpty() || input == QLatin1String("-"))
        return ReadAll(STDIN_FILENO, QStringLiteral("standard input"), bytes, error);
    // A regular file is mapped: no copy, and no fresh memory to fault in. A
    // pipe (a process substitution) is read to its end like standard input.
    // Anything else takes the core's read, which also words every failure.
    const int fd = ::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        struct stat info {};
        const bool known = ::fstat(fd, &info) == 0;
        if (known && S_ISFIFO(info.st_mode)) {
            const bool read = ReadAll(fd, input, bytes, error);
            ::close(fd);
            return read;
        }
        if (known && S_ISREG(info.st_mode) && info.st_size > 0 &&
            info.st_size < std::numeric_limits<qsizetype>::max() / 4) {
            void* p = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (p != MAP_FAILED) {
                map = p;
                mapped = static_cast<std::size_t>(info.st_size);
                ::madvise(map, mapped, MADV_SEQUENTIAL);
                bytes = QByteArray::fromRawData(static_cast<const char*>(map), static_cast<qsizetype>(mapped));
            }
        }
        ::close(fd);
        if (map) return true;
    }
    return ReadWholeFile(input, bytes, error);
}

bool WriteStandardOutput(QByteArrayView bytes, QString* error) {
    int code = 0;
    if (!WriteAll(STDOUT_FILENO, bytes.data(), bytes.size(), &code)) return Fail(error, OutputError(code));
    return true;
}

bool WriteHexToStandardOutput(QByteArrayView hex, QString* error) {
    int code = 0;
    const bool written =
        WriteAll(STDOUT_FILENO, hex.data(), hex.size(), &code) && WriteAll(STDOUT_FILENO, "\n", 1, &code);
    if (!written) return Fail(error, OutputError(code));
    return true;
}

bool WriteHexFile(const QString& path, QByteArrayView hex, QString* error, bool replace) {
    return SaveFileAtomically(path, hex, error, replace ? Existing::Replace : Existing::Refuse);
}

bool SaveOwnerOnly(const QString& path, QByteArrayView bytes, QString* error, bool replace) {
    // Owner-only also where it replaces a file: the new file is made so, never the old one narrowed.
    return SaveFileAtomically(path, bytes, error, replace ? Existing::ReplaceOwnerOnly : Existing::Refuse);
}

}  // namespace quelvane::cli
