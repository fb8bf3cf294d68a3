// SPDX-License-Identifier: MIT
#include "QtByteText.h"

#include <string>

#include "ByteText.h"

namespace quelvane {

std::optional<QByteArray> ToByteText(const QString& text, qsizetype* bad) {
    std::string bytes;
    const std::size_t at = bytetext::FromUtf16(
        {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())}, bytes);
    if (at != bytetext::npos) {
        if (bad) *bad = static_cast<qsizetype>(at);
        return std::nullopt;
    }
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

QString FromByteText(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    auto* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) out[i] = bytetext::ToChar(static_cast<std::uint8_t>(bytes[i]));
    return text;
}

QString DescribeCharacter(const QString& text, qsizetype i) {
    const char32_t code = (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                              ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                              : text.at(i).unicode();
    const QString glyph = QString::fromUcs4(&code, 1);
    const QString hex = QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, QChar('0'));
    return QStringLiteral("\u201C%1\u201D (U+%2)").arg(glyph, hex);
}

}  // namespace quelvane
