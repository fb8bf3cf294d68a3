// SPDX-License-Identifier: MIT
#include "TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "QtByteText.h"

namespace quelvane {

namespace {

QString ReadError(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

QString SaveError(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save %1: %2").arg(path, reason);
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
// Sets *nonAscii when at least one multi-byte sequence was seen.
bool IsValidUtf8(const unsigned char* p, std::size_t n, bool* nonAscii) {
    std::size_t i = 0;
    bool high = false;
    while (i < n) {
        // Runs of ASCII eight bytes at a time: most text is mostly ASCII.
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= n) break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        high = true;
        std::size_t len;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (n - i < len) return false;
        if (p[i + 1] < lo || p[i + 1] > hi) return false;
        for (std::size_t k = 2; k < len; ++k)
            if ((p[i + k] & 0xC0) != 0x80) return false;
        i += len;
    }
    *nonAscii = high;
    return true;
}

// CR LF, lone CR and lone LF to "\n", in place, one pass.
void NormaliseLineBreaks(QString& text) {
    const qsizetype n = text.size();
    const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
    qsizetype first = 0;
    while (first < n && src[first] != u'\r') ++first;
    if (first == n) return;  // only LF or nothing: already in the work text's form
    char16_t* d = reinterpret_cast<char16_t*>(text.data());  // detaches once
    qsizetype out = first;
    for (qsizetype i = first; i < n; ++i) {
        const char16_t c = d[i];
        if (c == u'\r') {
            d[out++] = u'\n';
            if (i + 1 < n && d[i + 1] == u'\n') ++i;
        } else {
            d[out++] = c;
        }
    }
    text.truncate(out);
}

}  // namespace

FileRead ReadWholeFile(const QString& path) {
    FileRead result;
    const QFileInfo info(path);
    if (info.isDir()) {
        result.error = ReadError(path, QStringLiteral("it is a folder, not a file"));
        return result;
    }
    // A pipe or a device could block or never end: only regular files.
    if (info.exists() && !info.isFile()) {
        result.error = ReadError(path, QStringLiteral("it is not a regular file"));
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = ReadError(path, file.errorString());
        return result;
    }
    const qint64 size = file.size();
    try {
        if (size > 0) {
            if (size >= std::numeric_limits<qsizetype>::max() / 2) throw std::bad_alloc();
            result.bytes.resize(static_cast<qsizetype>(size));
            qint64 got = 0;
            while (got < size) {
                const qint64 r = file.read(result.bytes.data() + got, size - got);
                if (r < 0) {
                    result.bytes.clear();
                    result.error = ReadError(path, file.errorString());
                    return result;
                }
                if (r == 0) break;  // the file shrank while we read it
                got += r;
            }
            result.bytes.truncate(static_cast<qsizetype>(got));
        } else {
            // Size 0 may still hold data (pseudo-files such as /proc): read what there is.
            result.bytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                result.bytes.clear();
                result.error = ReadError(path, file.errorString());
                return result;
            }
        }
    } catch (const std::bad_alloc&) {
        result.bytes = QByteArray();
        result.error = ReadError(path, QStringLiteral("the file is too large to load (%1 bytes)").arg(size));
        return result;
    }
    result.ok = true;
    return result;
}

QString DecodeTextFile(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto n = static_cast<std::size_t>(bytes.size());
    const bool bom = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
    const std::size_t skip = bom ? 3 : 0;
    bool nonAscii = false;
    QString text;
    if (IsValidUtf8(p + skip, n - skip, &nonAscii) && (bom || nonAscii)) {
        text = QString::fromUtf8(bytes.constData() + skip, static_cast<qsizetype>(n - skip));
    } else {
        // Not UTF-8 (a mark followed by invalid bytes included): the byte-text
        // rule loses nothing, so the file's bytes all survive.
        text = FromByteText(bytes);
    }
    NormaliseLineBreaks(text);
    return text;
}

std::optional<QString> SaveFileAtomically(const QString& path, const QByteArray& bytes) {
    if (QFileInfo(path).isDir()) return SaveError(path, QStringLiteral("a folder of that name exists"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return SaveError(path, file.errorString());
    errno = 0;
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        // A short write (disk full, size limit) sets no error on the device,
        // and committing would then install a cut-off file: report it and
        // leave it uncommitted, so the temporary file goes and the old file
        // stays whole.
        const int code = errno;
        QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
            reason = code ? qt_error_string(code)
                          : QStringLiteral("only %1 of %2 bytes were written")
                                .arg(qMax<qint64>(written, 0))
                                .arg(bytes.size());
        return SaveError(path, reason);
    }
    if (!file.commit()) return SaveError(path, file.errorString());
    return std::nullopt;
}

}  // namespace quelvane
