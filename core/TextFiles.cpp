// SPDX-License-Identifier: MIT
#include "core/TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"
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

// The length of the multi-byte UTF-8 sequence starting at p[i] (a byte of
// 0x80 or more) when it is valid (no overlong form, no surrogate, nothing past
// U+10FFFF), with its code point in *code; 0 when it is not.
inline std::size_t Utf8Sequence(const unsigned char* p, std::size_t i, std::size_t n, char32_t* code) noexcept {
    const unsigned char c = p[i];
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        *code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        *code = c & 0x0F;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        *code = c & 0x07;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n - i < len || p[i + 1] < lo || p[i + 1] > hi) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        *code = *code << 6 | (p[i + k] & 0x3F);
    }
    return len;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
// Sets *nonAscii when at least one multi-byte sequence was seen.
bool IsValidUtf8(const unsigned char* p, std::size_t n, bool* nonAscii) {
    std::size_t i = 0;
    bool high = false;
    while (i < n) {
        // Runs of ASCII sixteen bytes at a time: most text is mostly ASCII.
#if defined(__SSE2__) || defined(_M_X64)
        while (i + 16 <= n) {
            const auto notAscii =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))));
            const std::size_t ascii = notAscii ? static_cast<std::size_t>(std::countr_zero(notAscii)) : 16;
            i += ascii;
            if (ascii < 16) break;
        }
#else
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, p + i, 8);
            if (w & 0x8080808080808080ull) break;
            i += 8;
        }
#endif
        if (i >= n) break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        high = true;
        char32_t code = 0;
        const std::size_t len = Utf8Sequence(p, i, n, &code);
        if (len == 0) return false;
        i += len;
    }
    *nonAscii = high;
    return true;
}

// Strict UTF-8 decoded in one pass, checked as IsValidUtf8 checks it. False
// on the first invalid sequence (text is then unspecified). *nonAscii and
// *carriageReturn tell whether a multi-byte sequence or a CR was seen.
bool DecodeUtf8(const unsigned char* p, std::size_t n, QString& text, bool* nonAscii, bool* carriageReturn) {
    text = QString(static_cast<qsizetype>(n), Qt::Uninitialized);  // never more units than bytes
    auto* out = reinterpret_cast<char16_t*>(text.data());
    std::size_t i = 0, o = 0;
    bool high = false, cr = false;
    while (i < n) {
#if defined(__SSE2__) || defined(_M_X64)
        // Runs of ASCII sixteen bytes at a time: most text is mostly ASCII.
        const __m128i zero = _mm_setzero_si128(), crs = _mm_set1_epi8('\r');
        while (i + 16 <= n) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            // Written whole, kept as far as the first byte that is not ASCII
            // (o <= i, so there is room for all sixteen).
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_unpacklo_epi8(x, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o + 8), _mm_unpackhi_epi8(x, zero));
            cr = cr || _mm_movemask_epi8(_mm_cmpeq_epi8(x, crs)) != 0;  // may be past it: only costs a scan
            const auto notAscii = static_cast<unsigned>(_mm_movemask_epi8(x));
            const std::size_t ascii = notAscii ? static_cast<std::size_t>(std::countr_zero(notAscii)) : 16;
            i += ascii;
            o += ascii;
            if (ascii < 16) break;
        }
        if (i >= n) break;
#endif
        const unsigned char c = p[i];
        if (c < 0x80) {
            cr = cr || c == '\r';
            out[o++] = c;
            ++i;
            continue;
        }
        high = true;
        char32_t code = 0;
        const std::size_t len = Utf8Sequence(p, i, n, &code);
        if (len == 0) return false;
        if (code >= 0x10000) {
            out[o++] = QChar::highSurrogate(code);
            out[o++] = QChar::lowSurrogate(code);
        } else {
            out[o++] = static_cast<char16_t>(code);
        }
        i += len;
    }
    text.truncate(static_cast<qsizetype>(o));
    *nonAscii = high;
    *carriageReturn = cr;
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
    QString text;
    const bool utf8Mark = n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
    const bool utf16LE = !utf8Mark && n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE;
    const bool utf16BE = !utf8Mark && n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF;
    bool nonAscii = false, carriageReturn = true;
    if (utf16LE || utf16BE) {
        // Unit for unit, lone surrogate halves included: what the save wrote.
        text = QString(static_cast<qsizetype>(n / 2 - 1), Qt::Uninitialized);
        auto* out = reinterpret_cast<char16_t*>(text.data());
        const int high = utf16LE ? 1 : 0;
        for (std::size_t i = 0; i + 1 < n / 2; ++i)
            out[i] = static_cast<char16_t>(p[2 + 2 * i + high] << 8 | p[2 + 2 * i + 1 - high]);
    } else if (!utf8Mark && !(DecodeUtf8(p, n, text, &nonAscii, &carriageReturn))) {
        // Not UTF-8: the byte-text rule loses nothing, so the file's bytes all survive.
        text = FromByteText(bytes);
        carriageReturn = true;
    } else if (utf8Mark && !DecodeUtf8(p + 3, n - 3, text, &nonAscii, &carriageReturn)) {
        // A mark followed by invalid bytes is no UTF-8 either. A mark after
        // the one skipped is a character of the text.
        text = FromByteText(bytes);
        carriageReturn = true;
    }
    // Valid UTF-8 of ASCII alone reads the same as byte text, so the decoded
    // text serves for both.
    if (carriageReturn) NormaliseLineBreaks(text);
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

namespace {

// Collects plain bytes a chunk at a time on their way to a sink, and wipes
// its buffer when done.
class PlainChunks {
public:
    explicit PlainChunks(FileSink& o) : out(o) {}
    ~PlainChunks() { SecureWipe(buffer.data(), buffer.size()); }
    // Room for at least two more bytes, a line end.
    bool Room() {
        if (used + 2 <= static_cast<qsizetype>(buffer.size())) return true;
        return Flush();
    }
    bool Flush() {
        const bool ok = out.Put(buffer.data(), used);
        used = 0;
        return ok;
    }
    void Byte(char b) { buffer[static_cast<std::size_t>(used++)] = b; }
    void LineEnd() {
        Byte('\r');
        Byte('\n');
    }
    char* Free(qsizetype& room) {
        room = static_cast<qsizetype>(buffer.size()) - used;
        return buffer.data() + used;
    }
    void Took(qsizetype n) { used += n; }

private:
    FileSink& out;
    std::array<char, 64 * 1024> buffer;
    qsizetype used = 0;
};

// Windows-1252 bytes or UTF-8 (utf8), line breaks of every kind as CR LF.
bool PutPlain(const unsigned char* p, std::size_t n, bool utf8, PlainChunks& chunks, bool* noByte) {
    std::size_t i = 0;
    while (i < n) {
        if (!chunks.Room()) return false;
            // A run of ASCII that is no line break, sixteen bytes at a time.
#if defined(__SSE2__) || defined(_M_X64)
        qsizetype room = 0;
        char* to = chunks.Free(room);
        qsizetype took = 0;
        const __m128i crs = _mm_set1_epi8('\r'), lfs = _mm_set1_epi8('\n');
        while (i + 16 <= n && room - took >= 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + took), x);
            const auto other = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                utf8 ? x : _mm_setzero_si128(), _mm_or_si128(_mm_cmpeq_epi8(x, crs), _mm_cmpeq_epi8(x, lfs)))));
            const std::size_t plain = other ? static_cast<std::size_t>(std::countr_zero(other)) : 16;
            i += plain;
            took += static_cast<qsizetype>(plain);
            if (plain < 16) break;
        }
        chunks.Took(took);
        if (i >= n) break;
        if (!chunks.Room()) return false;
#endif
        const unsigned char c = p[i];
        if (c == '\r' || c == '\n') {
            chunks.LineEnd();  // CR LF, a lone CR and a lone LF alike
            i += (c == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (c < 0x80 || !utf8) {
            chunks.Byte(static_cast<char>(c));
            ++i;
            continue;
        }
        // A sequence already checked to be valid UTF-8.
        char32_t code = 0;
        i += Utf8Sequence(p, i, n, &code);
        if (code == 0x2028 || code == 0x2029) {
            chunks.LineEnd();
            continue;
        }
        const std::optional<std::uint8_t> byte = bytetext::ToByte(code);
        if (!byte) {
            *noByte = true;
            return false;
        }
        chunks.Byte(static_cast<char>(*byte));
    }
    return chunks.Flush();
}

}  // namespace

bool IsEmptyTextFile(QByteArrayView file) {
    return file.isEmpty() || file == QByteArrayView("\xEF\xBB\xBF", 3) || file == QByteArrayView("\xFF\xFE", 2) ||
           file == QByteArrayView("\xFE\xFF", 2);
}

bool PutPlainBytesOfTextFile(QByteArrayView file, FileSink& out, bool* noByte) {
    *noByte = false;
    const auto* p = reinterpret_cast<const unsigned char*>(file.data());
    const auto n = static_cast<std::size_t>(file.size());
    PlainChunks chunks(out);
    bool nonAscii = false;
    // The forms DecodeTextFile tells apart, in its order.
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        if (IsValidUtf8(p + 3, n - 3, &nonAscii)) return PutPlain(p + 3, n - 3, true, chunks, noByte);
        return PutPlain(p, n, false, chunks, noByte);
    }
    if (n >= 2 && n % 2 == 0 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        // UTF-16 is rare: through the work text, the way the window goes.
        QString text = DecodeTextFile(file.toByteArray());
        text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
        qsizetype pos = 0;
        while (pos < text.size()) {
            qsizetype room = 0;
            if (!chunks.Room()) return false;
            char* to = chunks.Free(room);
            chunks.Took(EncodeByteText(text, pos, to, room, true, noByte));
            if (*noByte) break;
        }
        SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
        return !*noByte && chunks.Flush();
    }
    const bool utf8 = IsValidUtf8(p, n, &nonAscii) && nonAscii;
    return PutPlain(p, n, utf8, chunks, noByte);
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
