// SPDX-License-Identifier: MIT
#include "app/PasswordControls.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

namespace quelvane {

namespace {

// An eye, crossed out while the password is hidden; drawn in the box's text
// colour, so it follows a dark palette.
QIcon EyeIcon(const QColor& ink, bool crossed) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 2.5));
    QPainterPath lid;
    lid.moveTo(3, 16);
    lid.quadTo(16, 2, 29, 16);
    lid.quadTo(16, 30, 3, 16);
    p.drawPath(lid);
    p.setBrush(ink);
    p.drawEllipse(QPointF(16, 16), 4.5, 4.5);
    if (crossed) p.drawLine(QPointF(5, 27), QPointF(27, 5));
    return QIcon(pixmap);
}

QColor BarColour(PasswordStrength level) {
    // Dark enough for 3:1 against the grey strip and a light box; the word says it too.
    switch (level) {
        case PasswordStrength::VeryWeak:
            return QColor(0xA0, 0x10, 0x10);
        case PasswordStrength::Weak:
            return QColor(0xA8, 0x40, 0x00);
        case PasswordStrength::Fair:
            return QColor(0x7A, 0x5C, 0x00);
        case PasswordStrength::Strong:
            return QColor(0x2E, 0x6B, 0x20);
        case PasswordStrength::VeryStrong:
            return QColor(0x10, 0x55, 0x10);
    }
    return QColor();
}

}  // namespace

ShowPasswordButton::ShowPasswordButton(QLineEdit* passwordBox) : QToolButton(passwordBox), box(passwordBox) {
    setObjectName(QStringLiteral("ShowPassword"));
    setCheckable(true);
    setAutoRaise(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
    const int side = box->height() - 2;
    setGeometry(box->width() - side - 1, 1, side, side);
    setIconSize(QSize(side - 6, side - 6));
    box->setTextMargins(0, 0, side, 0);
    connect(this, &QToolButton::toggled, this, [this](bool shown) {
        box->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        Update();
    });
    Update();
}

void ShowPasswordButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::LanguageChange) Update();
    QToolButton::changeEvent(event);
}

void ShowPasswordButton::Update() {
    const bool shown = isChecked();
    const QString name = shown ? tr("Hide password") : tr("Show password");
    setAccessibleName(name);
    setToolTip(name);
    setIcon(EyeIcon(box->palette().color(QPalette::Text), !shown));
}

StrengthMeter::StrengthMeter(QWidget* parent)
    : QObject(parent), word(new QLabel(parent)), bar(new QProgressBar(parent)) {
    word->setObjectName(QStringLiteral("StrengthWord"));
    word->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont small = word->font();
    small.setPointSizeF(7);
    word->setFont(small);
    bar->setObjectName(QStringLiteral("StrengthBar"));
    bar->setRange(0, 5);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setAccessibleName(tr("Password strength"));
    word->setBuddy(bar);
    Show(QString());
}

void StrengthMeter::Show(const QString& password) {
    const StrengthRating rating = RatePassword(password);
    level = rating.level;
    const QString text = password.isEmpty() ? QString() : StrengthWord(level);
    word->setText(text);
    bar->setValue(password.isEmpty() ? 0 : static_cast<int>(level) + 1);
    bar->setAccessibleDescription(text);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Highlight, BarColour(level));
    bar->setPalette(palette);
}

}  // namespace quelvane
