// SPDX-License-Identifier: MIT
// The work text box's keys and input methods.
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCharFormat>
#include <algorithm>
#include <climits>

#include "app/WorkTextEdit.h"

namespace quelvane {

namespace {

int AsInt(qsizetype n) { return static_cast<int>(std::clamp<qsizetype>(n, INT_MIN, INT_MAX)); }

QString Normalized(const QString& plain) { return WorkTextDocument::Normalized(plain); }

bool IsRedoKey(const QKeyEvent* event) {
    // Both habits of the desktop, whatever the platform theme binds.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return event->matches(QKeySequence::Redo) || (event->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
           (event->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier));
}

bool IsContextMenuKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
           (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

// What typing may put in the text, as Qt's editors take it: printable
// characters, tabs, format characters (joiners, direction marks), private use.
bool IsTypable(QChar c) {
    return c.isPrint() || c == u'\t' || c.isSurrogate() || c.category() == QChar::Other_Format ||
           c.category() == QChar::Other_PrivateUse;
}

}  // namespace

bool WorkTextEdit::TakesKey(const QKeyEvent* event) const {
    static constexpr QKeySequence::StandardKey kEditingKeys[] = {QKeySequence::Copy,
                                                                 QKeySequence::Cut,
                                                                 QKeySequence::Paste,
                                                                 QKeySequence::Undo,
                                                                 QKeySequence::Redo,
                                                                 QKeySequence::SelectAll,
                                                                 QKeySequence::Delete,
                                                                 QKeySequence::DeleteEndOfLine,
                                                                 QKeySequence::DeleteStartOfWord,
                                                                 QKeySequence::DeleteEndOfWord,
                                                                 QKeySequence::MoveToStartOfLine,
                                                                 QKeySequence::MoveToEndOfLine,
                                                                 QKeySequence::MoveToStartOfDocument,
                                                                 QKeySequence::MoveToEndOfDocument,
                                                                 QKeySequence::Backspace};
    for (const QKeySequence::StandardKey key : kEditingKeys)
        if (event->matches(key)) return true;
    if (IsRedoKey(event) || IsContextMenuKey(event)) return true;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier && event->key() < Qt::Key_Escape;  // plain typing
}

bool WorkTextEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && TakesKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void WorkTextEdit::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const unsigned long time = event->timestamp();
    const qsizetype page =
        std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / layout.lineHeight()) - 1);
    const qsizetype cursor = doc.cursor();
    auto move = [&](qsizetype to) { setCursorPosition(to, shift); };
    auto removeSelection = [&] { Replace(selectionStart(), selectionEnd(), QString()); };

    if (IsContextMenuKey(event)) {
        const QRect caret = characterRect(cursor);
        const QPoint at =
            viewport()->rect().contains(caret.center()) ? caret.bottomLeft() : viewport()->rect().center();
        return ShowContextMenu(viewport()->mapToGlobal(at));
    }
    if (event == QKeySequence::SelectAll) return selectAll();
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::Cut) return cut();
    if (event == QKeySequence::Paste) return paste();
    if (event == QKeySequence::Undo) return undo();
    if (IsRedoKey(event)) return redo();
    // The platform's own editing keys where they are letters (Ctrl+D, Ctrl+K,
    // Ctrl+E on X11); the named keys follow below.
    if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
        if (event == QKeySequence::Delete) {
            if (hasSelection()) return removeSelection();
            return Replace(cursor, nextCharacter(cursor), QString(), EditKind::Delete, time);
        }
        if (event == QKeySequence::DeleteEndOfLine) {
            if (hasSelection()) return removeSelection();
            const qsizetype end = lineEndOf(lineOf(cursor));
            return Replace(cursor, end > cursor ? end : nextCharacter(cursor), QString());
        }
        if (event == QKeySequence::MoveToStartOfLine) return move(lineStartOf(lineOf(cursor)));
        if (event == QKeySequence::MoveToEndOfLine) return move(lineEndOf(lineOf(cursor)));
    }

    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            // As in Qt's editors: logical steps, reversed (collapsing a
            // selection too) in a line whose first strong character is
            // right-to-left, where Left goes on through the text.
            const bool back = (event->key() == Qt::Key_Left) != doc.IsRightToLeft(lineOf(cursor));
            if (!shift && hasSelection()) return move(back ? selectionStart() : selectionEnd());
            if (back) return move(control ? doc.WordStart(cursor) : previousCharacter(cursor));
            return move(control ? doc.WordEnd(cursor) : nextCharacter(cursor));
        }
        case Qt::Key_Up:
            return MoveVertically(-1, shift);
        case Qt::Key_Down:
            return MoveVertically(1, shift);
        case Qt::Key_PageUp:
            return MoveVertically(-page, shift);
        case Qt::Key_PageDown:
            return MoveVertically(page, shift);
        case Qt::Key_Home:
            return move(control ? 0 : lineStartOf(lineOf(cursor)));
        case Qt::Key_End:
            return move(control ? doc.size() : lineEndOf(lineOf(cursor)));
        case Qt::Key_Backspace:
            // The code point before the caret, as Qt's editors do: a mark
            // comes off its letter, the last part of an emoji sequence goes.
            if (hasSelection()) return removeSelection();
            if (cursor == 0) return;
            if (control) return Replace(doc.WordStart(cursor), cursor, QString());
            return Replace(doc.PreviousCodePoint(cursor), cursor, QString(), EditKind::Backspace, time);
        case Qt::Key_Delete:
            if (hasSelection()) return removeSelection();
            if (cursor == doc.size()) return;
            if (control) return Replace(cursor, doc.WordEnd(cursor), QString());
            return Replace(cursor, nextCharacter(cursor), QString(), EditKind::Delete, time);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return Replace(selectionStart(), selectionEnd(), QStringLiteral("\n"), EditKind::Typing, time);
        default:
            break;
    }
    const QString typed = event->text();
    const bool typable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), IsTypable);
    if (typable && !control)
        return Replace(selectionStart(), selectionEnd(), Normalized(typed), EditKind::Typing, time);
    QAbstractScrollArea::keyPressEvent(event);
}

// --- input methods ----------------------------------------------------------

void WorkTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    const QString commit = Normalized(event->commitString());
    // The composition stays on the caret's line, whatever it holds.
    const QString composing = Normalized(event->preeditString()).replace(u'\n', u' ');
    const bool replacing = event->replacementLength() > 0 || event->replacementStart() != 0;
    // What was laid out with the composition goes; the chunks of a long line
    // do not depend on it and stay.
    if (!layout.composition().isEmpty()) layout.SetComposition(QString(), {}, 0);
    if (replacing) {
        // The input method replaces text around the cursor with its commit.
        const QString& text = doc.text();
        const qsizetype from = doc.Snap(doc.cursor() + event->replacementStart());
        qsizetype to = std::clamp<qsizetype>(from + std::max(0, event->replacementLength()), from, text.size());
        if (to > from && to < text.size() && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
        if (to > from || !commit.isEmpty()) Replace(from, to, commit);
    } else if (!commit.isEmpty()) {
        Replace(selectionStart(), selectionEnd(), commit, EditKind::Typing);
    } else if (!composing.isEmpty() && hasSelection()) {
        Replace(selectionStart(), selectionEnd(), QString());  // a composition takes the selection's place
    }
    QList<QTextLayout::FormatRange> formats;
    int caret = static_cast<int>(composing.size());
    preeditCaretShown = true;
    for (const QInputMethodEvent::Attribute& a : event->attributes()) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (format.isValid() && a.length > 0) formats.append({a.start, a.length, format});
        } else if (a.type == QInputMethodEvent::Cursor) {
            caret = std::clamp(a.start, 0, static_cast<int>(composing.size()));
            preeditCaretShown = a.length != 0;
        } else if (a.type == QInputMethodEvent::Selection && composing.isEmpty()) {
            // Relative to the text the input method was given.
            const qsizetype base = SurroundingStart();
            setSelection(base + a.start, base + a.start + a.length);
        }
    }
    layout.SetComposition(composing, formats, caret);
    UpdateScrollBars();
    if (!composing.isEmpty()) EnsureCursorVisible();
    viewport()->update();
    updateMicroFocus();
}

qsizetype WorkTextEdit::SurroundingStart() const {
    const qsizetype cursor = doc.cursor(), start = lineStartOf(lineOf(cursor));
    return cursor - start <= kSurrounding ? start : previousCharacter(nextCharacter(cursor - kSurrounding));
}

qsizetype WorkTextEdit::SurroundingEnd() const {
    const qsizetype cursor = doc.cursor(), end = lineEndOf(lineOf(cursor));
    return end - cursor <= kSurrounding ? end : previousCharacter(nextCharacter(cursor + kSurrounding));
}

// What an input method asks, as Qt's editors answer it: positions are text
// positions relative to the surrounding text, the cursor's line (a long one
// cut kSurrounding characters either side of the cursor).
QVariant WorkTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    const QString& text = doc.text();
    const qsizetype cursor = doc.cursor(), anchor = doc.anchor();
    const auto caretRect = [&](qreal x, qsizetype position) {
        const qreal y = static_cast<qreal>(lineOf(position) - verticalScrollBar()->value()) * layout.lineHeight();
        return QRectF(kLeftMargin + x - ContentLeft(), y, 1, layout.lineHeight())
            .toAlignedRect()
            .translated(viewport()->pos());
    };
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return caretRect(layout.CaretX(), cursor);
        case Qt::ImAnchorRectangle:
            return caretRect(layout.XOf(anchor), anchor);
        case Qt::ImFont:
            return font();
        case Qt::ImSurroundingText: {
            const qsizetype from = SurroundingStart();
            return text.mid(from, SurroundingEnd() - from);
        }
        case Qt::ImCursorPosition:
            return AsInt(cursor - SurroundingStart());
        case Qt::ImAnchorPosition: {
            // Kept within the surrounding text, which some input methods check.
            const qsizetype from = SurroundingStart();
            return AsInt(std::clamp(anchor, from, SurroundingEnd()) - from);
        }
        case Qt::ImAbsolutePosition:
            return AsInt(cursor);
        case Qt::ImCurrentSelection: {
            // The part within the surrounding text: never a whole hex text per question.
            const qsizetype from = std::max(selectionStart(), SurroundingStart());
            const qsizetype to = std::min(selectionEnd(), SurroundingEnd());
            return to > from ? text.mid(from, to - from) : QString();
        }
        case Qt::ImTextBeforeCursor: {
            const qsizetype from = std::max(SurroundingStart(), doc.Snap(cursor - 1024));
            return text.mid(from, cursor - from);
        }
        case Qt::ImTextAfterCursor:
            return text.mid(cursor, std::min(SurroundingEnd(), doc.Snap(cursor + 1024)) - cursor);
        case Qt::ImMaximumTextLength:
            return QVariant();  // no limit
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

}  // namespace quelvane
