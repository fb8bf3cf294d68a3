// SPDX-License-Identifier: MIT
#include "text/Utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "cipher/ByteText.h"

namespace quelvane::utf8 {

bool IsValid(const unsigned char* p, std::size_t n, Scan* scan) {
    Scan seen;
    std::size_t i = 0;
    while (i < n) {
        // Runs of ASCII sixteen bytes at a time: most text is mostly ASCII.
#if defined(__SSE2__) || defined(_M_X64)
        const __m128i zero = _mm_setzero_si128();
        while (i + 16 <= n) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const auto notAscii = static_cast<unsigned>(_mm_movemask_epi8(x));
            const std::size_t ascii = notAscii ? static_cast<std::size_t>(std::countr_zero(notAscii)) : 16;
            // May look past the ASCII run: only costs a scan, and a NUL is a NUL wherever it is.
            seen.nul = seen.nul || _mm_movemask_epi8(_mm_cmpeq_epi8(x, zero)) != 0;
            i += ascii;
            if (ascii < 16) break;
        }
#endif
        if (i >= n) break;
        const unsigned char c = p[i];
        if (c < 0x80) {
            seen.nul = seen.nul || c == 0;
            ++i;
            continue;
        }
        seen.nonAscii = true;
        char32_t code = 0;
        const std::size_t len = Sequence(p, i, n, &code);
        if (len == 0) return false;
        if (seen.byteText && code != 0x2028 && code != 0x2029 && !bytetext::ToByte(code)) seen.byteText = false;
        i += len;
    }
    if (scan) *scan = seen;
    return true;
}

void Validator::Put(const unsigned char* p, std::size_t n) {
    if (!valid) return;
    std::size_t i = 0;
    if (carried > 0) {
        const std::size_t need = carry[0] >= 0xF0 ? 4 : carry[0] >= 0xE0 ? 3 : 2;
        while (carried < need && i < n) carry[carried++] = p[i++];
        if (carried < need) return;
        char32_t code = 0;
        valid = Sequence(carry, 0, need, &code) == need;
        carried = 0;
        if (!valid) return;
    }
    // A sequence begun in the last three bytes and not ended waits for the next piece.
    std::size_t end = n;
    for (std::size_t k = n; k > i && n - k < 3;) {
        const unsigned char c = p[--k];
        if (c < 0x80) break;
        if (c >= 0xC0) {
            if (k + (c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2) > n) end = k;
            break;
        }
    }
    valid = IsValid(p + i, end - i);
    if (valid)
        while (end < n) carry[carried++] = p[end++];
}

bool Decode(const unsigned char* p, std::size_t n, QString& text, bool* nonAscii, bool* carriageReturn) {
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
        const std::size_t len = Sequence(p, i, n, &code);
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

qsizetype Encode(QStringView text, qsizetype& pos, char* out, qsizetype room, bool crlf, bool* bad) {
    const auto* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    qsizetype i = pos, o = 0;
    *bad = false;
    while (i < n) {
#if defined(__SSE2__) || defined(_M_X64)
        // Runs of ASCII without a line break, eight units at a time.
        const __m128i lf = _mm_set1_epi16(crlf ? '\n' : 0x80), high = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (n - i >= 8 && room - o >= 8) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const __m128i other = _mm_or_si128(
                _mm_cmpeq_epi16(x, lf),
                _mm_xor_si128(_mm_cmpeq_epi16(_mm_and_si128(x, high), _mm_setzero_si128()), _mm_set1_epi16(-1)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + o), _mm_packus_epi16(x, x));
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(other));
            const qsizetype plain = mask ? std::countr_zero(mask) / 2 : 8;
            i += plain;
            o += plain;
            if (plain < 8) break;
        }
        if (i >= n) break;
#endif
        const char32_t c = in[i];
        if (c < 0x80) {
            if (c == u'\n' && crlf) {
                if (room - o < 2) break;
                out[o++] = '\r';
            } else if (room - o < 1) {
                break;
            }
            out[o++] = static_cast<char>(c);
            ++i;
        } else if (c < 0x800) {
            if (room - o < 2) break;
            out[o++] = static_cast<char>(0xC0 | c >> 6);
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else if (!QChar::isSurrogate(c)) {
            if (room - o < 3) break;
            out[o++] = static_cast<char>(0xE0 | c >> 12);
            out[o++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
            if (room - o < 4) break;
            const char32_t code = QChar::surrogateToUcs4(static_cast<char16_t>(c), in[i + 1]);
            out[o++] = static_cast<char>(0xF0 | code >> 18);
            out[o++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out[o++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out[o++] = static_cast<char>(0x80 | (code & 0x3F));
            i += 2;
        } else {
            *bad = true;
            break;
        }
    }
    pos = i;
    return o;
}

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

}  // namespace quelvane::utf8
