// SPDX-License-Identifier: MIT
#include "WorkText.h"

#include "ByteText.h"
#include "QtByteText.h"
#include "SecureWipe.h"

namespace quelvane {

std::optional<QByteArray> WorkTextToBytes(const QString& text, qsizetype* bad) {
    std::optional<QByteArray> bytes = ToByteText(text, bad);
    if (!bytes) return std::nullopt;
    const qsizetype breaks = bytes->count('\n');
    if (breaks == 0) return bytes;
    QByteArray out(bytes->size() + breaks, Qt::Uninitialized);
    char* o = out.data();
    for (const char c : std::as_const(*bytes)) {
        if (c == '\n') *o++ = '\r';
        *o++ = c;
    }
    WipeBytes(*bytes);
    return out;
}

QString BytesToWorkText(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    qsizetype n = 0;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        if (b == '\r') {
            out[n++] = u'\n';
            if (i + 1 < size && bytes[i + 1] == '\n') ++i;
        } else if (b < 0x80) {
            out[n++] = b;
        } else {
            out[n++] = bytetext::ToChar(b);
        }
    }
    text.truncate(n);
    return text;
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
