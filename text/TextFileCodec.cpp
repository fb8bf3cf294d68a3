// SPDX-License-Identifier: MIT
#include "text/TextFileCodec.h"

#include <algorithm>

#include "text/QtByteText.h"
#include "text/Utf8.h"
#include "text/WorkText.h"

namespace quelvane {

namespace {

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

// The text as UTF-8, "\n" as CR LF, with or without the byte-order mark.
// Written straight into the result: no other copy of the text is made.
QByteArray EncodeUtf8(QStringView text, bool mark) {
    QByteArray bytes(3 + 3 * text.size(), Qt::Uninitialized);  // 3 bytes a unit at most, CR LF included
    const qsizetype start = mark ? 3 : 0;
    std::copy_n("\xEF\xBB\xBF", start, bytes.data());
    qsizetype pos = 0;
    bool lone = false;  // never: such a text goes as UTF-16
    const qsizetype n = utf8::Encode(text, pos, bytes.data() + start, bytes.size() - start, true, &lone);
    bytes.truncate(start + n);  // keeps the buffer: nothing is left behind in a freed one
    return bytes;
}

// The text as UTF-16LE with the mark, "\n" as CR LF: the one form that
// holds a lone surrogate half.
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

TextFileEncoding DetectTextFile(const unsigned char* p, std::size_t n) {
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        // A mark followed by invalid bytes is no UTF-8: the byte-text rule loses nothing.
        if (utf8::IsValid(p + 3, n - 3)) return {TextFileForm::Utf8, 3};
        return {};
    }
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE) return {TextFileForm::Utf16LE, 2};
    if (n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF) return {TextFileForm::Utf16BE, 2};
    utf8::Scan scan;
    if (utf8::IsValid(p, n, &scan) && scan.nonAscii) return {TextFileForm::Utf8, 0};
    return {};
}

TextFileEncoding DetectTextFile(QByteArrayView bytes) {
    return DetectTextFile(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::size_t>(bytes.size()));
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
    } else if (!utf8Mark && !(utf8::Decode(p, n, text, &nonAscii, &carriageReturn))) {
        // Not UTF-8: the byte-text rule loses nothing, so the file's bytes all survive.
        text = FromByteText(bytes);
        carriageReturn = true;
    } else if (utf8Mark && !utf8::Decode(p + 3, n - 3, text, &nonAscii, &carriageReturn)) {
        // A mark followed by invalid bytes is no UTF-8 either. A mark after
        // the one skipped is a character of the text.
        text = FromByteText(bytes);
        carriageReturn = true;
    }
    // Valid UTF-8 of ASCII alone reads the same as byte text, so the decoded
    // text serves for both.
    if (carriageReturn) utf8::NormaliseLineBreaks(text);
    return text;
}

QByteArray EncodeTextFile(const QString& text) {
    // Byte text, as the files have always held, when the load reads it back
    // as it is. Byte text that happens to be valid UTF-8 or to start like a
    // byte-order mark would not: that text goes as UTF-8 with the mark.
    QByteArray bytes;
    if (WorkTextToBytes(text, bytes)) {
        if (DetectTextFile(bytes).form == TextFileForm::ByteText) return bytes;
        WipeBytes(bytes);
        return EncodeUtf8(text, true);
    }
    // A character outside the code page: UTF-8, which the load reads back
    // (with the mark when the text itself starts with one). Only UTF-16
    // holds a lone surrogate half.
    if (HasLoneSurrogate(text)) return EncodeUtf16(text);
    return EncodeUtf8(text, text.startsWith(QChar(0xFEFF)));
}

bool IsEmptyTextFile(QByteArrayView file) {
    return file.isEmpty() || file == QByteArrayView("\xEF\xBB\xBF", 3) || file == QByteArrayView("\xFF\xFE", 2) ||
           file == QByteArrayView("\xFE\xFF", 2);
}

bool TextFileHoldsNul(QByteArrayView file) {
    const auto* p = reinterpret_cast<const unsigned char*>(file.data());
    const qsizetype n = file.size();
    const TextFileForm form = n >= 2 && n % 2 == 0 && p[0] == 0xFF && p[1] == 0xFE   ? TextFileForm::Utf16LE
                              : n >= 2 && n % 2 == 0 && p[0] == 0xFE && p[1] == 0xFF ? TextFileForm::Utf16BE
                                                                                     : TextFileForm::ByteText;
    if (form == TextFileForm::ByteText) return file.contains('\0');  // UTF-8 or byte text: the byte is the character
    for (qsizetype i = 2; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0) return true;
    return false;
}

}  // namespace quelvane
