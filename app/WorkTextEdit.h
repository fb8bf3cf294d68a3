// SPDX-License-Identifier: MIT
#pragma once
// The work text box: a plain multi-line editor that keeps the text as one
// string and draws only what is in view, so a hex text of tens of millions of
// characters on one line shows, scrolls and takes keys at once. (Qt's text
// widgets lay out and shape a whole line at a time: seconds per key there.)
// Lines do not wrap. A line of plain single-width characters in a fixed-pitch
// font is drawn as a grid of cells; any other line is laid out and shaped by
// QTextLayout (right-to-left and mixed text, joined scripts, clusters, wide
// characters, emoji, font fallback, tabs to the next multiple of 8 cells),
// a long one in chunks of kChunk characters, only those in view. The caret
// and Delete step over whole grapheme clusters; Backspace takes the code point
// before the caret, as in Qt's editors. An input method's composition is drawn
// at the caret and is no part of the text until it is committed.
// The text, its lines and its undo steps are the WorkTextDocument; where each
// character is drawn is the WorkTextLayout; this widget takes the events and paints.
//
// It keeps the editing habits of the desktop: typing is undone a word or a
// burst of keys at a time, redo stays until the next edit, a selection is the
// X11 primary selection (unless its road holds the text secret) and a middle
// click pastes it, Shift+F10 and the Menu
// key open the context menu. Screen readers read its document through
// WorkTextAccessible, which this box keeps informed of every change.
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <functional>

#include "app/WorkTextAccessible.h"
#include "app/WorkTextDocument.h"
#include "app/WorkTextLayout.h"

class QPainter;

namespace quelvane {

class WorkTextEdit : public QAbstractScrollArea, public WorkTextReadable {
    Q_OBJECT
public:
    explicit WorkTextEdit(QWidget* parent = nullptr);

    // The text with "\n" line breaks. Setting it turns CR LF, a lone CR and
    // the Unicode line and paragraph separators into "\n", puts the cursor at
    // the start and forgets the undo steps.
    QString toPlainText() const { return doc.text(); }
    void setPlainText(const QString& plain);
    bool isEmpty() const { return doc.isEmpty(); }
    qsizetype textLength() const { return doc.size(); }
    // A part of the text, copied; positions are clamped to the text.
    QString textRange(qsizetype from, qsizetype to) const { return doc.range(from, to); }
    // What screen readers read: the text, its lines, characters and selection.
    const WorkTextDocument& document() const override { return doc; }
    QWidget* viewport() const override { return QAbstractScrollArea::viewport(); }

    qsizetype cursorPosition() const { return doc.cursor(); }
    qsizetype anchorPosition() const { return doc.anchor(); }
    // Moves the cursor; a position inside a surrogate pair moves to its start.
    void setCursorPosition(qsizetype position, bool keepAnchor = false);
    void setSelection(qsizetype anchorPosition, qsizetype cursorPosition) override;
    bool hasSelection() const { return doc.hasSelection(); }
    qsizetype selectionStart() const { return doc.selectionStart(); }
    qsizetype selectionEnd() const { return doc.selectionEnd(); }
    QString selectedText() const { return doc.selectedText(); }

    qsizetype lineCount() const { return doc.lineCount(); }
    qsizetype lineOf(qsizetype position) const { return doc.lineOf(position); }
    qsizetype lineStartOf(qsizetype line) const { return doc.lineStartOf(line); }
    qsizetype lineEndOf(qsizetype line) const { return doc.lineEndOf(line); }  // before its "\n"
    // The neighbouring character boundaries: a character is a grapheme
    // cluster (a letter with its marks, an emoji sequence, a flag).
    qsizetype nextCharacter(qsizetype position) const { return doc.nextCharacter(position); }
    qsizetype previousCharacter(qsizetype position) const { return doc.previousCharacter(position); }

    // The caret position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint& point) const;
    // The position of the character under a point of the viewport (past the
    // line's text, the position at that end).
    qsizetype characterAt(const QPoint& point) const override;
    // Where the character at position is drawn, in viewport coordinates: the
    // whole cluster holding it; a cell wide at a line's end.
    QRect characterRect(qsizetype position) const override;
    // The input method's composition, drawn at the caret ("" when none).
    QString preeditText() const { return layout.composition(); }
    // Scrolls so that position is in view; the cursor stays.
    void ensurePositionVisible(qsizetype position) override;

    // Replaces a part of the text as one undo step (what a program or a
    // screen reader asks for, not the user's typing).
    void replaceRange(qsizetype from, qsizetype to, const QString& insert) override;
    bool isUndoAvailable() const { return doc.isUndoAvailable(); }
    bool isRedoAvailable() const { return doc.isRedoAvailable(); }

    // Where the box's copies go (Ctrl+C, Cut, its menu's Copy), and whether
    // a selection may become the X11 primary selection, which no one can
    // mark or take back. Without a road Qt's clipboard takes the copies as
    // they are, and every selection is shared.
    struct CopyRoad {
        std::function<bool(const QString& text)> copy;  // false when the clipboard did not take it
        std::function<bool()> holdsSecret;  // while true, no primary selection
    };
    void setCopyRoad(CopyRoad road) { copyRoad = std::move(road); }

    // A typing step ends after a pause this long between two keys.
    static constexpr unsigned long kTypingPauseMs = WorkTextDocument::kTypingPauseMs;
    // A line longer than this is laid out in chunks of about kChunk
    // characters; the input methods see at most kSurrounding characters
    // either side of the cursor.
    static constexpr qsizetype kWholeLine = WorkTextLayout::kWholeLine, kChunk = WorkTextLayout::kChunk,
                               kSurrounding = 4096;

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();
    void insertPlainText(const QString& insert);

signals:
    void textChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    using EditKind = WorkTextDocument::EditKind;
    static constexpr qreal kLeftMargin = 2;  // a little air before the first cell

    // Replaces a part of the text and tells everyone who follows it.
    void Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind = EditKind::Other,
                 unsigned long keyTime = 0);
    // Everything that follows an edit of the document: the layouts, the
    // scroll bars, the screen readers' events, the caret.
    void Changed(const WorkTextDocument::Change& change, qsizetype oldCursor, qsizetype oldAnchor);
    qreal ContentLeft() const;  // pixels of the lines scrolled out at the left
    // The part of the cursor's line an input method sees.
    qsizetype SurroundingStart() const;
    qsizetype SurroundingEnd() const;
    void UpdateMetrics();
    void UpdateScrollBars();
    void EnsureCursorVisible() { ensurePositionVisible(doc.cursor()); }
    void RestartBlink();
    void MoveVertically(qsizetype lines, bool keepAnchor);
    void PaintLaid(QPainter& painter, const WorkTextLayout::Laid& laid, qreal top) const;
    // Everything that follows a change of the cursor or the selection: the
    // caret and selection events, the primary selection, the repaint.
    void CursorMoved(qsizetype oldCursor, qsizetype oldAnchor);
    void ShowContextMenu(const QPoint& globalPos);
    void PasteAt(qsizetype position, const QString& pasted);
    bool CopySelection();  // false when nothing was copied
    bool TakesKey(const QKeyEvent* event) const;  // keys no shortcut may take from the box

    // Each refers to the other; the layout, made first, does not use the document while being made.
    WorkTextLayout layout{doc};
    WorkTextDocument doc{layout};
    qreal desiredX = -1;  // kept while moving up and down
    bool preeditCaretShown = true;
    bool caretShown = true;
    bool selectingWithMouse = false;
    QBasicTimer blink;
    QBasicTimer primaryUpdate;  // sets the primary selection once the selection settles
    CopyRoad copyRoad;
};

}  // namespace quelvane
