// SPDX-License-Identifier: MIT
#pragma once
// Text files' bytes and the work text: the encoding a file is read in, and
// the bytes a work text is saved as, which read back as the same text.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstddef>

namespace quelvane {

// How a text file's bytes are read. Saving relies on it as well: a text
// whose byte text would be read as anything else is saved another way.
enum class TextFileForm { ByteText, Utf8, Utf16LE, Utf16BE };

struct TextFileEncoding {
    TextFileForm form = TextFileForm::ByteText;
    std::size_t skip = 0;  // the byte-order mark
};

// UTF-16 after its byte-order mark (an even number of bytes), UTF-8 after
// the UTF-8 mark when valid after it, UTF-8 when valid with non-ASCII
// characters, else byte text.
TextFileEncoding DetectTextFile(QByteArrayView bytes);
TextFileEncoding DetectTextFile(const unsigned char* p, std::size_t n);

// A text file's content as the work text: UTF-16 after its byte-order mark,
// UTF-8 when the file is valid UTF-8 with non-ASCII characters or starts with
// the UTF-8 mark, else byte text. CR LF, lone LF and lone CR all become "\n".
QString DecodeTextFile(const QByteArray& bytes);

// The bytes a work text is saved as, which DecodeTextFile reads back as the
// same text: byte text with CR LF line breaks where that reads back as it
// is; else UTF-8 (with the mark when byte text would read as something
// else); UTF-16LE with the mark for a text with a lone surrogate half.
QByteArray EncodeTextFile(const QString& text);

// True when a text file holds no character: empty, or a byte-order mark alone.
bool IsEmptyTextFile(QByteArrayView file);

// True when the text of a text file holds a NUL character: then it is no text.
bool TextFileHoldsNul(QByteArrayView file);

}  // namespace quelvane
