// SPDX-License-Identifier: MIT
#include "formats/HexFile.h"

#include <cstring>
#include <utility>

#include "cipher/HexText.h"
#include "text/TextFileCodec.h"

namespace quelvane {

std::size_t HexFileDecoder::Put(QByteArrayView piece, char* out) {
    std::size_t n = 0;
    if (start == Start::Open) {
        while (headSize < 3 && !piece.isEmpty()) {
            head[headSize++] = piece.front();
            piece = piece.sliced(1);
        }
        if (headSize < 3) return 0;
        const QByteArrayView first(head, 3);
        const TextFileForm mark = ByteOrderMark(first).form;
        if (mark == TextFileForm::Utf16LE || mark == TextFileForm::Utf16BE) {
            start = mark == TextFileForm::Utf16LE ? Start::Utf16LE : Start::Utf16BE;
            unitByte = static_cast<unsigned char>(head[2]);
        } else {
            start = Start::Plain;
            if (mark != TextFileForm::Utf8) n = Decode(first, out);
        }
    }
    if (start == Start::Plain) return n + Decode(piece, out + n);
    // UTF-16: only ASCII matters to the pair rule; any other unit stays
    // something that is no digit, no blank and no delimiter.
    narrowed.clear();
    for (const char b : piece) {
        if (unitByte < 0) {
            unitByte = static_cast<unsigned char>(b);
            continue;
        }
        const unsigned second = static_cast<unsigned char>(b);
        const unsigned unit = start == Start::Utf16LE ? unitByte | second << 8 : unsigned(unitByte) << 8 | second;
        narrowed += static_cast<char>(unit < 0x80 ? unit : 0xFF);
        unitByte = -1;
    }
    return n + Decode(narrowed, out + n);
}

std::size_t HexFileDecoder::Finish(char* out) {
    std::size_t n = 0;
    if (start == Start::Open) {
        // Fewer than three bytes in all.
        const QByteArrayView first(head, headSize);
        start = Start::Plain;
        if (!(headSize == 2 && ByteOrderMark(first).skip == 2)) n = Decode(first, out);
    }
    return n + pairs.Finish(out + n);
}

std::size_t HexFileDecoder::Decode(QByteArrayView text, char* out) {
    const QByteArrayView hex = Joined(text);
    return pairs.Put(hex.data(), static_cast<std::size_t>(hex.size()), out);
}

// The fields joined as the hex-file load joins them, less what the pair rule skips
// anyway: blanks and line breaks may stay, commas and quotes that delimit go.
QByteArrayView HexFileDecoder::Joined(QByteArrayView text) {
    if (!file) return text;  // plain hex text: no mark, no fields
    const bool delimited = !text.isEmpty() && (std::memchr(text.data(), ',', std::size_t(text.size())) ||
                                               std::memchr(text.data(), '"', std::size_t(text.size())));
    if (!delimited) {
        // Everything stays; only where a field would start matters later.
        if (field == Field::Quoted) return text;
        for (qsizetype i = text.size(); i > 0; --i) {
            const char c = text[i - 1];
            if (c == ' ' || c == '\t') continue;
            field = c == '\r' || c == '\n' ? Field::Start : Field::Unquoted;
            break;
        }
        return text;
    }
    joined.clear();
    for (const char c : text) {
        switch (field) {
            case Field::Start:
                if (c == '"') {
                    field = Field::Quoted;
                    continue;
                }
                if (c == ',') continue;
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n') field = Field::Unquoted;
                break;
            case Field::Unquoted:
                if (c == ',' || c == '\r' || c == '\n') {
                    field = Field::Start;
                    if (c == ',') continue;
                }
                break;
            case Field::Quoted:
                if (c == '"') {
                    field = Field::Unquoted;
                    continue;
                }
                break;
        }
        joined += c;
    }
    return joined;
}

}  // namespace quelvane
