// SPDX-License-Identifier: MIT
// libFuzzer: text-file decoding takes any bytes, and whatever text it gives,
// or any text of the work-text box, is saved as bytes that load back as the
// same text; the payload put straight from a file is that of its text, and
// every text comes back from its payload.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/TextFileCodec.h"
#include "text/WorkText.h"

namespace {

void RoundTrip(const QString& text) {
    if (quelvane::DecodeTextFile(quelvane::EncodeTextFile(text)) != text) std::abort();
}

struct Collect : quelvane::FileSink {
    QByteArray bytes;
    bool Put(const char* data, qsizetype size) override {
        bytes.append(data, size);
        return true;
    }
};

// The straight way from a file to its payload against the window's way: the
// file loaded into the box, whose text is then turned into the payload.
void SameAsTheBox(const QByteArray& file, QString text) {
    text.replace(QChar::LineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
    QByteArray expected;
    const bool representable = quelvane::MarkedBytes(text, true, expected);
    Collect got;
    QString loneAt;
    const bool put = quelvane::PutPayloadOfTextFile(file, got, &loneAt);
    if (put != representable || loneAt.isEmpty() != representable) std::abort();
    if (representable && got.bytes != expected) std::abort();
    if (quelvane::IsEmptyTextFile(file) != text.isEmpty()) std::abort();
}

// Every text in the box's form decrypts to itself, in whichever form it was
// encrypted; the command line's UTF-8 of it is its UTF-8 with LF.
void PayloadRoundTrip(const QString& text) {
    QByteArray payload;
    if (!quelvane::MarkedBytes(text, true, payload)) return;  // a lone surrogate half: refused
    if (quelvane::PayloadToWorkText(payload) != text) std::abort();
    Collect utf8;
    if (!quelvane::PutUtf8TextOfPayload(payload, utf8) || utf8.bytes != text.toUtf8()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString decoded = quelvane::DecodeTextFile(bytes);
    if (decoded.contains(u'\r')) std::abort();  // line breaks are the box's
    RoundTrip(decoded);
    SameAsTheBox(bytes, decoded);
    PayloadRoundTrip(decoded);

    // The same bytes as UTF-16 units, lone surrogate halves included, in the
    // box's form (no CR, no line or paragraph separator).
    QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        char16_t u = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (u == u'\r' || u == 0x2028 || u == 0x2029) u = u'\n';
        units[static_cast<qsizetype>(i / 2)] = QChar(u);
    }
    RoundTrip(units);
    PayloadRoundTrip(units);
    return 0;
}
