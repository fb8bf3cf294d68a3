// SPDX-License-Identifier: MIT
#include "app/WorkTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <bit>
#include <climits>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "app/WorkTextAccessible.h"

namespace quelvane {

namespace {

constexpr qsizetype kTabCells = 8;
constexpr std::size_t kUndoSteps = 500;
constexpr qreal kLeftMargin = 2;  // a little air before the first cell
constexpr qreal kWheelStepPixels = 20;  // a sideways wheel step, as Qt's own editors take it

// The index of the first character at or after from that is a control
// character (below U+0020: line breaks, tabs) or a line or paragraph
// separator; n when there is none. Eight at a time where the processor
// allows: a hex text of tens of millions of characters has none.
qsizetype NextSpecial(const char16_t* p, qsizetype from, qsizetype n) noexcept {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i controlMax = _mm_set1_epi16(0x1F), separatorMask = _mm_set1_epi16(static_cast<short>(0xFFFE)),
                  separator = _mm_set1_epi16(0x2028), zero = _mm_setzero_si128();
    for (; from + 8 <= n; from += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
        const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(x, controlMax), zero);
        const __m128i lineOrParagraph = _mm_cmpeq_epi16(_mm_and_si128(x, separatorMask), separator);
        const int mask = _mm_movemask_epi8(_mm_or_si128(control, lineOrParagraph));
        if (mask) return from + std::countr_zero(static_cast<unsigned>(mask)) / 2;
    }
#endif
    for (; from < n; ++from)
        if (p[from] < 0x20 || p[from] == 0x2028 || p[from] == 0x2029) return from;
    return n;
}

QString Normalized(const QString& plain) {
    QString out = plain;
    if (out.contains(u'\r')) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.replace(u'\r', u'\n');
    }
    out.replace(QChar::ParagraphSeparator, u'\n');
    out.replace(QChar::LineSeparator, u'\n');
    return out;
}

bool IsWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c); }

char32_t FirstCharacter(const QString& s) {
    if (s.isEmpty()) return 0;
    if (s.size() > 1 && s[0].isHighSurrogate() && s[1].isLowSurrogate()) return QChar::surrogateToUcs4(s[0], s[1]);
    return s[0].unicode();
}

char32_t LastCharacter(const QString& s) {
    const qsizetype n = s.size();
    if (n == 0) return 0;
    if (n > 1 && s[n - 1].isLowSurrogate() && s[n - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[n - 2], s[n - 1]);
    return s[n - 1].unicode();
}

// A word starts where a word character follows something else: there a run
// of typing (or of Delete) becomes a new undo step.
bool WordStartsBetween(const QString& before, const QString& after) {
    return !before.isEmpty() && !after.isEmpty() && IsWordChar(FirstCharacter(after)) &&
           !IsWordChar(LastCharacter(before));
}

int AsInt(qsizetype n) { return static_cast<int>(std::min<qsizetype>(n, INT_MAX)); }

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

// Qt hands the event on only when a screen reader (or a test) listens.
void Notify(QAccessibleEvent&& event) { QAccessible::updateAccessibility(&event); }

}  // namespace

WorkTextEdit::WorkTextEdit(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallWorkTextAccessible();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(9);
    setFont(font);
    UpdateMetrics();
}

// --- text and positions -----------------------------------------------------

void WorkTextEdit::setPlainText(const QString& plain) {
    const QString before = text;  // shared, not copied
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    text = plain;
    // One pass finds the lines and whether the text needs the box's line breaks first.
    if (!IndexLines()) {
        text = Normalized(plain);
        IndexLines();
    }
    cursor = anchor = 0;
    desiredCell = -1;
    undoSteps.clear();
    redoSteps.clear();
    stepOpen = false;
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (!before.isEmpty() || !text.isEmpty()) Notify(QAccessibleTextUpdateEvent(this, 0, before, text));
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

QString WorkTextEdit::textRange(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    return text.mid(from, to - from);
}

void WorkTextEdit::Reindex(qsizetype from, const QString& removed, const QString& inserted) {
    // Typing and deleting within a line, the usual case, moves the later line
    // starts and nothing else: no pass over a text of tens of millions of
    // characters for each key.
    const auto plain = [](const QString& s) {
        return NextSpecial(reinterpret_cast<const char16_t*>(s.utf16()), 0, s.size()) == s.size();
    };
    if (hasTabs || !plain(removed) || !plain(inserted)) {
        IndexLines();
        return UpdateScrollBars();
    }
    const qsizetype delta = inserted.size() - removed.size();
    const qsizetype line = lineOf(from);
    for (std::size_t i = static_cast<std::size_t>(line) + 1; i < lineStart.size(); ++i) lineStart[i] += delta;
    const qsizetype length = lineEndOf(line) - lineStartOf(line);
    if (length >= widestLine) {
        widestLine = length;
    } else if (length - delta == widestLine) {  // the widest line got shorter
        widestLine = 0;
        for (qsizetype l = 0; l < lineCount(); ++l) widestLine = std::max(widestLine, lineEndOf(l) - lineStartOf(l));
    }
    UpdateScrollBars();
}

bool WorkTextEdit::IndexLines() {
    lineStart.assign(1, 0);
    hasTabs = false;
    bool boxForm = true;  // no CR and no line or paragraph separator
    const auto* p = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype at = NextSpecial(p, 0, n); at < n; at = NextSpecial(p, at + 1, n)) {
        if (p[at] == u'\n') lineStart.push_back(at + 1);
        if (p[at] == u'\t') hasTabs = true;
        if (p[at] == u'\r' || p[at] == 0x2028 || p[at] == 0x2029) boxForm = false;
    }
    widestLine = 0;
    for (qsizetype line = 0; line < lineCount(); ++line) {
        const qsizetype end = lineEndOf(line);
        widestLine = std::max(widestLine, hasTabs ? CellOf(end) : end - lineStartOf(line));
    }
    return boxForm;
}

qsizetype WorkTextEdit::lineOf(qsizetype position) const {
    const auto it = std::upper_bound(lineStart.begin(), lineStart.end(), position);
    return std::max<qsizetype>(0, static_cast<qsizetype>(it - lineStart.begin()) - 1);
}

qsizetype WorkTextEdit::lineEndOf(qsizetype line) const {
    return line + 1 < lineCount() ? lineStart[static_cast<std::size_t>(line + 1)] - 1 : text.size();
}

qsizetype WorkTextEdit::nextCharacter(qsizetype position) const {
    const qsizetype n = text.size();
    if (position >= n) return n;
    if (position < 0) return 0;
    if (text[position].isHighSurrogate() && position + 1 < n && text[position + 1].isLowSurrogate())
        return position + 2;
    return position + 1;
}

qsizetype WorkTextEdit::previousCharacter(qsizetype position) const {
    if (position <= 0) return 0;
    position = std::min(position, text.size());
    if (text[position - 1].isLowSurrogate() && position >= 2 && text[position - 2].isHighSurrogate())
        return position - 2;
    return position - 1;
}

qsizetype WorkTextEdit::Snap(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, text.size());
    if (position > 0 && position < text.size() && text[position].isLowSurrogate() &&
        text[position - 1].isHighSurrogate())
        return position - 1;
    return position;
}

char32_t WorkTextEdit::CharacterAt(qsizetype position) const {
    const qsizetype next = nextCharacter(position);
    return next - position == 2 ? QChar::surrogateToUcs4(text[position], text[position + 1]) : text[position].unicode();
}

char32_t WorkTextEdit::CharacterBefore(qsizetype position) const {
    const qsizetype previous = previousCharacter(position);
    return position - previous == 2 ? QChar::surrogateToUcs4(text[previous], text[previous + 1])
                                    : text[previous].unicode();
}

qsizetype WorkTextEdit::CellOf(qsizetype position) const {
    const qsizetype start = lineStartOf(lineOf(position));
    if (!hasTabs) return position - start;
    qsizetype cell = 0;
    for (qsizetype i = start; i < position; ++i)
        cell = text[i] == u'\t' ? (cell / kTabCells + 1) * kTabCells : cell + 1;
    return cell;
}

qsizetype WorkTextEdit::PositionAtCell(qsizetype line, qsizetype cell) const {
    const qsizetype start = lineStartOf(line);
    const qsizetype end = lineEndOf(line);
    if (!hasTabs) return Snap(std::clamp(start + cell, start, end));
    qsizetype at = 0;
    for (qsizetype i = start; i < end; ++i) {
        const qsizetype next = text[i] == u'\t' ? (at / kTabCells + 1) * kTabCells : at + 1;
        if (cell < next) return Snap((cell - at) * 2 < (next - at) ? i : i + 1);
        at = next;
    }
    return end;
}

qsizetype WorkTextEdit::positionAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / lineHeight)), 0,
        lineCount() - 1);
    const qsizetype cell = horizontalScrollBar()->value() +
                           static_cast<qsizetype>(std::max(0.0, (point.x() - kLeftMargin) / cellWidth + 0.5));
    return PositionAtCell(line, cell);
}

QRect WorkTextEdit::characterRect(qsizetype position) const {
    position = Snap(position);
    const qsizetype line = lineOf(position);
    const qreal x = kLeftMargin + (CellOf(position) - horizontalScrollBar()->value()) * cellWidth;
    const qreal y = (line - verticalScrollBar()->value()) * lineHeight;
    const qsizetype cells = position < lineEndOf(line) ? nextCharacter(position) - position : 1;
    return QRectF(x, y, cells * cellWidth, lineHeight).toAlignedRect();
}

QString WorkTextEdit::selectedText() const { return text.mid(selectionStart(), selectionEnd() - selectionStart()); }

void WorkTextEdit::setCursorPosition(qsizetype position, bool keepAnchor) {
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    cursor = Snap(position);
    if (!keepAnchor) anchor = cursor;
    desiredCell = -1;  // moving up or down sets it again
    stepOpen = false;
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::setSelection(qsizetype anchorPosition, qsizetype cursorPosition) {
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    anchor = Snap(anchorPosition);
    cursor = Snap(cursorPosition);
    desiredCell = -1;
    stepOpen = false;
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::CursorMoved(qsizetype oldCursor, qsizetype oldAnchor) {
    viewport()->update();
    const bool selectionChanged =
        std::min(oldCursor, oldAnchor) != selectionStart() || std::max(oldCursor, oldAnchor) != selectionEnd();
    const bool hadSelection = oldCursor != oldAnchor;
    if (selectionChanged && (hadSelection || hasSelection())) {
        QAccessibleTextSelectionEvent event(this, AsInt(selectionStart()), AsInt(selectionEnd()));
        event.setCursorPosition(AsInt(cursor));
        Notify(std::move(event));
    }
    if (cursor != oldCursor) Notify(QAccessibleTextCursorEvent(this, AsInt(cursor)));
    // The primary selection follows the selection once it settles: at once
    // from the keyboard, when the button is released from the mouse.
    if (selectionChanged && hasSelection() && !selectingWithMouse) primaryUpdate.start(0, this);
}

// --- editing --------------------------------------------------------------

void WorkTextEdit::Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind,
                          unsigned long keyTime) {
    redoSteps.clear();
    if (stepOpen && !undoSteps.empty() && kind != EditKind::Other && undoSteps.back().kind == kind) {
        Edit& last = undoSteps.back();
        const bool paused = keyTime != 0 && last.lastKeyTime != 0 && keyTime > last.lastKeyTime &&
                            keyTime - last.lastKeyTime > kTypingPauseMs;
        bool grown = false;
        if (!paused && kind == EditKind::Typing && removed.isEmpty() && last.at + last.inserted.size() == from &&
            !WordStartsBetween(last.inserted, insert)) {
            last.inserted += insert;
            grown = true;
        } else if (!paused && kind == EditKind::Backspace && insert.isEmpty() && last.inserted.isEmpty() &&
                   from + removed.size() == last.at &&
                   !(IsWordChar(LastCharacter(removed)) && !IsWordChar(FirstCharacter(last.removed)))) {
            last.at = from;
            last.removed.prepend(removed);
            grown = true;
        } else if (!paused && kind == EditKind::Delete && insert.isEmpty() && last.inserted.isEmpty() &&
                   last.at == from && !WordStartsBetween(last.removed, removed)) {
            last.removed += removed;
            grown = true;
        }
        if (grown) {
            last.lastKeyTime = keyTime;
            return;
        }
    }
    undoSteps.push_back({from, removed, insert, kind, keyTime});
    if (undoSteps.size() > kUndoSteps) undoSteps.erase(undoSteps.begin());
    stepOpen = kind != EditKind::Other;
}

void WorkTextEdit::Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind, unsigned long keyTime,
                           bool record) {
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    const QString removed = text.mid(from, to - from);
    if (removed.isEmpty() && insert.isEmpty()) return;
    if (record) Record(from, removed, insert, kind, keyTime);
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    text.replace(from, to - from, insert);
    Reindex(from, removed, insert);
    // Joining two lone halves of a pair must not leave the cursor between them.
    cursor = anchor = Snap(from + insert.size());
    desiredCell = -1;
    // Screen readers follow typing and reading from these: only the changed
    // part travels, never the whole text.
    if (!removed.isEmpty() && !insert.isEmpty())
        Notify(QAccessibleTextUpdateEvent(this, AsInt(from), removed, insert));
    else if (!removed.isEmpty())
        Notify(QAccessibleTextRemoveEvent(this, AsInt(from), removed));
    else
        Notify(QAccessibleTextInsertEvent(this, AsInt(from), insert));
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

void WorkTextEdit::replaceRange(qsizetype from, qsizetype to, const QString& insert) {
    from = Snap(from);
    to = Snap(std::max(from, to));
    if (to < text.size() && to > from && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
    stepOpen = false;
    Replace(from, to, Normalized(insert));
    stepOpen = false;
}

void WorkTextEdit::insertPlainText(const QString& insert) {
    Replace(selectionStart(), selectionEnd(), Normalized(insert));
}

void WorkTextEdit::selectAll() { setSelection(0, text.size()); }

void WorkTextEdit::copy() {
    if (hasSelection()) QGuiApplication::clipboard()->setText(selectedText());
}

void WorkTextEdit::cut() {
    if (!hasSelection()) return;
    copy();
    insertPlainText(QString());
}

void WorkTextEdit::paste() {
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty()) insertPlainText(pasted);
}

void WorkTextEdit::PasteAt(qsizetype position, const QString& pasted) {
    if (pasted.isEmpty()) return;
    setCursorPosition(position);
    insertPlainText(pasted);
}

void WorkTextEdit::undo() {
    if (undoSteps.empty()) return;
    const Edit step = undoSteps.back();
    undoSteps.pop_back();
    Replace(step.at, step.at + step.inserted.size(), step.removed, EditKind::Other, 0, false);
    redoSteps.push_back(step);
    stepOpen = false;
}

void WorkTextEdit::redo() {
    if (redoSteps.empty()) return;
    const Edit step = redoSteps.back();
    redoSteps.pop_back();
    Replace(step.at, step.at + step.removed.size(), step.inserted, EditKind::Other, 0, false);
    undoSteps.push_back(step);
    stepOpen = false;
}

qsizetype WorkTextEdit::WordStart(qsizetype position) const {
    qsizetype p = position;
    while (p > 0 && !IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    while (p > 0 && IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    return p;
}

qsizetype WorkTextEdit::WordEnd(qsizetype position) const {
    qsizetype p = position;
    while (p < text.size() && !IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    while (p < text.size() && IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    return p;
}

void WorkTextEdit::MoveVertically(qsizetype lines, bool keepAnchor) {
    if (desiredCell < 0) desiredCell = CellOf(cursor);
    const qsizetype line = std::clamp<qsizetype>(lineOf(cursor) + lines, 0, lineCount() - 1);
    const qsizetype cell = desiredCell;
    setCursorPosition(PositionAtCell(line, cell), keepAnchor);
    desiredCell = cell;
}

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
    const qsizetype page = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight) - 1);
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
            if (!shift && hasSelection()) return move(selectionStart());
            return move(control ? WordStart(cursor) : previousCharacter(cursor));
        case Qt::Key_Right:
            if (!shift && hasSelection()) return move(selectionEnd());
            return move(control ? WordEnd(cursor) : nextCharacter(cursor));
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
            return move(control ? text.size() : lineEndOf(lineOf(cursor)));
        case Qt::Key_Backspace:
            if (hasSelection()) return removeSelection();
            if (cursor == 0) return;
            if (control) return Replace(WordStart(cursor), cursor, QString());
            return Replace(previousCharacter(cursor), cursor, QString(), EditKind::Backspace, time);
        case Qt::Key_Delete:
            if (hasSelection()) return removeSelection();
            if (cursor == text.size()) return;
            if (control) return Replace(cursor, WordEnd(cursor), QString());
            return Replace(cursor, nextCharacter(cursor), QString(), EditKind::Delete, time);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return Replace(selectionStart(), selectionEnd(), QStringLiteral("\n"), EditKind::Typing, time);
        default:
            break;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
        return c.isPrint() || c == u'\t' || c.isSurrogate();
    });
    if (printable && !control)
        return Replace(selectionStart(), selectionEnd(), Normalized(typed), EditKind::Typing, time);
    QAbstractScrollArea::keyPressEvent(event);
}

void WorkTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    const QString commit = Normalized(event->commitString());
    if (event->replacementLength() > 0 || event->replacementStart() != 0) {
        // The input method replaces text around the cursor with its commit.
        const qsizetype from = Snap(cursor + event->replacementStart());
        qsizetype to = std::clamp<qsizetype>(from + std::max(0, event->replacementLength()), from, text.size());
        if (to > from && to < text.size() && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
        if (to > from || !commit.isEmpty()) Replace(from, to, commit);
        return;
    }
    if (!commit.isEmpty()) Replace(selectionStart(), selectionEnd(), commit, EditKind::Typing);
}

QVariant WorkTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return QRect(characterRect(cursor).topLeft(), QSize(1, static_cast<int>(lineHeight)))
                .translated(viewport()->pos());
        case Qt::ImCursorPosition:
            return static_cast<int>(CellOf(cursor));
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// --- mouse and menu ---------------------------------------------------------

void WorkTextEdit::mousePressEvent(QMouseEvent* event) {
    const qsizetype at = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        selectingWithMouse = true;
        setCursorPosition(at, event->modifiers() & Qt::ShiftModifier);
    } else if (event->button() == Qt::MiddleButton) {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) PasteAt(at, clipboard->text(QClipboard::Selection));
    }
}

void WorkTextEdit::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) setCursorPosition(positionAt(event->position().toPoint()), true);
}

void WorkTextEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selectingWithMouse) return;
    selectingWithMouse = false;
    if (hasSelection()) primaryUpdate.start(0, this);
}

void WorkTextEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qsizetype at = positionAt(event->position().toPoint());
    qsizetype from = at, to = at;
    while (from > 0 && IsWordChar(CharacterBefore(from))) from = previousCharacter(from);
    while (to < text.size() && IsWordChar(CharacterAt(to))) to = nextCharacter(to);
    setSelection(from, to);
}

void WorkTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect caret = characterRect(cursor);
        const QPoint at =
            viewport()->rect().contains(caret.center()) ? caret.bottomLeft() : viewport()->rect().center();
        return ShowContextMenu(viewport()->mapToGlobal(at));
    }
    ShowContextMenu(event->globalPos());
}

void WorkTextEdit::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("WorkTextMenu"));
    auto add = [&](const QString& caption, QKeySequence::StandardKey key, void (WorkTextEdit::*slot)(), bool enabled) {
        const QString keys = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu.addAction(keys.isEmpty() ? caption : caption + u'\t' + keys, this, slot);
        action->setEnabled(enabled);
    };
    add(tr("&Undo"), QKeySequence::Undo, &WorkTextEdit::undo, isUndoAvailable());
    add(tr("&Redo"), QKeySequence::Redo, &WorkTextEdit::redo, isRedoAvailable());
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, &WorkTextEdit::cut, hasSelection());
    add(tr("&Copy"), QKeySequence::Copy, &WorkTextEdit::copy, hasSelection());
    add(tr("&Paste"), QKeySequence::Paste, &WorkTextEdit::paste, !QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    add(tr("Select &All"), QKeySequence::SelectAll, &WorkTextEdit::selectAll, !text.isEmpty());
    menu.exec(globalPos);
}

// --- view -------------------------------------------------------------------

void WorkTextEdit::UpdateMetrics() {
    const QFontMetricsF metrics(font());
    cellWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    lineHeight = std::max<qreal>(1, metrics.lineSpacing());
    ascent = metrics.ascent();
    fixedPitch = QFontInfo(font()).fixedPitch();
    UpdateScrollBars();
}

void WorkTextEdit::UpdateScrollBars() {
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / lineHeight);
    const qsizetype columns = static_cast<qsizetype>(viewport()->width() / cellWidth);
    constexpr qsizetype kMax = std::numeric_limits<int>::max() - 1;
    verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(lineCount() - rows, 0, kMax)));
    verticalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, rows)));
    horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(widestLine + 1 - columns, 0, kMax)));
    horizontalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, columns)));
    // The bar counts cells; a wheel step moves about as far as in Qt's own editors.
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(kWheelStepPixels / cellWidth)));
}

void WorkTextEdit::ensurePositionVisible(qsizetype position) {
    position = Snap(position);
    const qsizetype rows = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight));
    const qsizetype columns = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->width() / cellWidth));
    const qsizetype line = lineOf(position);
    const qsizetype cell = CellOf(position);
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    if (line < v->value()) v->setValue(static_cast<int>(line));
    if (line >= v->value() + rows) v->setValue(static_cast<int>(line - rows + 1));
    if (cell < h->value()) h->setValue(static_cast<int>(std::max<qsizetype>(0, cell - columns / 4)));
    if (cell >= h->value() + columns) h->setValue(static_cast<int>(cell - columns + columns / 4 + 1));
}

void WorkTextEdit::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const qsizetype firstLine = verticalScrollBar()->value();
    const qsizetype firstCell = horizontalScrollBar()->value();
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / lineHeight) + 1;
    const qsizetype columns = static_cast<qsizetype>(viewport()->width() / cellWidth) + 2;
    const qsizetype selFrom = selectionStart(), selTo = selectionEnd();

    for (qsizetype row = 0; row < rows && firstLine + row < lineCount(); ++row) {
        const qsizetype line = firstLine + row;
        const qsizetype start = lineStartOf(line);
        const qsizetype end = lineEndOf(line);
        const qreal top = row * lineHeight;
        // The cells in view: expand tabs, keep each character's position.
        QString cells;
        std::vector<qsizetype> owner;  // position of the character in each cell
        qsizetype cell = 0;
        qsizetype i = start;
        if (!hasTabs) {
            cell = std::min(firstCell, end - start);
            i = start + cell;
        } else {
            for (; i < end && cell < firstCell; ++i)
                cell = text[i] == u'\t' ? (cell / kTabCells + 1) * kTabCells : cell + 1;
            if (cell > firstCell) {  // a tab straddles the left edge
                for (qsizetype c = firstCell; c < cell; ++c) {
                    cells += u' ';
                    owner.push_back(i - 1);
                }
            }
        }
        for (; i < end && cell < firstCell + columns; ++i) {
            if (text[i] == u'\t') {
                const qsizetype next = (cell / kTabCells + 1) * kTabCells;
                for (; cell < next; ++cell) {
                    cells += u' ';
                    owner.push_back(i);
                }
            } else {
                cells += text[i];
                owner.push_back(i);
                ++cell;
            }
        }
        const qsizetype shownFrom = cell - static_cast<qsizetype>(owner.size());  // cell of cells[0]
        const qreal x0 = kLeftMargin + (shownFrom - firstCell) * cellWidth;

        // Selection behind the text, one rectangle per run of selected cells.
        if (selFrom < selTo && selFrom <= end && selTo >= start) {
            for (std::size_t c = 0; c < owner.size(); ++c) {
                if (owner[c] >= selFrom && owner[c] < selTo)
                    painter.fillRect(QRectF(x0 + c * cellWidth, top, cellWidth + 0.5, lineHeight), pal.highlight());
            }
            if (selTo > end && end >= selFrom && i == end)  // the line break
                painter.fillRect(QRectF(x0 + owner.size() * cellWidth, top, cellWidth / 2, lineHeight),
                                 pal.highlight());
        }
        bool simple = fixedPitch;
        for (const QChar c : std::as_const(cells))
            if (c.unicode() >= 0x2000 || !c.isPrint()) simple = false;
        if (simple && selFrom >= selTo) {
            painter.setPen(pal.color(QPalette::Text));
            painter.drawText(QPointF(x0, top + ascent), cells);
            continue;
        }
        for (qsizetype c = 0; c < cells.size(); ++c) {
            const qsizetype at = owner[static_cast<std::size_t>(c)];
            painter.setPen(pal.color(at >= selFrom && at < selTo ? QPalette::HighlightedText : QPalette::Text));
            const QPointF base(x0 + c * cellWidth, top + ascent);
            const QChar ch = cells[c];
            if (ch.isHighSurrogate() && c + 1 < cells.size() && cells[c + 1].isLowSurrogate()) {
                painter.drawText(base, cells.mid(c, 2));  // one character over its two cells
                ++c;
            } else if (ch.isLowSurrogate() && at > 0 && text[at - 1].isHighSurrogate()) {
                continue;  // the second half of a pair cut by the left edge
            } else if (ch.isSurrogate()) {
                painter.drawText(base, QString(QChar::ReplacementCharacter));  // a lone half
            } else if (!ch.isPrint() && !ch.isSpace()) {
                painter.drawText(base, QString(QChar(0x00B7)));  // a control character: a middle dot
            } else {
                painter.drawText(base, QString(ch));
            }
        }
    }
    // The caret.
    if (hasFocus() && caretShown) {
        const qsizetype line = lineOf(cursor);
        if (line >= firstLine && line < firstLine + rows) {
            const qreal x = kLeftMargin + (CellOf(cursor) - firstCell) * cellWidth;
            painter.fillRect(QRectF(x - 0.5, (line - firstLine) * lineHeight, 1.5, lineHeight),
                             pal.color(QPalette::Text));
        }
    }
}

void WorkTextEdit::RestartBlink() {
    caretShown = true;
    const int interval = QGuiApplication::styleHints()->cursorFlashTime() / 2;
    if (hasFocus() && interval > 0)
        blink.start(interval, this);
    else
        blink.stop();
}

void WorkTextEdit::timerEvent(QTimerEvent* event) {
    if (event->timerId() == primaryUpdate.timerId()) {
        primaryUpdate.stop();
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (hasSelection() && clipboard->supportsSelection()) clipboard->setText(selectedText(), QClipboard::Selection);
        return;
    }
    if (event->timerId() != blink.timerId()) return QAbstractScrollArea::timerEvent(event);
    caretShown = !caretShown;
    viewport()->update();
}

void WorkTextEdit::focusInEvent(QFocusEvent* event) {
    RestartBlink();
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void WorkTextEdit::focusOutEvent(QFocusEvent* event) {
    blink.stop();
    selectingWithMouse = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void WorkTextEdit::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void WorkTextEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) UpdateMetrics();
    QAbstractScrollArea::changeEvent(event);
}

}  // namespace quelvane
