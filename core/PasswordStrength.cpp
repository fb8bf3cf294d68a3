// SPDX-License-Identifier: MIT
#include "core/PasswordStrength.h"

#include <zxcvbn.h>
#include <QByteArray>
#include <QCoreApplication>

#include "text/QtByteText.h"

namespace quelvane {

StrengthRating RatePassword(const QString& password) {
    StrengthRating rating;
    if (password.isEmpty()) return rating;
    QByteArray utf8 = password.toUtf8();  // zxcvbn reads UTF-8
    rating.bits = ZxcvbnMatch(utf8.constData(), nullptr, nullptr);
    WipeBytes(utf8);
    // Steps of about 2^25 guesses: from seconds on one core to beyond reach.
    if (rating.bits >= 100)
        rating.level = PasswordStrength::VeryStrong;
    else if (rating.bits >= 75)
        rating.level = PasswordStrength::Strong;
    else if (rating.bits >= 50)
        rating.level = PasswordStrength::Fair;
    else if (rating.bits >= 28)
        rating.level = PasswordStrength::Weak;
    return rating;
}

QString StrengthWord(PasswordStrength level) {
    switch (level) {
        case PasswordStrength::VeryWeak:
            return QCoreApplication::translate("PasswordStrength", "Very weak");
        case PasswordStrength::Weak:
            return QCoreApplication::translate("PasswordStrength", "Weak");
        case PasswordStrength::Fair:
            return QCoreApplication::translate("PasswordStrength", "Fair");
        case PasswordStrength::Strong:
            return QCoreApplication::translate("PasswordStrength", "Strong");
        case PasswordStrength::VeryStrong:
            return QCoreApplication::translate("PasswordStrength", "Very strong");
    }
    return QString();
}

}  // namespace quelvane
