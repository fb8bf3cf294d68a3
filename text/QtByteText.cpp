// SPDX-License-Identifier: MIT
#include "text/QtByteText.h"

#include <QCoreApplication>

#include <bit>
#include <cstdint>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"
#include "secret/SecureWipe.h"

namespace quelvane {

namespace {

// Characters per step of the fast path.
constexpr qsizetype kRun = 16;

// Writes the bytes of the run of kRun characters at p (those of the other
// characters are left undefined) and returns how many characters from the
// start are plain: their own byte (U+0000 to U+007F and U+00A0 to U+00FF),
// and no "\n" when lineBreaks. out needs room for kRun bytes.
#if defined(__SSE2__) || defined(_M_X64)
inline __m128i PlainLanes(__m128i x, __m128i lf) noexcept {
    // Its own byte: below U+0100 and not U+0080 to U+009F, whose bytes
    // stand for other characters in Windows-1252.
    const __m128i zero = _mm_setzero_si128();
    const __m128i oneByte = _mm_cmpeq_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xFF00))), zero);
    const __m128i c1 =
        _mm_cmpeq_epi16(_mm_and_si128(x, _mm_set1_epi16(static_cast<short>(0xFFE0))), _mm_set1_epi16(0x80));
    return _mm_andnot_si128(_mm_or_si128(c1, _mm_cmpeq_epi16(x, lf)), oneByte);
}

inline qsizetype PlainRun(const char16_t* p, char* out, bool lineBreaks) noexcept {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));
    const __m128i lf = _mm_set1_epi16(lineBreaks ? '\n' : 0x80);  // 0x80 is caught as no byte of its own anyway
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(a, b));
    const auto plain = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(PlainLanes(a, lf), PlainLanes(b, lf))));
    return plain == 0xFFFF ? kRun : std::countr_one(plain);
}
#else
inline qsizetype PlainRun(const char16_t* p, char* out, bool lineBreaks) noexcept {
    qsizetype k = 0;
    while (k < kRun && (p[k] < 0x80 || (p[k] >= 0xA0 && p[k] < 0x100)) && !(lineBreaks && p[k] == u'\n')) {
        out[k] = static_cast<char>(p[k]);
        ++k;
    }
    return k;
}
#endif

}  // namespace

qsizetype EncodeByteText(QStringView text, qsizetype& pos, char* out, qsizetype room, bool crlf, bool* bad) {
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = pos, o = 0;
    *bad = false;
    while (i < n) {
        if (n - i >= kRun && room - o >= kRun) {
            const qsizetype plain = PlainRun(in + i, out + o, crlf);
            i += plain;
            o += plain;
            if (plain == kRun) continue;
        }
        const char16_t c = in[i];
        if (c == u'\n' && crlf) {
            if (room - o < 2) break;
            out[o++] = '\r';
            out[o++] = '\n';
        } else if (c < 0x80) {
            if (room - o < 1) break;
            out[o++] = static_cast<char>(c);
        } else {
            if (room - o < 1) break;
            const auto byte = bytetext::ToByte(c);  // a lone surrogate half has none
            if (!byte) {
                *bad = true;
                break;
            }
            out[o++] = static_cast<char>(*byte);
        }
        ++i;
    }
    pos = i;
    return o;
}

bool ToByteText(QStringView text, QByteArray& bytes, qsizetype* bad, bool crlf) {
    bytes = QByteArray(text.size() + (crlf ? text.count(u'\n') : 0), Qt::Uninitialized);
    qsizetype pos = 0;
    bool failed = false;
    EncodeByteText(text, pos, bytes.data(), bytes.size(), crlf, &failed);
    if (failed) {
        if (bad) *bad = pos;
        WipeBytes(bytes);
        return false;
    }
    return true;
}

QString FromByteText(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) out[i] = bytetext::ToChar(static_cast<std::uint8_t>(bytes[i]));
    return text;
}

QString DescribeCharacter(QStringView text, qsizetype i) {
    const char32_t code = (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                              ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                              : text.at(i).unicode();
    const QString glyph = QString::fromUcs4(&code, 1);
    const QString hex = QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QChar('0'));
    return QStringLiteral("\u201C%1\u201D (U+%2)").arg(glyph, hex);
}

QString ShownName(QStringView name) {
    QString shown;
    shown.reserve(name.size());
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u < 0xA0);
        const bool reorders =
            u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x2028 && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (u == u'\n') {
            shown += QStringLiteral("\\n");
        } else if (u == u'\r') {
            shown += QStringLiteral("\\r");
        } else if (u == u'\t') {
            shown += QStringLiteral("\\t");
        } else if (control) {
            shown += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, u'0');
        } else if (reorders) {
            shown += QStringLiteral("\\u") + QString::number(u, 16).toUpper().rightJustified(4, u'0');
        } else {
            shown += c;
        }
    }
    return shown;
}

qsizetype CharacterNumber(QStringView text, qsizetype i) {
    qsizetype number = 1;
    for (qsizetype k = 0; k < i && k < text.size(); ++k)
        if (!(text[k].isLowSurrogate() && k > 0 && text[k - 1].isHighSurrogate())) ++number;
    return number;
}

QString PlaceInText(QStringView text, qsizetype i) {
    const QStringView before = text.first(i);
    const qsizetype lineStart = before.lastIndexOf(u'\n') + 1;
    return QCoreApplication::translate("quelvane::TextFiles", "line %1, column %2")
        .arg(QString::number(before.count(u'\n') + 1),
             QString::number(CharacterNumber(text.sliced(lineStart), i - lineStart)));
}

bool IsLoneSurrogateAt(QStringView text, qsizetype i) {
    const QChar c = text[i];
    if (!c.isSurrogate()) return false;
    if (c.isHighSurrogate()) return !(i + 1 < text.size() && text[i + 1].isLowSurrogate());
    return !(i > 0 && text[i - 1].isHighSurrogate());
}

void WipeBytes(QByteArray& bytes) noexcept {
    if (!bytes.isEmpty() && !bytes.isDetached()) {
        bytes.clear();  // shared: another copy still holds the data
        return;
    }
    SecureWipe(bytes.data(), static_cast<std::size_t>(bytes.size()));
    bytes.clear();
}

}  // namespace quelvane
