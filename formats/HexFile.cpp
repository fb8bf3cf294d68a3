// SPDX-License-Identifier: MIT
#include "formats/HexFile.h"

#include <cstring>
#include <utility>

#include "cipher/HexText.h"
#include "text/FieldReader.h"

namespace quelvane {

namespace {

// Fields joined with nothing between them, as the hex-file load joins them.
void JoinFields(std::string_view text, std::string& joined) {
    std::string out;
    out.reserve(text.size());
    FieldReader reader(text);
    while (!reader.AtEnd()) out += reader.ReadNextField();
    joined = std::move(out);
}

}  // namespace

std::string_view HexFileText(QByteArrayView bytes, std::string& joined) {
    std::string_view text(bytes.data(), static_cast<std::size_t>(bytes.size()));
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        // UTF-16: only ASCII matters to the pair rule; any other unit stays
        // something that is no digit, no blank and no delimiter.
        const bool little = at(0) == 0xFF;
        std::string narrow;
        narrow.reserve(text.size() / 2);
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            const unsigned unit = little ? at(i) | at(i + 1) << 8 : at(i) << 8 | at(i + 1);
            narrow += static_cast<char>(unit < 0x80 ? unit : 0xFF);
        }
        JoinFields(narrow, joined);
        return joined;
    }
    if (text.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) text.remove_prefix(3);
    // Without commas and quotes the fields are the lines less their leading
    // blanks, and the pair rule skips line breaks and blanks anyway.
    const bool delimited =
        !text.empty() && (std::memchr(text.data(), ',', text.size()) || std::memchr(text.data(), '"', text.size()));
    if (!delimited) return text;
    JoinFields(text, joined);
    return joined;
}

std::size_t HexFileDecoder::Put(QByteArrayView piece, char* out) {
    std::size_t n = 0;
    if (start == Start::Open) {
        while (headSize < 3 && !piece.isEmpty()) {
            head[headSize++] = piece.front();
            piece = piece.sliced(1);
        }
        if (headSize < 3) return 0;
        const QByteArrayView first(head, 3);
        if (first.startsWith("\xFF\xFE") || first.startsWith("\xFE\xFF")) {
            start = first[0] == '\xFF' ? Start::Utf16LE : Start::Utf16BE;
            unitByte = static_cast<unsigned char>(head[2]);
        } else {
            start = Start::Plain;
            if (first != "\xEF\xBB\xBF") n = Decode(first, out);
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
        if (!(headSize == 2 && (first == "\xFF\xFE" || first == "\xFE\xFF"))) n = Decode(first, out);
    }
    return n + pairs.Finish(out + n);
}

std::size_t HexFileDecoder::Decode(QByteArrayView text, char* out) {
    const QByteArrayView hex = Joined(text);
    return pairs.Put(hex.data(), static_cast<std::size_t>(hex.size()), out);
}

// The fields joined as JoinFields joins them, less what the pair rule skips
// anyway: blanks and line breaks may stay, commas and quotes that delimit go.
QByteArrayView HexFileDecoder::Joined(QByteArrayView text) {
    if (!file) return text;  // hex text as HexFileText gives it
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

bool IsBlankHexText(std::string_view hexText) { return hexText.find_first_not_of(" \t\r\n") == std::string_view::npos; }

}  // namespace quelvane
