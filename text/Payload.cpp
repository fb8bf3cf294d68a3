// SPDX-License-Identifier: MIT
#include "text/Payload.h"

#include <QCoreApplication>

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"
#include "secret/SecureWipe.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"
#include "text/Utf8.h"
#include "text/WorkText.h"

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
    return true;
}

// Counts of a piece of a text file, for its payload's size.
using Counts = TextFileScan::Counts;

bool SeparatorAt(const unsigned char* p, std::size_t i, std::size_t n) {
    return i + 2 < n && p[i + 1] == 0x80 && (p[i + 2] == 0xA8 || p[i + 2] == 0xA9);
}

void Count(const unsigned char* p, std::size_t n, Counts& c) {
    std::size_t i = 0;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i crs = _mm_set1_epi8('\r'), lfs = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    const __m128i lead = _mm_set1_epi8(static_cast<char>(0xC0)), e2 = _mm_set1_epi8(static_cast<char>(0xE2));
    unsigned crBefore = 0;  // a CR ended the last sixteen bytes
    unsigned nuls = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const auto cr = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, crs)));
        const auto lf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, lfs)));
        c.cr += std::popcount(cr);
        c.lf += std::popcount(lf);
        c.crlf += std::popcount(((cr << 1) | crBefore) & lf);
        crBefore = cr >> 15;
        // Signed: 0x80 to 0xBF are the bytes below 0xC0.
        c.continuation += std::popcount(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi8(x, lead))));
        nuls |= static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, zero)));
        for (auto at = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, e2))); at; at &= at - 1)
            c.separators += SeparatorAt(p, i + static_cast<std::size_t>(std::countr_zero(at)), n);
    }
    c.nul = c.nul || nuls != 0;
#endif
    for (; i < n; ++i) {
        const unsigned char b = p[i];
        c.cr += b == '\r';
        c.lf += b == '\n';
        c.crlf += b == '\n' && i > 0 && p[i - 1] == '\r';
        c.continuation += b >= 0x80 && b < 0xC0;
        c.nul = c.nul || b == 0;
        c.separators += b == 0xE2 && SeparatorAt(p, i, n);
    }
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

bool IsDamagedPayload(QByteArrayView payload) { return payload.startsWith(kUtf8Mark) && !ReadsAsUtf8(payload); }

bool MarkedBytes(QStringView text, bool crlf, QByteArray& bytes, qsizetype* bad) {
    if (!NeedsUtf8Form(text) && ToByteText(text, bytes, nullptr, crlf)) return true;
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

bool NeedsUtf8Form(QStringView text) { return text.startsWith(u"\u00EF\u00BB\u00BF"); }

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
    Utf8TextOfPayload text(ReadsAsUtf8(payload), out);
    return text.Put(payload) && text.Finish();
}

bool PutPayloadOfTextFile(QByteArrayView file, FileSink& out, QString* loneAt) {
    TextFileScan scan(file.size());
    scan.Put(file);
    const TextFileLayout layout = scan.Layout();
    if (layout.form == TextFileLayout::Form::Whole) {
        QString text = DecodeTextFile(file.toByteArray());  // rare: through the work text
        return PutPayloadOfText(text, out, loneAt);
    }
    TextFileConversion conversion(layout, out);
    return conversion.Put(file) && conversion.Finish();
}

qsizetype TextPieceEnd(QByteArrayView bytes) {
    const unsigned char* p = Bytes(bytes);
    // The last byte always starts the next piece: it may be a CR before an
    // LF, or begin a sequence. Before it, the start of its sequence.
    qsizetype end = bytes.size() - 1;
    for (int k = 0; k < 3 && end > 0 && (p[end] & 0xC0) == 0x80; ++k) --end;
    if (end > 0 && p[end - 1] == '\r') --end;
    return qMax<qsizetype>(end, 0);
}

void TextFileScan::Put(QByteArrayView piece) {
    const unsigned char* p = Bytes(piece);
    const auto n = static_cast<std::size_t>(piece.size());
    for (qint64 k = seen; k < qint64(sizeof head) && k - seen < qint64(n); ++k) head[k] = piece[k - seen];
    const std::size_t skip = seen == 0 && ByteOrderMark(piece).form == TextFileForm::Utf8 ? 3 : 0;
    if (valid) {
        utf8::Scan part;
        valid = utf8::IsValid(p + skip, n - skip, &part);
        scan.nonAscii = scan.nonAscii || part.nonAscii;
        scan.byteText = scan.byteText && part.byteText;
    }
    Counts more;
    Count(p, n, more);
    counts += more;
    seen += qint64(n);
}

void TextFileScan::Join(const TextFileScan& next) {
    for (qint64 k = seen; k < qint64(sizeof head) && k < next.seen; ++k) head[k] = next.head[k];
    valid = valid && next.valid;
    scan.nonAscii = scan.nonAscii || next.scan.nonAscii;
    scan.byteText = scan.byteText && next.scan.byteText;
    counts += next.counts;
    seen = next.seen;
}

TextFileLayout TextFileScan::Layout() const {
    // The forms PutPayloadOfTextFile tells apart, in its order.
    using Form = TextFileLayout::Form;
    const TextFileEncoding bom = ByteOrderMark(QByteArrayView(head, qMin<qint64>(size, 3)));
    const bool mark = bom.form == TextFileForm::Utf8;
    TextFileLayout layout;
    layout.empty = size == 0 || qint64(bom.skip) == size;
    layout.nul = counts.nul;
    if (!mark && bom.skip && size % 2 == 0) {
        layout.form = Form::Whole;
        return layout;
    }
    // A lone CR or LF takes a byte more as CR LF.
    const qint64 breaks = counts.cr + counts.lf - 2 * counts.crlf;
    layout.skip = mark ? 3 : 0;
    const qint64 text = size - layout.skip;
    if (mark && !valid) {
        layout.form = Form::Whole;  // read as byte text, it starts with the mark's characters
    } else if (!valid || !(mark || scan.nonAscii)) {
        layout.form = Form::ByteText;
        layout.skip = 0;
        layout.payloadSize = size + breaks;
    } else if (!scan.byteText) {
        layout.form = Form::Utf8;
        layout.payloadSize = 3 + text + breaks - counts.separators;  // a separator's three bytes as CR LF
    } else if (size - layout.skip >= 6 && QByteArrayView(head + layout.skip, 6) == "\xC3\xAF\xC2\xBB\xC2\xBF") {
        layout.form = Form::Whole;  // the characters of the mark at its start: the rest decides the form
    } else {
        // A sequence is one byte, a separator two; the mark's own bytes are left out.
        layout.form = Form::Utf8ToByteText;
        layout.payloadSize = text + breaks - (counts.continuation - (mark ? 2 : 0)) + counts.separators;
    }
    return layout;
}

struct TextFileConversion::Buffer {
    explicit Buffer(FileSink& out) : chunks(out) {}
    Chunks chunks;
    bool markDue = false;
};

TextFileConversion::TextFileConversion(const TextFileLayout& layout, FileSink& out)
    : buffer(std::make_unique<Buffer>(out)), form(layout.form), skip(layout.skip) {
    buffer->markDue = form == TextFileLayout::Form::Utf8;
}

TextFileConversion::~TextFileConversion() = default;

bool TextFileConversion::Put(QByteArrayView piece) {
    Chunks& chunks = buffer->chunks;
    if (buffer->markDue) {
        chunks.Bytes(Bytes(kUtf8Mark), 3);
        buffer->markDue = false;
    }
    const qsizetype left = qMin<qint64>(skip, piece.size());
    skip -= left;
    piece = piece.sliced(left);
    const Convert convert = form == TextFileLayout::Form::ByteText ? Convert::ByteText
                            : form == TextFileLayout::Form::Utf8   ? Convert::Utf8
                                                                   : Convert::Utf8ToByteText;
    return PutConverted(Bytes(piece), static_cast<std::size_t>(piece.size()), convert, chunks);
}

bool TextFileConversion::Finish() { return buffer->chunks.Flush(); }

struct Utf8TextOfPayload::Buffer {
    explicit Buffer(FileSink& out) : chunks(out) {}
    Chunks chunks;
};

Utf8TextOfPayload::Utf8TextOfPayload(bool isUtf8, FileSink& out)
    : buffer(std::make_unique<Buffer>(out)), utf8(isUtf8), markLeft(isUtf8 ? 3 : 0) {}

Utf8TextOfPayload::~Utf8TextOfPayload() = default;

bool Utf8TextOfPayload::Put(QByteArrayView piece) {
    Chunks& chunks = buffer->chunks;
    const qsizetype mark = qMin(markLeft, piece.size());
    markLeft -= mark;
    const unsigned char* p = Bytes(piece) + mark;
    const std::size_t n = static_cast<std::size_t>(piece.size() - mark);
    std::size_t i = 0;
    if (afterCr && n > 0) {
        if (p[0] == '\n') i = 1;
        afterCr = false;
    }
    while (i < n) {
        if (!chunks.Room()) return false;
        i = PlainRun(p, i, n, !utf8, chunks);
        if (i >= n) break;
        if (!chunks.Room()) return false;
        const unsigned char c = p[i];
        if (c == '\r') {
            chunks.Byte('\n');  // CR LF and a lone CR alike
            afterCr = i + 1 == n;
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
    return true;
}

bool Utf8TextOfPayload::Finish() { return buffer->chunks.Flush(); }

KeyFault PasswordKey(QStringView password, SecretString& key, qsizetype* detail) {
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
        return QCoreApplication::translate(
                   "quelvane::TextCipher",
                   "The password's character number %1 is half of a character (a lone surrogate), which has no "
                   "UTF-8 form, so %2.")
            .arg(QString::number(detail), consequence);
    return QCoreApplication::translate(
               "quelvane::TextCipher",
               "The password takes %1 bytes as a key (in UTF-8, as it holds characters beyond Windows-1252); a key "
               "holds at most 448 bytes, so %2.")
        .arg(QString::number(detail), consequence);
}

}  // namespace quelvane
