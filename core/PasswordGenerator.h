// SPDX-License-Identifier: MIT
#pragma once
// Random passwords, apart from any widget: the random source is a parameter,
// so tests pass a seeded generator and the window passes the system's.
#include <QRandomGenerator>
#include <QString>
#include <cstdint>
#include <optional>

namespace quelvane {

// The only mode: the 98 characters with codes 30 to 127.
inline constexpr std::uint8_t kRandomModeAscii = 66;

// Length characters drawn uniformly from the set of Mode; any other mode
// throws std::invalid_argument.
QString RandomString(std::uint8_t Length, std::uint8_t Mode, QRandomGenerator& source);

// An answer of the length box as a number: decimal digits with an optional
// sign and fraction, blanks around it allowed. Nothing when it is no number.
std::optional<double> ReadNumber(const QString& answer);

// A number text as an unsigned 8-bit count: rounded to the nearest whole
// number, a half to the even neighbour. Nothing when it is no number or
// falls outside 0..255.
std::optional<std::uint8_t> ReadByteCount(const QString& text);

}  // namespace quelvane
