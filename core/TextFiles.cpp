// SPDX-License-Identifier: MIT
#include "core/TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

#include "cipher/SecureWipe.h"
#include "core/FieldReader.h"
#include "core/PasswordGenerator.h"
#include "core/Platform.h"
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

// How a text file's bytes are read. Saving relies on it as well: a text
// whose byte text would be read as anything else is saved another way.
enum class Form { ByteText, Utf8, Utf16LE, Utf16BE };

struct Encoding {
    Form form = Form::ByteText;
    std::size_t skip = 0;  // the byte-order mark
};

Encoding Detect(const unsigned char* p, std::size_t n) {
    bool nonAscii = false;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        // A mark followed by invalid bytes is no UTF-8: the byte-text rule loses nothing.
        if (IsValidUtf8(p + 3, n - 3, &nonAscii)) return {Form::Utf8, 3};
        return {};
    }
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE) return {Form::Utf16LE, 2};
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF) return {Form::Utf16BE, 2};
    if (IsValidUtf8(p, n, &nonAscii) && nonAscii) return {Form::Utf8, 0};
    return {};
}

Encoding Detect(QByteArrayView bytes) {
    return Detect(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::size_t>(bytes.size()));
}

bool HasLoneSurrogate(QStringView text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) continue;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

// The text as UTF-8 (or UTF-16LE), "\n" as CR LF, with or without the
// byte-order mark. Written straight into the result: no other copy of the
// text is made.
QByteArray EncodeUtf8(QStringView text, bool mark) {
    QByteArray bytes(3 + 3 * text.size(), Qt::Uninitialized);  // 3 bytes a unit at most, CR LF included
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    qsizetype o = 0;
    if (mark) {
        out[o++] = 0xEF;
        out[o++] = 0xBB;
        out[o++] = 0xBF;
    }
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c == u'\n') {
            out[o++] = '\r';
            out[o++] = '\n';
        } else if (c < 0x80) {
            out[o++] = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            out[o++] = static_cast<unsigned char>(0xC0 | c >> 6);
            out[o++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(static_cast<char16_t>(c), text[++i].unicode());
                out[o++] = static_cast<unsigned char>(0xF0 | c >> 18);
                out[o++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            } else {
                out[o++] = static_cast<unsigned char>(0xE0 | c >> 12);
            }
            out[o++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    bytes.truncate(o);  // keeps the buffer: nothing is left behind in a freed one
    return bytes;
}

QByteArray EncodeUtf16(QStringView text) {
    QByteArray bytes(2 + 4 * text.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    qsizetype o = 0;
    auto put = [&](char16_t u) {
        out[o++] = static_cast<unsigned char>(u & 0xFF);
        out[o++] = static_cast<unsigned char>(u >> 8);
    };
    put(0xFEFF);
    for (const QChar c : text) {
        if (c == u'\n') put(u'\r');
        put(c.unicode());
    }
    bytes.truncate(o);
    return bytes;
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
    // Unbuffered: Qt's read buffer would be freed with the bytes of a small
    // file still in it, and the file may hold a password or a text.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Fail(error, ReadError(path, file.errorString()));
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
    const Encoding encoding = Detect(p, n);
    const char* rest = bytes.constData() + encoding.skip;
    const auto size = static_cast<qsizetype>(n - encoding.skip);
    QString text;
    switch (encoding.form) {
        case Form::Utf8: {
            // A mark after the one skipped is a character of the text
            // (QString::fromUtf8 would drop it).
            QStringDecoder utf8(QStringDecoder::Utf8,
                                QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            text = utf8(QByteArrayView(rest, size));
            break;
        }
        case Form::Utf16LE:
        case Form::Utf16BE: {
            // Unit for unit, lone surrogate halves included: what the save wrote.
            text = QString(size / 2, Qt::Uninitialized);
            auto* out = reinterpret_cast<char16_t*>(text.data());
            const int high = encoding.form == Form::Utf16LE ? 1 : 0;
            for (qsizetype i = 0; i < size / 2; ++i)
                out[i] =
                    static_cast<char16_t>(p[encoding.skip + 2 * i + high] << 8 | p[encoding.skip + 2 * i + 1 - high]);
            break;
        }
        case Form::ByteText:
            text = FromByteText(bytes);
            break;
    }
    NormaliseLineBreaks(text);
    return text;
}

QByteArray EncodeTextFile(const QString& text) {
    // Byte text, as the files have always held, when the load reads it back
    // as it is. Byte text that happens to be valid UTF-8 or to start like a
    // byte-order mark would not: that text goes as UTF-8 with the mark.
    QByteArray bytes;
    if (WorkTextToBytes(text, bytes)) {
        if (Detect(bytes).form == Form::ByteText) return bytes;
        WipeBytes(bytes);
        return EncodeUtf8(text, true);
    }
    // A character outside the code page: UTF-8, which the load reads back
    // (with the mark when the text itself starts with one). Only UTF-16
    // holds a lone surrogate half.
    if (HasLoneSurrogate(text)) return EncodeUtf16(text);
    return EncodeUtf8(text, text.startsWith(QChar(0xFEFF)));
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
    bool opened;
    {
        // A new file is owner-only from its first byte, whatever the umask:
        // it may hold a password or a text. A replaced file keeps its mode
        // (QSaveFile gives the new one the old one's permissions).
        OwnerOnlyFiles ownerOnly;
        // Unbuffered: small writes would otherwise pass through a buffer of
        // Qt's that is freed without being wiped.
        opened = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    if (!opened) return Fail(error, SaveError(path, file.errorString()));
    SaveFileSink sink(file);
    // Left uncommitted on any failure: the temporary file goes, the old file stays.
    if (!produce(sink) || sink.failed) {
        // The cause first: cancelling puts its own "Writing canceled" in its place.
        const QString reason = sink.failed ? sink.Reason() : QString();
        file.cancelWriting();
        return sink.failed ? Fail(error, SaveError(path, reason)) : false;
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
    // A byte-order mark, as some editors write, is no part of the hex text.
    QByteArrayView content = bytes;
    QByteArray narrowed;
    const Encoding encoding = Detect(bytes);
    if (encoding.form == Form::Utf16LE || encoding.form == Form::Utf16BE) {
        narrowed = DecodeTextFile(bytes).toUtf8();
        content = narrowed;
    } else if (content.startsWith("\xEF\xBB\xBF")) {
        content = content.sliced(3);  // also before bytes that are no UTF-8: they are no hex text either way
    }
    std::string joined;
    joined.reserve(static_cast<std::size_t>(content.size()));
    FieldReader reader(std::string_view(content.data(), static_cast<std::size_t>(content.size())));
    while (!reader.AtEnd()) {
        std::string field = reader.ReadNextField();
        joined += field;
        SecureWipe(field);
    }
    hex = FromByteText(QByteArrayView(joined.data(), static_cast<qsizetype>(joined.size())));
    SecureWipe(joined);  // the file may hold anything
    WipeBytes(narrowed);
    WipeBytes(bytes);
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
