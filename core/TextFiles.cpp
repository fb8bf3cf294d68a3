// SPDX-License-Identifier: MIT
#include "core/TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "core/FieldReader.h"
#include "core/PasswordGenerator.h"
#include "core/QtByteText.h"
#include "core/WorkText.h"

namespace quelvane {

namespace {

QString ReadError(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot read %1: %2").arg(path, reason);
}

QString SaveError(const QString& path, const QString& reason) {
    return QStringLiteral("Cannot save %1: %2").arg(path, reason);
}

bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
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

bool ReadWholeFile(const QString& path, QByteArray& bytes, QString* error) {
    bytes.clear();
    const QFileInfo info(path);
    if (info.isDir()) return Fail(error, ReadError(path, QStringLiteral("it is a folder, not a file")));
    // A pipe or a device could block or never end: only regular files.
    if (info.exists() && !info.isFile())
        return Fail(error, ReadError(path, QStringLiteral("it is not a regular file")));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Fail(error, ReadError(path, file.errorString()));
    const qint64 size = file.size();
    try {
        if (size > 0) {
            if (size >= std::numeric_limits<qsizetype>::max() / 2) throw std::bad_alloc();
            bytes.resize(static_cast<qsizetype>(size));
            qint64 got = 0;
            while (got < size) {
                const qint64 r = file.read(bytes.data() + got, size - got);
                if (r < 0) {
                    WipeBytes(bytes);
                    return Fail(error, ReadError(path, file.errorString()));
                }
                if (r == 0) break;  // the file shrank while we read it
                got += r;
            }
            bytes.truncate(static_cast<qsizetype>(got));
        } else {
            // Size 0 may still hold data (pseudo-files such as /proc): read what there is.
            bytes = file.readAll();
            if (file.error() != QFileDevice::NoError) {
                WipeBytes(bytes);
                return Fail(error, ReadError(path, file.errorString()));
            }
        }
    } catch (const std::bad_alloc&) {
        bytes = QByteArray();
        return Fail(error, ReadError(path, QStringLiteral("the file is too large to load (%1 bytes)").arg(size)));
    }
    return true;
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

QByteArray EncodeTextFile(const QString& text) {
    // Byte text, as the files have always held. A character outside the code
    // page makes the whole text UTF-8, which the load reads back.
    QByteArray bytes;
    if (WorkTextToBytes(text, bytes)) return bytes;
    return QString(text).replace(u'\n', QStringLiteral("\r\n")).toUtf8();
}

namespace {

class SaveFileSink : public FileSink {
public:
    explicit SaveFileSink(QSaveFile& f) : file(f) {}
    bool Put(const char* data, qsizetype size) override {
        if (failed) return false;
        errno = 0;
        const qint64 w = file.write(data, size);
        if (w != size) {
            failed = true;
            code = errno;
            written += qMax<qint64>(w, 0);
            wanted += size;
            return false;
        }
        written += w;
        wanted += size;
        return true;
    }
    // Why the writing failed. A short write (disk full, size limit) may set
    // no error on the device: then errno, or the count, tells it.
    QString Reason() const {
        QString reason = file.error() != QFileDevice::NoError ? file.errorString() : QString();
        if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
            reason = code ? qt_error_string(code)
                          : QStringLiteral("only %1 of %2 bytes were written").arg(written).arg(wanted);
        return reason;
    }
    bool failed = false;

private:
    QSaveFile& file;
    int code = 0;
    qint64 written = 0, wanted = 0;
};

}  // namespace

bool WriteFileAtomically(const QString& path, const std::function<bool(FileSink&)>& produce, QString* error) {
    if (error) error->clear();
    if (QFileInfo(path).isDir()) return Fail(error, SaveError(path, QStringLiteral("a folder of that name exists")));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return Fail(error, SaveError(path, file.errorString()));
    SaveFileSink sink(file);
    // Left uncommitted on any failure: the temporary file goes, the old file stays.
    if (!produce(sink) || sink.failed) {
        file.cancelWriting();
        return sink.failed ? Fail(error, SaveError(path, sink.Reason())) : false;
    }
    if (!file.commit()) return Fail(error, SaveError(path, file.errorString()));
    return true;
}

bool SaveFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
    return WriteFileAtomically(
        path, [&](FileSink& out) { return out.Put(bytes); }, error);
}

bool RegularFileExists(const QString& path) { return QFileInfo(path).isFile(); }

bool LoadTextFile(const QString& path, QString& text, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    // The file exactly: commas, quotes and leading blanks stay; line breaks of any kind are the box's.
    text = DecodeTextFile(bytes);
    WipeBytes(bytes);
    return true;
}

bool LoadHexFile(const QString& path, QString& hex, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    std::string joined;
    joined.reserve(static_cast<std::size_t>(bytes.size()));
    FieldReader reader(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    while (!reader.AtEnd()) joined += reader.ReadNextField();
    hex = FromByteText(QByteArrayView(joined.data(), static_cast<qsizetype>(joined.size())));
    return true;
}

bool LoadPasswordFile(const QString& path, QString& password, qsizetype* length, QString* error) {
    QByteArray bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    // A NUL byte is never written by the save and cannot be typed: such a
    // file is no password file.
    if (bytes.contains('\0')) {
        WipeBytes(bytes);
        return Fail(error,
                    QStringLiteral("%1 holds a NUL byte, which a password cannot hold. The password was not changed.")
                        .arg(path));
    }
    if (length) *length = bytes.size();
    password = FromByteText(QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), kPasswordMax)));
    WipeBytes(bytes);
    return true;
}

}  // namespace quelvane
