// SPDX-License-Identifier: MIT
#include "text/WorkText.h"

#include <cstdint>

#include "cipher/ByteText.h"
#include "text/QtByteText.h"

namespace quelvane {

bool WorkTextToBytes(QStringView text, QByteArray& bytes, qsizetype* bad) { return ToByteText(text, bytes, bad, true); }

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

}  // namespace quelvane
