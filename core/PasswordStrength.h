// SPDX-License-Identifier: MIT
#pragma once
// How hard a password is to guess, rated with zxcvbn (dictionaries, keyboard
// walks, dates, repeats, l33t), for the window's meter and the command line's
// warning. The legacy format takes the password as the key with no
// stretching, so guesses cost an attacker no more than a cipher run: the
// scale asks more than zxcvbn's own scores, which assume a slowed-down login.
#include <QString>

namespace quelvane {

enum class PasswordStrength { VeryWeak, Weak, Fair, Strong, VeryStrong };

struct StrengthRating {
    PasswordStrength level = PasswordStrength::VeryWeak;
    double bits = 0;  // zxcvbn's estimate of the guesses, as a power of two
};

// The rating of a password (an empty one is very weak).
StrengthRating RatePassword(const QString& password);

// Weak enough that a user should be told before it protects anything.
inline bool IsWeak(PasswordStrength level) { return level <= PasswordStrength::Weak; }

// The level as a word for the meter and messages, in the user's language.
QString StrengthWord(PasswordStrength level);

}  // namespace quelvane
