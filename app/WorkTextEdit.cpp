// SPDX-License-Identifier: MIT
#include "app/WorkTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextCharFormat>
#include <algorithm>
#include <climits>
#include <cmath>

namespace quelvane {

namespace {

constexpr qreal kWheelStepPixels = 20;  // a sideways wheel step, as Qt's own editors take it

int AsInt(qsizetype n) { return static_cast<int>(std::clamp<qsizetype>(n, INT_MIN, INT_MAX)); }

QString Normalized(const QString& plain) { return WorkTextDocument::Normalized(plain); }

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
    layout.SetViewWidth([this] { return viewport()->width() - 2 * kLeftMargin; });
}

// --- text -----------------------------------------------------------------------

void WorkTextEdit::setPlainText(const QString& plain) {
    const QString before = doc.text();  // shared, not copied
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    if (!layout.composition().isEmpty()) {
        layout.SetComposition(QString(), {}, 0);
        QGuiApplication::inputMethod()->reset();
    }
    doc.SetText(plain);
    layout.Forget();
    desiredX = -1;
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    EnsureCursorVisible();  // the start of a right-to-left line is at its right
    if (!before.isEmpty() || !doc.isEmpty()) Notify(QAccessibleTextUpdateEvent(this, 0, before, doc.text()));
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

// --- positions --------------------------------------------------------------

qreal WorkTextEdit::ContentLeft() const { return horizontalScrollBar()->value() * layout.cellWidth(); }

qsizetype WorkTextEdit::positionAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / layout.lineHeight())), 0,
        lineCount() - 1);
    return layout.PositionAtX(line, point.x() - kLeftMargin + ContentLeft(), QTextLine::CursorBetweenCharacters);
}

qsizetype WorkTextEdit::characterAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / layout.lineHeight())), 0,
        lineCount() - 1);
    return layout.PositionAtX(line, point.x() - kLeftMargin + ContentLeft(), QTextLine::CursorOnCharacter);
}

QRect WorkTextEdit::characterRect(qsizetype position) const {
    position = doc.Snap(position);
    const qreal y = static_cast<qreal>(lineOf(position) - verticalScrollBar()->value()) * layout.lineHeight();
    const auto [left, width] = layout.CharacterSpan(position);
    return QRectF(kLeftMargin + left - ContentLeft(), y, width, layout.lineHeight()).toAlignedRect();
}

void WorkTextEdit::setCursorPosition(qsizetype position, bool keepAnchor) {
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    const qsizetype to = doc.Snap(position);
    doc.Select(keepAnchor ? oldAnchor : to, to);
    desiredX = -1;  // moving up or down sets it again
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::setSelection(qsizetype anchorPosition, qsizetype cursorPosition) {
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    doc.Select(anchorPosition, cursorPosition);
    desiredX = -1;
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::CursorMoved(qsizetype oldCursor, qsizetype oldAnchor) {
    if (doc.cursor() != oldCursor) layout.CaretMoved();  // the composition moves with the caret
    viewport()->update();
    updateMicroFocus();
    const bool selectionChanged =
        std::min(oldCursor, oldAnchor) != selectionStart() || std::max(oldCursor, oldAnchor) != selectionEnd();
    const bool hadSelection = oldCursor != oldAnchor;
    if (selectionChanged && (hadSelection || hasSelection())) {
        QAccessibleTextSelectionEvent event(this, AsInt(selectionStart()), AsInt(selectionEnd()));
        event.setCursorPosition(AsInt(doc.cursor()));
        Notify(std::move(event));
    }
    if (doc.cursor() != oldCursor) Notify(QAccessibleTextCursorEvent(this, AsInt(doc.cursor())));
    // The primary selection follows the selection once it settles: at once
    // from the keyboard, when the button is released from the mouse.
    if (selectionChanged && hasSelection() && !selectingWithMouse) primaryUpdate.start(0, this);
}

// --- editing --------------------------------------------------------------

void WorkTextEdit::Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind, unsigned long keyTime) {
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    if (const auto change = doc.Replace(from, to, insert, kind, keyTime)) Changed(*change, oldCursor, oldAnchor);
}

void WorkTextEdit::Changed(const WorkTextDocument::Change& change, qsizetype oldCursor, qsizetype oldAnchor) {
    layout.Apply(change);
    UpdateScrollBars();
    desiredX = -1;
    // Screen readers follow typing and reading from these: only the changed
    // part travels, never the whole text.
    const QString& inserted = change.inserted;
    if (!change.removed.isEmpty() && !inserted.isEmpty())
        Notify(QAccessibleTextUpdateEvent(this, AsInt(change.from), change.removed, inserted));
    else if (!change.removed.isEmpty())
        Notify(QAccessibleTextRemoveEvent(this, AsInt(change.from), change.removed));
    else
        Notify(QAccessibleTextInsertEvent(this, AsInt(change.from), inserted));
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

void WorkTextEdit::replaceRange(qsizetype from, qsizetype to, const QString& insert) {
    from = doc.Snap(from);
    to = doc.Snap(std::max(from, to));
    const QString& text = doc.text();
    if (to < text.size() && to > from && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
    doc.CloseStep();
    Replace(from, to, Normalized(insert));
    doc.CloseStep();
}

void WorkTextEdit::insertPlainText(const QString& insert) {
    Replace(selectionStart(), selectionEnd(), Normalized(insert));
}

void WorkTextEdit::selectAll() { setSelection(0, doc.size()); }

bool WorkTextEdit::CopySelection() {
    if (!hasSelection()) return false;
    if (copyRoad.copy) return copyRoad.copy(selectedText());
    QGuiApplication::clipboard()->setText(selectedText());
    return true;
}

void WorkTextEdit::copy() { CopySelection(); }

void WorkTextEdit::cut() {
    if (CopySelection()) insertPlainText(QString());  // what the clipboard did not take stays
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
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    if (const auto change = doc.Undo()) Changed(*change, oldCursor, oldAnchor);
}

void WorkTextEdit::redo() {
    const qsizetype oldCursor = doc.cursor(), oldAnchor = doc.anchor();
    if (const auto change = doc.Redo()) Changed(*change, oldCursor, oldAnchor);
}

void WorkTextEdit::MoveVertically(qsizetype lines, bool keepAnchor) {
    if (desiredX < 0) desiredX = layout.XOf(doc.cursor());
    const qsizetype line = std::clamp<qsizetype>(lineOf(doc.cursor()) + lines, 0, lineCount() - 1);
    const qreal x = desiredX;
    setCursorPosition(layout.PositionAtX(line, x, QTextLine::CursorBetweenCharacters), keepAnchor);
    desiredX = x;
}

// --- mouse and menu ---------------------------------------------------------

void WorkTextEdit::mousePressEvent(QMouseEvent* event) {
    if (!layout.composition().isEmpty()) QGuiApplication::inputMethod()->commit();  // a click ends the composition
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
    while (from > 0 && WorkTextDocument::IsWordChar(doc.CharacterBefore(from))) from = previousCharacter(from);
    while (to < doc.size() && WorkTextDocument::IsWordChar(doc.CharacterAt(to))) to = nextCharacter(to);
    setSelection(from, to);
}

void WorkTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect caret = characterRect(doc.cursor());
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
    add(tr("Select &All"), QKeySequence::SelectAll, &WorkTextEdit::selectAll, !doc.isEmpty());
    menu.exec(globalPos);
}

// --- view -------------------------------------------------------------------

void WorkTextEdit::UpdateMetrics() {
    layout.SetFont(font());
    doc.Remeasure();
    UpdateScrollBars();
}

void WorkTextEdit::UpdateScrollBars() {
    const qreal cellWidth = layout.cellWidth();
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / layout.lineHeight());
    const qsizetype columns = static_cast<qsizetype>(viewport()->width() / cellWidth);
    const int cellUnits = layout.CellUnits();
    const qsizetype widestCells = static_cast<qsizetype>((layout.ContentUnits() + cellUnits - 1) / cellUnits);
    constexpr qsizetype kMax = std::numeric_limits<int>::max() - 1;
    verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(lineCount() - rows, 0, kMax)));
    verticalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, rows)));
    horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(widestCells + 1 - columns, 0, kMax)));
    horizontalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, columns)));
    // The bar counts cells; a wheel step moves about as far as in Qt's own editors.
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(kWheelStepPixels / cellWidth)));
}

void WorkTextEdit::ensurePositionVisible(qsizetype position) {
    position = doc.Snap(position);
    const qreal cellWidth = layout.cellWidth();
    const qsizetype rows = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / layout.lineHeight()));
    const qsizetype columns = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->width() / cellWidth));
    const qsizetype line = lineOf(position);
    const auto cell = static_cast<qsizetype>(std::floor(layout.XOf(position) / cellWidth));
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    if (line < v->value()) v->setValue(static_cast<int>(line));
    if (line >= v->value() + rows) v->setValue(static_cast<int>(line - rows + 1));
    if (cell < h->value()) h->setValue(static_cast<int>(std::max<qsizetype>(0, cell - columns / 4)));
    if (cell >= h->value() + columns) h->setValue(static_cast<int>(cell - columns + columns / 4 + 1));
}

void WorkTextEdit::scrollContentsBy(int, int) {
    viewport()->update();
    updateMicroFocus();  // the caret moved on the screen
}

void WorkTextEdit::PaintLaid(QPainter& painter, const WorkTextLayout::Laid& laid, qreal top) const {
    const QPalette& pal = palette();
    const qsizetype start = lineStartOf(laid.line);
    const qsizetype from = std::max(selectionStart(), start + laid.from);
    const qsizetype to = std::min(selectionEnd(), start + laid.to);
    QList<QTextLayout::FormatRange> selection;
    if (from < to) {
        // Drawn by the layout in the glyphs' own places: joined letters and
        // right-to-left runs do not move when a selection covers part of them.
        QTextCharFormat format;
        format.setBackground(pal.highlight());
        format.setForeground(pal.highlightedText());
        const int at = layout.LayoutPosition(laid, from);
        selection.append({at, layout.LayoutPosition(laid, to) - at, format});
    }
    const QTextLine row = laid.layout.lineAt(0);
    painter.setPen(pal.color(QPalette::Text));
    // On the grid's baseline, whatever the fallback faces' heights.
    laid.layout.draw(&painter,
                     QPointF(kLeftMargin + layout.LeftOf(laid) - ContentLeft(), top + layout.ascent() - row.ascent()),
                     selection);
}

void WorkTextEdit::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const QString& text = doc.text();
    const qreal cellWidth = layout.cellWidth(), lineHeight = layout.lineHeight();
    const qsizetype firstLine = verticalScrollBar()->value();
    const qsizetype firstCell = horizontalScrollBar()->value();
    const qreal left = ContentLeft(), width = viewport()->width();
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / lineHeight) + 1;
    const qsizetype columns = static_cast<qsizetype>(width / cellWidth) + 2;
    const qsizetype selFrom = selectionStart(), selTo = selectionEnd();

    for (qsizetype row = 0; row < rows && firstLine + row < lineCount(); ++row) {
        const qsizetype line = firstLine + row;
        const qsizetype start = lineStartOf(line);
        const qsizetype end = lineEndOf(line);
        const qreal top = static_cast<qreal>(row) * lineHeight;
        qreal lineEndX = 0;  // where the line ends on the screen
        if (layout.IsGrid(line)) {
            // The cells in view, in at most three runs: before, in and after the selection.
            const qsizetype from = start + std::min(firstCell, end - start);
            const qsizetype to = std::min(end, from + columns);
            const qreal x0 = kLeftMargin + static_cast<qreal>(from - start - firstCell) * cellWidth;
            const qsizetype a = std::clamp(selFrom, from, to), b = std::clamp(selTo, from, to);
            if (a < b)
                painter.fillRect(QRectF(x0 + static_cast<qreal>(a - from) * cellWidth, top,
                                        static_cast<qreal>(b - a) * cellWidth + 0.5, lineHeight),
                                 pal.highlight());
            const qsizetype cuts[] = {from, a, b, to};
            for (int part = 0; part < 3; ++part) {
                if (cuts[part] >= cuts[part + 1]) continue;
                painter.setPen(pal.color(part == 1 ? QPalette::HighlightedText : QPalette::Text));
                painter.drawText(QPointF(x0 + static_cast<qreal>(cuts[part] - from) * cellWidth, top + layout.ascent()),
                                 text.mid(cuts[part], cuts[part + 1] - cuts[part]));
            }
            lineEndX = kLeftMargin + static_cast<qreal>(end - start - firstCell) * cellWidth;
        } else {
            // The laid-out parts in view: the whole line, or the chunks of a
            // long one, in the order they stand from left to right.
            const WorkTextLayout::Laid* laid = &layout.LaidAtX(line, left);
            const bool backwards = laid->rightToLeft;
            for (;;) {
                PaintLaid(painter, *laid, top);
                if (backwards ? laid->from == 0 : start + laid->to >= end) break;
                laid = &layout.LaidAt(line, start + (backwards ? laid->from - 1 : laid->to));
                if (layout.LeftOf(*laid) > left + width) break;
            }
            lineEndX = width;  // unless it is in view
            if (selTo > end && end >= selFrom) {
                // Where the line's end is: at the left of a right-to-left line.
                const WorkTextLayout::Laid& last = layout.LaidAt(line, end);
                const qreal lastLeft = kLeftMargin + layout.LeftOf(last) - left;
                lineEndX = backwards ? lastLeft - cellWidth / 2 : lastLeft + last.layout.lineAt(0).naturalTextWidth();
            }
        }
        if (selTo > end && end >= selFrom && lineEndX < width)  // the line break
            painter.fillRect(QRectF(lineEndX, top, cellWidth / 2, lineHeight), pal.highlight());
    }
    // The caret (inside the composition where the input method puts it there).
    if (hasFocus() && caretShown && (layout.composition().isEmpty() || preeditCaretShown)) {
        const qsizetype line = lineOf(doc.cursor());
        if (line >= firstLine && line < firstLine + rows) {
            const qreal x = kLeftMargin + layout.CaretX() - left;
            painter.fillRect(QRectF(x - 0.5, static_cast<qreal>(line - firstLine) * lineHeight, 1.5, lineHeight),
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
        const bool secret = copyRoad.holdsSecret && copyRoad.holdsSecret();
        if (hasSelection() && !secret && clipboard->supportsSelection())
            clipboard->setText(selectedText(), QClipboard::Selection);
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
