// SPDX-License-Identifier: MIT
#include "core/Payload.h"

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"
#include "cipher/SecureWipe.h"
#include "core/PasswordGenerator.h"
#include "core/QtByteText.h"
#include "core/TextFiles.h"
#include "core/Utf8.h"
#include "core/WorkText.h"

namespace quelvane {

namespace {

const auto* Bytes(QByteArrayView b) { return reinterpret_cast<const unsigned char*>(b.data()); }

// Collects bytes a chunk at a time on their way to a sink, and wipes its
// buffer when done.
class Chunks {
public:
    explicit Chunks(FileSink& o) : out(o) {}
    ~Chunks() { SecureWipe(buffer.data(), buffer.size()); }
    Chunks(const Chunks&) = delete;
    Chunks& operator=(const Chunks&) = delete;
    // Room for at least four more bytes: a line end or a UTF-8 sequence.
    bool Room() {
        if (used + 4 <= static_cast<qsizetype>(buffer.size())) return true;
        return Flush();
    }
    bool Flush() {
        const bool ok = out.Put(buffer.data(), used);
        used = 0;
        return ok;
    }
    void Byte(char b) { buffer[static_cast<std::size_t>(used++)] = b; }
    void Bytes(const unsigned char* p, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) Byte(static_cast<char>(p[k]));
    }
    void CrLf() {
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

// Copies the run of bytes at p[i] that need no care (ASCII without CR and
// LF, or any byte but those when other bytes are plain too), sixteen at a
// time, into chunks; returns the new i.
std::size_t PlainRun(const unsigned char* p, std::size_t i, std::size_t n, bool asciiOnly, Chunks& chunks) {
#if defined(__SSE2__) || defined(_M_X64)
    qsizetype room = 0;
    char* to = chunks.Free(room);
    qsizetype took = 0;
    const __m128i crs = _mm_set1_epi8('\r'), lfs = _mm_set1_epi8('\n');
    while (i + 16 <= n && room - took >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + took), x);
        const auto other = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
            asciiOnly ? x : _mm_setzero_si128(), _mm_or_si128(_mm_cmpeq_epi8(x, crs), _mm_cmpeq_epi8(x, lfs)))));
        const std::size_t plain = other ? static_cast<std::size_t>(std::countr_zero(other)) : 16;
        i += plain;
        took += static_cast<qsizetype>(plain);
        if (plain < 16) break;
    }
    chunks.Took(took);
#else
    (void)p, (void)n, (void)asciiOnly, (void)chunks;
#endif
    return i;
}

// What a text file's bytes become on their way to the payload.
enum class Convert {
    ByteText,  // byte text as it is
    Utf8ToByteText,  // valid UTF-8 whose every character has a byte
    Utf8,  // valid UTF-8 as it is
};

// The bytes converted, line breaks of every kind (and, from UTF-8, the line
// and paragraph separators) as CR LF.
bool PutConverted(const unsigned char* p, std::size_t n, Convert convert, Chunks& chunks) {
    const bool fromUtf8 = convert != Convert::ByteText;
    std::size_t i = 0;
    while (i < n) {
        if (!chunks.Room()) return false;
        i = PlainRun(p, i, n, fromUtf8, chunks);
        if (i >= n) break;
        if (!chunks.Room()) return false;
        const unsigned char c = p[i];
        if (c == '\r' || c == '\n') {
            chunks.CrLf();  // CR LF, a lone CR and a lone LF alike
            i += (c == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (c < 0x80 || !fromUtf8) {
            chunks.Byte(static_cast<char>(c));
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t len = utf8::Sequence(p, i, n, &code);  // checked valid already
        if (code == 0x2028 || code == 0x2029)
            chunks.CrLf();
        else if (convert == Convert::Utf8)
            chunks.Bytes(p + i, len);
        else
            chunks.Byte(static_cast<char>(bytetext::ToByte(code).value_or('?')));
        i += len;
    }
    return chunks.Flush();
}

// A text file's text as its payload, through memory: for the rare files
// that take that way.
bool PutPayloadOfText(QString& text, FileSink& out, QString* loneAt) {
    text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');  // as the box does
    QByteArray payload;
    qsizetype bad = -1;
    const bool made = MarkedBytes(text, true, payload, &bad);
    if (!made && loneAt) *loneAt = PlaceInText(text, bad);
    SecureWipe(text.data(), static_cast<std::size_t>(text.size()) * sizeof(QChar));
    const bool put = made && out.Put(payload);
    WipeBytes(payload);
    return put;
}

}  // namespace

bool ReadsAsUtf8(QByteArrayView bytes) {
    return bytes.startsWith(kUtf8Mark) && utf8::IsValid(Bytes(bytes) + 3, static_cast<std::size_t>(bytes.size() - 3));
}

bool MarkedBytes(QStringView text, bool crlf, QByteArray& bytes, qsizetype* bad) {
    if (ToByteText(text, bytes, nullptr, crlf)) {
        if (!ReadsAsUtf8(bytes)) return true;
        WipeBytes(bytes);
    }
    // 3 bytes a unit at most, CR LF included; the buffer is kept as it is
    // cut, so nothing is left behind in a freed one.
    bytes = QByteArray(kUtf8Mark.size() + 3 * text.size(), Qt::Uninitialized);
    std::copy_n(kUtf8Mark.data(), kUtf8Mark.size(), bytes.data());
    qsizetype pos = 0;
    bool lone = false;
    const qsizetype n =
        utf8::Encode(text, pos, bytes.data() + kUtf8Mark.size(), bytes.size() - kUtf8Mark.size(), crlf, &lone);
    if (lone) {
        if (bad) *bad = pos;
        WipeBytes(bytes);
        return false;
    }
    bytes.truncate(kUtf8Mark.size() + n);
    return true;
}

QString FromMarkedBytes(QByteArrayView bytes) {
    if (!ReadsAsUtf8(bytes)) return FromByteText(bytes);
    QString text;
    bool nonAscii = false, carriageReturn = false;
    utf8::Decode(Bytes(bytes) + 3, static_cast<std::size_t>(bytes.size() - 3), text, &nonAscii, &carriageReturn);
    return text;
}

bool NeedsUtf8Form(QStringView text) {
    if (!text.startsWith(u"\u00EF\u00BB\u00BF")) return false;
    QByteArray bytes;
    if (!ToByteText(text, bytes, nullptr, true)) return false;  // the UTF-8 form anyway
    const bool utf8 = ReadsAsUtf8(bytes);
    WipeBytes(bytes);
    return utf8;
}

qsizetype EncodePayload(QStringView text, qsizetype& pos, char* out, qsizetype room, PayloadForm form, bool* bad) {
    if (form == PayloadForm::ByteText) return EncodeByteText(text, pos, out, room, true, bad);
    return utf8::Encode(text, pos, out, room, true, bad);
}

QString PayloadToWorkText(QByteArrayView payload) {
    if (!ReadsAsUtf8(payload)) return BytesToWorkText(payload);
    QString text;
    bool nonAscii = false, carriageReturn = false;
    utf8::Decode(Bytes(payload) + 3, static_cast<std::size_t>(payload.size() - 3), text, &nonAscii, &carriageReturn);
    if (carriageReturn) utf8::NormaliseLineBreaks(text);
    return text;
}

bool PutUtf8TextOfPayload(QByteArrayView payload, FileSink& out) {
    Chunks chunks(out);
    const bool utf8 = ReadsAsUtf8(payload);
    const unsigned char* p = Bytes(payload) + (utf8 ? 3 : 0);
    const std::size_t n = static_cast<std::size_t>(payload.size()) - (utf8 ? 3 : 0);
    std::size_t i = 0;
    while (i < n) {
        if (!chunks.Room()) return false;
        i = PlainRun(p, i, n, !utf8, chunks);
        if (i >= n) break;
        if (!chunks.Room()) return false;
        const unsigned char c = p[i];
        if (c == '\r') {
            chunks.Byte('\n');  // CR LF and a lone CR alike
            i += (i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        } else if (c < 0x80 || utf8) {
            chunks.Byte(static_cast<char>(c));
            ++i;
        } else {
            const char16_t ch = bytetext::ToChar(c);
            if (ch < 0x800) {
                chunks.Byte(static_cast<char>(0xC0 | ch >> 6));
            } else {
                chunks.Byte(static_cast<char>(0xE0 | ch >> 12));
                chunks.Byte(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
            }
            chunks.Byte(static_cast<char>(0x80 | (ch & 0x3F)));
            ++i;
        }
    }
    return chunks.Flush();
}

bool PutPayloadOfTextFile(QByteArrayView file, FileSink& out, QString* loneAt) {
    const unsigned char* p = Bytes(file);
    const auto n = static_cast<std::size_t>(file.size());
    Chunks chunks(out);
    // The forms DecodeTextFile tells apart, in its order.
    const bool mark = file.startsWith(kUtf8Mark);
    if (!mark && n >= 2 && n % 2 == 0 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        QString text = DecodeTextFile(file.toByteArray());  // UTF-16 is rare: through the work text
        return PutPayloadOfText(text, out, loneAt);
    }
    const std::size_t skip = mark ? 3 : 0;
    utf8::Scan scan;
    if (!utf8::IsValid(p + skip, n - skip, &scan) || !(mark || scan.nonAscii))
        return PutConverted(p, n, Convert::ByteText, chunks);
    if (!scan.byteText) {
        chunks.Bytes(Bytes(kUtf8Mark), 3);
        return PutConverted(p + skip, n - skip, Convert::Utf8, chunks);
    }
    // The characters of the mark at its start: the rest decides the form.
    if (file.sliced(qsizetype(skip)).startsWith("\xC3\xAF\xC2\xBB\xC2\xBF")) {
        QString text = DecodeTextFile(file.toByteArray());
        return PutPayloadOfText(text, out, loneAt);
    }
    return PutConverted(p + skip, n - skip, Convert::Utf8ToByteText, chunks);
}

KeyFault PasswordKey(QStringView password, std::string& key, qsizetype* detail) {
    QByteArray bytes;
    qsizetype bad = -1;
    if (!ToByteText(password, bytes)) {
        // Beyond Windows-1252: the UTF-8 bytes, without the mark.
        bytes = QByteArray(3 * password.size(), Qt::Uninitialized);
        qsizetype pos = 0;
        bool lone = false;
        bytes.truncate(utf8::Encode(password, pos, bytes.data(), bytes.size(), false, &lone));
        if (lone) bad = pos;
    }
    KeyFault fault = KeyFault::None;
    if (bad >= 0) {
        fault = KeyFault::LoneSurrogate;
        *detail = CharacterNumber(password, bad);
    } else if (bytes.size() > kPasswordMax) {
        fault = KeyFault::TooLong;
        *detail = bytes.size();
    } else {
        key.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    WipeBytes(bytes);
    return fault;
}

QString KeyFaultMessage(KeyFault fault, qsizetype detail, const QString& consequence) {
    if (fault == KeyFault::LoneSurrogate)
        return QStringLiteral(
                   "The password's character number %1 is half of a character (a lone surrogate), which has no "
                   "UTF-8 form, so %2. Nothing was changed.")
            .arg(QString::number(detail), consequence);
    return QStringLiteral(
               "The password takes %1 bytes as a key (in UTF-8, as it holds characters beyond Windows-1252); a key "
               "holds at most 448 bytes, so %2. Nothing was changed.")
        .arg(QString::number(detail), consequence);
}

}  // namespace quelvane
