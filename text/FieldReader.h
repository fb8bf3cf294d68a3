// SPDX-License-Identifier: MIT
#pragma once
// Comma- and line-delimited fields of a byte text, as sequential text input
// reads them: used where a decrypted file or a hex file is read field by field.
//
// Rules, in the order they apply to one field:
//  - Blanks (space and tab) before a field are skipped; line ends are not.
//  - A field that begins with a double quote runs to the next double quote;
//    commas and line ends in between are part of it, the quotes are not.
//    Characters after the closing quote up to the next delimiter are kept and
//    appended to the field, unless they are only blanks (so "a" , gives a and
//    "Hi" there gives Hi there: nothing the file holds is silently dropped).
//    Without a closing quote the field runs to the end of the text, less one
//    line end at the very end.
//  - Any other field runs to the next comma or line end, or to the end of the
//    text. A double quote inside it is an ordinary character, and its trailing
//    blanks are kept.
//  - Line ends are CR LF, a lone LF and a lone CR. The comma or line end that
//    ends a field is consumed and belongs to no field; a field with nothing
//    before its delimiter is empty.
//  - The end is reached once everything up to it has been consumed, so a line
//    end (or a comma) at the very end gives no further field, and an empty
//    text gives no field at all.
// Every byte, NUL included, is an ordinary character; the reader never fails
// and never reads outside the text.
#include <cstddef>
#include <string>
#include <string_view>

namespace quelvane {

class FieldReader {
public:
    explicit FieldReader(std::string_view bytes) : text(bytes) {}

    // True once everything up to the end has been consumed.
    bool AtEnd() const noexcept;
    // The next field; never fails, whatever the bytes. At the end it returns
    // an empty field and stays at the end.
    std::string ReadNextField();

private:
    std::string_view text;
    std::size_t pos = 0;
};

}  // namespace quelvane
