// SPDX-License-Identifier: MIT
#pragma once
// The one shape of a failure below the window: bool F(..., QString* error),
// false with the message in *error where the caller asked for one.
#include <QString>

namespace quelvane {

inline bool Fail(QString* error, const QString& message) {
    if (error) *error = message;
    return false;
}

}  // namespace quelvane
