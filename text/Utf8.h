// SPDX-License-Identifier: MIT
#pragma once
// Strict UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF), read
// and written in one pass: the one reading of a sequence behind the text
// files, the payload of a text and the password files.
#include <QString>
#include <QStringView>
#include <cstddef>

namespace quelvane::utf8 {

// The length of the multi-byte sequence starting at p[i] (a byte of 0x80 or
// more) when it is valid, with its code point in *code; 0 when it is not.
inline std::size_t Sequence(const unsigned char* p, std::size_t i, std::size_t n, char32_t* code) noexcept {
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

struct Scan {
    bool nonAscii = false;  // a multi-byte sequence was seen
    bool byteText = true;  // every character has a Windows-1252 byte, or is a line or paragraph separator
    bool nul = false;  // a NUL byte was seen
};

// True when p holds valid UTF-8; *scan tells what it holds.
bool IsValid(const unsigned char* p, std::size_t n, Scan* scan = nullptr);

// IsValid over pieces cut anywhere, a sequence split between two included:
// at the end, the verdict IsValid gives the whole.
class Validator {
public:
    void Put(const unsigned char* p, std::size_t n);
    bool Valid() const { return valid && carried == 0; }

private:
    unsigned char carry[4] = {};  // a sequence the last piece began
    std::size_t carried = 0;
    bool valid = true;
};

// Decoded in one pass, checked as IsValid checks it. False on the first
// invalid sequence (text is then unspecified). *nonAscii and *carriageReturn
// tell whether a multi-byte sequence or a CR was seen.
bool Decode(const unsigned char* p, std::size_t n, QString& text, bool* nonAscii, bool* carriageReturn);

// Converts text from pos on into UTF-8 at out, at most room bytes (room >= 4),
// and moves pos past what it converted; with crlf, "\n" is written as CR LF.
// Returns the bytes written; stops early, with *bad set to true, at a lone
// surrogate half, which has no UTF-8 (pos is then its index).
qsizetype Encode(QStringView text, qsizetype& pos, char* out, qsizetype room, bool crlf, bool* bad);

// CR LF, lone CR and lone LF to "\n", in place, one pass.
void NormaliseLineBreaks(QString& text);

}  // namespace quelvane::utf8
