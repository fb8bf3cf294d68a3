// SPDX-License-Identifier: MIT
#pragma once
// A hex file's hex text, as "&Load Quelvane" reads it: whole, or a piece at
// a time for the command line's stream.
#include <QByteArray>
#include <string>
#include <string_view>

#include "cipher/HexText.h"

namespace quelvane {

// The hex text of a hex file's bytes, as "&Load Quelvane" reads it: a
// byte-order mark (UTF-8 or UTF-16) dropped, and fields split by commas or
// quotes joined again. Views bytes itself when nothing needs joining, else
// fills and views joined.
std::string_view HexFileText(QByteArrayView bytes, std::string& joined);

// True when the hex text holds nothing but blanks and line breaks.
bool IsBlankHexText(std::string_view hexText);

// HexFileText and the pair rule a piece at a time, for files too large to
// hold: the pieces of a hex file, cut anywhere, decode to the bytes
// hextext::Decode gives HexFileText of the whole file.
class HexFileDecoder {
public:
    // Without fileRules the text is hex text as HexFileText gives it: no
    // mark, no fields.
    explicit HexFileDecoder(bool fileRules = true) : file(fileRules), start(file ? Start::Open : Start::Plain) {}
    // Writes at most piece.size() / 2 + 4 bytes to out; returns how many.
    std::size_t Put(QByteArrayView piece, char* out);
    std::size_t Finish(char* out);

private:
    std::size_t Decode(QByteArrayView text, char* out);
    QByteArrayView Joined(QByteArrayView text);

    bool file;
    enum class Start { Open, Plain, Utf16LE, Utf16BE } start;
    char head[3] = {};  // the first bytes, until they tell the form
    int headSize = 0;
    int unitByte = -1;  // the first byte of a UTF-16 unit whose second is to come
    // Where the field reader stands; after a closing quote it reads as in an unquoted field.
    enum class Field { Start, Unquoted, Quoted } field = Field::Start;
    std::string narrowed, joined;
    hextext::PairDecoder pairs;
};

}  // namespace quelvane
