// SPDX-License-Identifier: MIT
#pragma once
// The password of a command: read from a password file as "&Load PassWord"
// reads it, or asked on the controlling terminal with no echo. It never comes
// from the command line or the environment.
#include <QString>

namespace quelvane::cli {

enum class PasswordStatus { Ok, Failed, Usage };

// confirm asks twice on the terminal (a typing error when encrypting would
// lock the text away). Warnings (a file longer than a password) go to *warning.
PasswordStatus ReadPassword(const QString* passwordFile, bool confirm, QString& password, QString* warning,
                            QString* error);

// Overwrites the characters before the string lets them go (a shared copy is
// only let go: another still holds them).
void WipeString(QString& text) noexcept;

}  // namespace quelvane::cli
