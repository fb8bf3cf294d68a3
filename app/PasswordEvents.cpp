// SPDX-License-Identifier: MIT
#include "app/PasswordEvents.h"

#include <QAccessible>
#include <QLineEdit>

namespace quelvane {

namespace {

QAccessible::UpdateHandler previous = nullptr;

bool IsPasswordBox(QObject* object) {
    const auto* box = qobject_cast<QLineEdit*>(object);
    return box && box->echoMode() != QLineEdit::Normal;
}

QString Stars(const QString& text) { return QString(text.size(), u'*'); }

void MaskedUpdate(QAccessibleEvent* event);

// Hands an event on to whatever would have had it without us.
void Pass(QAccessibleEvent* event) {
    if (previous) return previous(event);
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(&MaskedUpdate);
}

void MaskedUpdate(QAccessibleEvent* event) {
    QObject* object = event->object();
    if (!IsPasswordBox(object)) return Pass(event);
    switch (event->type()) {
        case QAccessible::TextInserted: {
            const auto* e = static_cast<QAccessibleTextInsertEvent*>(event);
            QAccessibleTextInsertEvent masked(object, e->changePosition(), Stars(e->textInserted()));
            return Pass(&masked);
        }
        case QAccessible::TextRemoved: {
            const auto* e = static_cast<QAccessibleTextRemoveEvent*>(event);
            QAccessibleTextRemoveEvent masked(object, e->changePosition(), Stars(e->textRemoved()));
            return Pass(&masked);
        }
        case QAccessible::TextUpdated: {
            const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
            QAccessibleTextUpdateEvent masked(object, e->changePosition(), Stars(e->textRemoved()),
                                              Stars(e->textInserted()));
            return Pass(&masked);
        }
        default:
            return Pass(event);
    }
}

}  // namespace

void MaskPasswordEvents() {
    // There is no asking for the handler in place, only swapping it: ours
    // goes in front of whatever is there, once.
    const QAccessible::UpdateHandler before = QAccessible::installUpdateHandler(&MaskedUpdate);
    if (before != &MaskedUpdate) previous = before;
}

}  // namespace quelvane
