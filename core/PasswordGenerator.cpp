// SPDX-License-Identifier: MIT
#include "core/PasswordGenerator.h"

#include <QRegularExpression>
#include <cmath>
#include <stdexcept>

namespace quelvane {

QString RandomString(std::uint8_t Length, std::uint8_t Mode, QRandomGenerator& source) {
    if (Mode != kRandomModeAscii) throw std::invalid_argument("RandomString: unknown mode");
    QString result(Length, Qt::Uninitialized);
    for (int i = 0; i < Length; ++i)
        result[i] = QChar(static_cast<char16_t>(source.bounded(quint32(kRandomFirst), quint32(kRandomLast) + 1)));
    return result;
}

std::optional<double> ReadNumber(const QString& answer) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)\s*$)"));
    if (!number.match(answer).hasMatch()) return std::nullopt;
    bool ok = false;
    const double value = answer.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return value;
}

std::optional<std::uint8_t> ReadByteCount(const QString& text) {
    const std::optional<double> value = ReadNumber(text);
    if (!value) return std::nullopt;
    const double rounded = std::nearbyint(*value);  // the default rounding mode: half to even
    if (rounded < 0 || rounded > 255) return std::nullopt;
    return static_cast<std::uint8_t>(rounded);
}

}  // namespace quelvane
