// SPDX-License-Identifier: MIT
#pragma once
// The work text box: a plain multi-line editor that keeps the text as one
// string and draws only the cells in view, so a hex text of tens of millions
// of characters on one line shows, scrolls and takes keys at once. (Qt's text
// widgets lay out and shape a whole line at a time: seconds per key there.)
// Lines do not wrap; a tab advances to the next multiple of 8 cells; a
// character outside the Basic Multilingual Plane (a surrogate pair) takes two
// cells and is always stepped over, selected and deleted whole.
//
// It keeps the editing habits of the desktop: typing is undone a word or a
// burst of keys at a time, redo stays until the next edit, a selection is the
// X11 primary selection and a middle click pastes it, Shift+F10 and the Menu
// key open the context menu. Screen readers read it through
// WorkTextAccessible, which this box keeps informed of every change.
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <algorithm>
#include <vector>

namespace quelvane {

class WorkTextEdit : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit WorkTextEdit(QWidget* parent = nullptr);

    // The text with "\n" line breaks. Setting it turns CR LF, a lone CR and
    // the Unicode line and paragraph separators into "\n", puts the cursor at
    // the start and forgets the undo steps.
    QString toPlainText() const { return text; }
    void setPlainText(const QString& plain);
    bool isEmpty() const { return text.isEmpty(); }
    qsizetype textLength() const { return text.size(); }
    // A part of the text, copied; positions are clamped to the text.
    QString textRange(qsizetype from, qsizetype to) const;

    qsizetype cursorPosition() const { return cursor; }
    qsizetype anchorPosition() const { return anchor; }
    // Moves the cursor; a position inside a surrogate pair moves to its start.
    void setCursorPosition(qsizetype position, bool keepAnchor = false);
    void setSelection(qsizetype anchorPosition, qsizetype cursorPosition);
    bool hasSelection() const { return anchor != cursor; }
    qsizetype selectionStart() const { return std::min(anchor, cursor); }
    qsizetype selectionEnd() const { return std::max(anchor, cursor); }
    QString selectedText() const;

    qsizetype lineCount() const { return static_cast<qsizetype>(lineStart.size()); }
    qsizetype lineOf(qsizetype position) const;  // binary search over the line starts
    qsizetype lineStartOf(qsizetype line) const { return lineStart[static_cast<std::size_t>(line)]; }
    qsizetype lineEndOf(qsizetype line) const;  // before its "\n"
    // The neighbouring character boundaries: a surrogate pair is one character.
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;

    // The position under a point of the viewport.
    qsizetype positionAt(const QPoint& point) const;
    // The cell of the character at position, in viewport coordinates.
    QRect characterRect(qsizetype position) const;
    // Scrolls so that position is in view; the cursor stays.
    void ensurePositionVisible(qsizetype position);

    // Replaces a part of the text as one undo step (what a program or a
    // screen reader asks for, not the user's typing).
    void replaceRange(qsizetype from, qsizetype to, const QString& insert);
    bool isUndoAvailable() const { return !undoSteps.empty(); }
    bool isRedoAvailable() const { return !redoSteps.empty(); }

    // A typing step ends after a pause this long between two keys.
    static constexpr unsigned long kTypingPauseMs = 1000;

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

private:
    // How an edit came about: runs of typing, of Backspace and of Delete
    // grow one undo step; anything else is a step of its own.
    enum class EditKind { Other, Typing, Backspace, Delete };
    struct Edit {
        qsizetype at;
        QString removed, inserted;
        EditKind kind;
        unsigned long lastKeyTime;  // of the step's last key (0: unknown)
    };

    void Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind = EditKind::Other,
                 unsigned long keyTime = 0, bool record = true);
    void Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind, unsigned long keyTime);
    // Brings the line index up to date after text[from...] was replaced.
    void Reindex(qsizetype from, const QString& removed, const QString& inserted);
    // Finds the line starts, tabs and widest line; false when the text still
    // holds a CR or a line or paragraph separator.
    bool IndexLines();
    qsizetype CellOf(qsizetype position) const;  // cell of a position within its line
    qsizetype PositionAtCell(qsizetype line, qsizetype cell) const;
    qsizetype Snap(qsizetype position) const;  // clamped, and never inside a surrogate pair
    char32_t CharacterAt(qsizetype position) const;
    char32_t CharacterBefore(qsizetype position) const;
    void UpdateMetrics();
    void UpdateScrollBars();
    void EnsureCursorVisible() { ensurePositionVisible(cursor); }
    void RestartBlink();
    void MoveVertically(qsizetype lines, bool keepAnchor);
    qsizetype WordStart(qsizetype position) const;
    qsizetype WordEnd(qsizetype position) const;
    // Everything that follows a change of the cursor or the selection: the
    // caret and selection events, the primary selection, the repaint.
    void CursorMoved(qsizetype oldCursor, qsizetype oldAnchor);
    void ShowContextMenu(const QPoint& globalPos);
    void PasteAt(qsizetype position, const QString& pasted);
    bool TakesKey(const QKeyEvent* event) const;  // keys no shortcut may take from the box

    QString text;
    std::vector<qsizetype> lineStart{0};
    bool hasTabs = false;
    qsizetype widestLine = 0;  // in cells
    qsizetype cursor = 0, anchor = 0;
    qsizetype desiredCell = -1;  // kept while moving up and down
    std::vector<Edit> undoSteps, redoSteps;
    bool stepOpen = false;  // the last undo step may still grow
    qreal cellWidth = 8, lineHeight = 16, ascent = 12;
    bool fixedPitch = true;
    bool caretShown = true;
    bool selectingWithMouse = false;
    QBasicTimer blink;
    QBasicTimer primaryUpdate;  // sets the primary selection once the selection settles
};

}  // namespace quelvane
