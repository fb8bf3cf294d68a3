// SPDX-License-Identifier: MIT
#pragma once
// What sits with the password box: a button at its right end that shows the
// password in clear or hides it again (reached with Tab, named for screen
// readers), and a strength meter beside it, a word and a bar.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

#include "core/PasswordStrength.h"

namespace quelvane {

class ShowPasswordButton : public QToolButton {
    Q_OBJECT
public:
    // Made inside the box, at its right end; the box's text stops short of it.
    explicit ShowPasswordButton(QLineEdit* box);
    bool Shown() const { return isChecked(); }

protected:
    void changeEvent(QEvent* event) override;

private:
    void Update();
    QLineEdit* box;
};

class StrengthMeter : public QObject {
    Q_OBJECT
public:
    // The word and the bar, children of parent; frmMain places them.
    explicit StrengthMeter(QWidget* parent);
    QLabel* Word() const { return word; }
    QProgressBar* Bar() const { return bar; }
    // Rates the password and shows it; nothing at all for an empty one.
    void Show(const QString& password);
    PasswordStrength Level() const { return level; }

private:
    QLabel* word;
    QProgressBar* bar;
    PasswordStrength level = PasswordStrength::VeryWeak;
};

}  // namespace quelvane
