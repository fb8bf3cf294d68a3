// SPDX-License-Identifier: MIT
#include "app/WorkTextEdit.h"

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
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace quelvane {

namespace {

constexpr qsizetype kTabCells = 8;
constexpr std::size_t kUndoSteps = 500;

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

bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

WorkTextEdit::WorkTextEdit(QWidget* parent) : QAbstractScrollArea(parent) {
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
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit textChanged();
}

void WorkTextEdit::Reindex() {
    IndexLines();
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
        const qsizetype end = LineEnd(line);
        widestLine = std::max(widestLine, hasTabs ? CellOf(end) : end - lineStart[static_cast<std::size_t>(line)]);
    }
    return boxForm;
}

qsizetype WorkTextEdit::LineOf(qsizetype position) const {
    const auto it = std::upper_bound(lineStart.begin(), lineStart.end(), position);
    return static_cast<qsizetype>(it - lineStart.begin()) - 1;
}

qsizetype WorkTextEdit::LineEnd(qsizetype line) const {
    return line + 1 < lineCount() ? lineStart[static_cast<std::size_t>(line + 1)] - 1 : text.size();
}

qsizetype WorkTextEdit::CellOf(qsizetype position) const {
    const qsizetype start = lineStart[static_cast<std::size_t>(LineOf(position))];
    if (!hasTabs) return position - start;
    qsizetype cell = 0;
    for (qsizetype i = start; i < position; ++i)
        cell = text[i] == u'\t' ? (cell / kTabCells + 1) * kTabCells : cell + 1;
    return cell;
}

qsizetype WorkTextEdit::PositionAtCell(qsizetype line, qsizetype cell) const {
    const qsizetype start = lineStart[static_cast<std::size_t>(line)];
    const qsizetype end = LineEnd(line);
    if (!hasTabs) return std::clamp(start + cell, start, end);
    qsizetype at = 0;
    for (qsizetype i = start; i < end; ++i) {
        const qsizetype next = text[i] == u'\t' ? (at / kTabCells + 1) * kTabCells : at + 1;
        if (cell < next) return (cell - at) * 2 < (next - at) ? i : i + 1;
        at = next;
    }
    return end;
}

qsizetype WorkTextEdit::positionAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / lineHeight)), 0,
        lineCount() - 1);
    const qsizetype cell =
        horizontalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.x() / cellWidth + 0.5));
    return PositionAtCell(line, cell);
}

QString WorkTextEdit::selectedText() const {
    const qsizetype from = std::min(anchor, cursor), to = std::max(anchor, cursor);
    return text.mid(from, to - from);
}

void WorkTextEdit::setCursorPosition(qsizetype position, bool keepAnchor) {
    cursor = std::clamp<qsizetype>(position, 0, text.size());
    if (!keepAnchor) anchor = cursor;
    desiredCell = -1;  // moving up or down sets it again
    EnsureCursorVisible();
    RestartBlink();
    viewport()->update();
}

// --- editing --------------------------------------------------------------

void WorkTextEdit::Replace(qsizetype from, qsizetype to, const QString& insert, bool record) {
    const QString removed = text.mid(from, to - from);
    if (removed.isEmpty() && insert.isEmpty()) return;
    if (record) {
        undoSteps.push_back({from, removed, insert});
        if (undoSteps.size() > kUndoSteps) undoSteps.erase(undoSteps.begin());
        redoSteps.clear();
    }
    text.replace(from, to - from, insert);
    cursor = anchor = from + insert.size();
    desiredCell = -1;
    Reindex();
    EnsureCursorVisible();
    RestartBlink();
    viewport()->update();
    emit textChanged();
}

void WorkTextEdit::insertPlainText(const QString& insert) {
    Replace(std::min(anchor, cursor), std::max(anchor, cursor), Normalized(insert));
}

void WorkTextEdit::selectAll() {
    anchor = 0;
    cursor = text.size();
    viewport()->update();
}

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

void WorkTextEdit::undo() {
    if (undoSteps.empty()) return;
    const Edit step = undoSteps.back();
    undoSteps.pop_back();
    Replace(step.at, step.at + step.inserted.size(), step.removed, false);
    redoSteps.push_back(step);
}

void WorkTextEdit::redo() {
    if (redoSteps.empty()) return;
    const Edit step = redoSteps.back();
    redoSteps.pop_back();
    Replace(step.at, step.at + step.removed.size(), step.inserted, false);
    undoSteps.push_back(step);
}

qsizetype WorkTextEdit::WordStart(qsizetype position) const {
    qsizetype p = position;
    while (p > 0 && !IsWordChar(text[p - 1])) --p;
    while (p > 0 && IsWordChar(text[p - 1])) --p;
    return p;
}

qsizetype WorkTextEdit::WordEnd(qsizetype position) const {
    qsizetype p = position;
    while (p < text.size() && !IsWordChar(text[p])) ++p;
    while (p < text.size() && IsWordChar(text[p])) ++p;
    return p;
}

void WorkTextEdit::MoveVertically(qsizetype lines, bool keepAnchor) {
    if (desiredCell < 0) desiredCell = CellOf(cursor);
    const qsizetype line = std::clamp<qsizetype>(LineOf(cursor) + lines, 0, lineCount() - 1);
    const qsizetype cell = desiredCell;
    setCursorPosition(PositionAtCell(line, cell), keepAnchor);
    desiredCell = cell;
}

void WorkTextEdit::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const qsizetype page = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight) - 1);
    auto move = [&](qsizetype to) {
        setCursorPosition(to, shift);
        desiredCell = -1;
    };

    if (event == QKeySequence::SelectAll) return selectAll();
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::Cut) return cut();
    if (event == QKeySequence::Paste) return paste();
    if (event == QKeySequence::Undo) return undo();
    if (event == QKeySequence::Redo) return redo();

    switch (event->key()) {
        case Qt::Key_Left:
            if (!shift && hasSelection()) return move(std::min(anchor, cursor));
            return move(control ? WordStart(cursor) : std::max<qsizetype>(0, cursor - 1));
        case Qt::Key_Right:
            if (!shift && hasSelection()) return move(std::max(anchor, cursor));
            return move(control ? WordEnd(cursor) : std::min(text.size(), cursor + 1));
        case Qt::Key_Up:
            return MoveVertically(-1, shift);
        case Qt::Key_Down:
            return MoveVertically(1, shift);
        case Qt::Key_PageUp:
            return MoveVertically(-page, shift);
        case Qt::Key_PageDown:
            return MoveVertically(page, shift);
        case Qt::Key_Home:
            return move(control ? 0 : lineStart[static_cast<std::size_t>(LineOf(cursor))]);
        case Qt::Key_End:
            return move(control ? text.size() : LineEnd(LineOf(cursor)));
        case Qt::Key_Backspace:
            if (hasSelection()) return insertPlainText(QString());
            if (cursor > 0) Replace(control ? WordStart(cursor) : cursor - 1, cursor, QString());
            return;
        case Qt::Key_Delete:
            if (hasSelection()) return insertPlainText(QString());
            if (cursor < text.size()) Replace(cursor, control ? WordEnd(cursor) : cursor + 1, QString());
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return insertPlainText(QStringLiteral("\n"));
        default:
            break;
    }
    const QString typed = event->text();
    const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
        return c.isPrint() || c == u'\t' || c.isSurrogate();
    });
    if (printable && !control) return insertPlainText(typed);
    QAbstractScrollArea::keyPressEvent(event);
}

void WorkTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) insertPlainText(event->commitString());
    event->accept();
}

QVariant WorkTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle: {
            const qreal x = (CellOf(cursor) - horizontalScrollBar()->value()) * cellWidth;
            const qreal y = (LineOf(cursor) - verticalScrollBar()->value()) * lineHeight;
            return QRectF(x, y, 1, lineHeight).translated(viewport()->pos()).toRect();
        }
        case Qt::ImCursorPosition:
            return static_cast<int>(CellOf(cursor));
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// --- mouse and menu ---------------------------------------------------------

void WorkTextEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setCursorPosition(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
        desiredCell = -1;
    }
}

void WorkTextEdit::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) setCursorPosition(positionAt(event->position().toPoint()), true);
}

void WorkTextEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    const qsizetype at = positionAt(event->position().toPoint());
    qsizetype from = at, to = at;
    while (from > 0 && IsWordChar(text[from - 1])) --from;
    while (to < text.size() && IsWordChar(text[to])) ++to;
    anchor = from;
    setCursorPosition(to, true);
}

void WorkTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr("&Undo"), this, &WorkTextEdit::undo)->setEnabled(!undoSteps.empty());
    menu.addAction(tr("&Redo"), this, &WorkTextEdit::redo)->setEnabled(!redoSteps.empty());
    menu.addSeparator();
    menu.addAction(tr("Cu&t"), this, &WorkTextEdit::cut)->setEnabled(hasSelection());
    menu.addAction(tr("&Copy"), this, &WorkTextEdit::copy)->setEnabled(hasSelection());
    menu.addAction(tr("&Paste"), this, &WorkTextEdit::paste)
        ->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    menu.addAction(tr("Select &All"), this, &WorkTextEdit::selectAll)->setEnabled(!text.isEmpty());
    menu.exec(event->globalPos());
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
    horizontalScrollBar()->setSingleStep(1);
}

void WorkTextEdit::EnsureCursorVisible() {
    const qsizetype rows = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight));
    const qsizetype columns = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->width() / cellWidth));
    const qsizetype line = LineOf(cursor);
    const qsizetype cell = CellOf(cursor);
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
    const qsizetype selFrom = std::min(anchor, cursor), selTo = std::max(anchor, cursor);
    const qreal left = 2;  // a little air before the first cell

    for (qsizetype row = 0; row < rows && firstLine + row < lineCount(); ++row) {
        const qsizetype line = firstLine + row;
        const qsizetype start = lineStart[static_cast<std::size_t>(line)];
        const qsizetype end = LineEnd(line);
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
        const qreal x0 = left + (shownFrom - firstCell) * cellWidth;

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
        } else {
            for (qsizetype c = 0; c < cells.size(); ++c) {
                const bool selected =
                    owner[static_cast<std::size_t>(c)] >= selFrom && owner[static_cast<std::size_t>(c)] < selTo;
                painter.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
                QChar ch = cells[c];
                if (!ch.isPrint() && !ch.isSpace()) ch = QChar(0x00B7);  // a control character: a middle dot
                painter.drawText(QPointF(x0 + c * cellWidth, top + ascent), QString(ch));
            }
        }
    }
    // The caret.
    if (hasFocus() && caretShown) {
        const qsizetype line = LineOf(cursor);
        if (line >= firstLine && line < firstLine + rows) {
            const qreal x = left + (CellOf(cursor) - firstCell) * cellWidth;
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
