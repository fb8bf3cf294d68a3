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
//
// It keeps the editing habits of the desktop: typing is undone a word or a
// burst of keys at a time, redo stays until the next edit, a selection is the
// X11 primary selection and a middle click pastes it, Shift+F10 and the Menu
// key open the context menu. Screen readers read it through
// WorkTextAccessible, which this box keeps informed of every change.
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QHash>
#include <QString>
#include <QTextLayout>
#include <algorithm>
#include <memory>
#include <vector>

class QPainter;

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
    // The neighbouring character boundaries: a character is a grapheme
    // cluster (a letter with its marks, an emoji sequence, a flag).
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;

    // The caret position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint& point) const;
    // The position of the character under a point of the viewport (past the
    // line's text, the position at that end).
    qsizetype characterAt(const QPoint& point) const;
    // Where the character at position is drawn, in viewport coordinates: the
    // whole cluster holding it; a cell wide at a line's end.
    QRect characterRect(qsizetype position) const;
    // The input method's composition, drawn at the caret ("" when none).
    QString preeditText() const { return preedit; }
    // Scrolls so that position is in view; the cursor stays.
    void ensurePositionVisible(qsizetype position);

    // Replaces a part of the text as one undo step (what a program or a
    // screen reader asks for, not the user's typing).
    void replaceRange(qsizetype from, qsizetype to, const QString& insert);
    bool isUndoAvailable() const { return !undoSteps.empty(); }
    bool isRedoAvailable() const { return !redoSteps.empty(); }

    // A typing step ends after a pause this long between two keys.
    static constexpr unsigned long kTypingPauseMs = 1000;
    // A line longer than this is laid out in chunks of about kChunk
    // characters; the input methods see at most kSurrounding characters
    // either side of the cursor.
    static constexpr qsizetype kWholeLine = 4096, kChunk = 1024, kSurrounding = 4096;

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
    // How an edit came about: runs of typing, of Backspace and of Delete
    // grow one undo step; anything else is a step of its own.
    enum class EditKind { Other, Typing, Backspace, Delete };
    struct Edit {
        qsizetype at;
        QString removed, inserted;
        EditKind kind;
        unsigned long lastKeyTime;  // of the step's last key (0: unknown)
    };

    // A laid-out part of a line: the whole line, or one chunk of a long one.
    struct Laid {
        qsizetype line, from, to;  // from and to relative to the line's start
        qsizetype preeditAt;  // where the composition stands in it (relative), or -1
        qreal x;  // where it starts in the line, in pixels
        QTextLayout layout;
    };
    // The chunks of a long line and where each starts, in width units.
    struct Chunks {
        qsizetype line;
        std::vector<qsizetype> from;  // relative to the line's start
        std::vector<qint64> x;
    };

    void Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind = EditKind::Other,
                 unsigned long keyTime = 0, bool record = true);
    void Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind, unsigned long keyTime);
    // Brings the line index up to date after text[from...] was replaced: only
    // the lines the edit touched are measured again.
    void Reindex(qsizetype from, const QString& removed, const QString& inserted);
    // Finds the line starts and measures every line; false when the text
    // still holds a CR or a line or paragraph separator.
    bool IndexLines();
    void MeasureLine(qsizetype line);
    void UpdateWidest();
    // Width units (1/64 pixel) of one code point and of a piece of text: an
    // upper bound of what the layout makes of it (a tab counts whole), summed
    // code point by code point, so an edit changes a line's width by the
    // difference of what it took and what it put.
    int CodeWidth(char32_t code) const;
    qint64 WidthOf(QStringView piece) const;
    qsizetype SlowUnits(QStringView piece) const;  // units that need the layout
    bool IsGrid(qsizetype line) const;  // drawn as cells, no layout
    bool IsRightToLeft(qsizetype line) const;  // its first strong character
    const Chunks& ChunksOf(qsizetype line) const;
    qsizetype ChunkCut(qsizetype lineStart, qsizetype lineEnd, qsizetype nominal) const;
    // The laid-out part of line holding position (a caret position), or the
    // one under x (pixels in the line).
    const Laid& LaidAt(qsizetype line, qsizetype position) const;
    const Laid& LaidAtX(qsizetype line, qreal x) const;
    const Laid& LayOut(qsizetype line, qsizetype from, qsizetype to, qreal x) const;
    void ForgetLayouts(qsizetype line = -1);  // of one line, or of all
    // After an edit within line (at relative to its start, no line break).
    void ShiftLayouts(qsizetype line, qsizetype at, qsizetype removed, qsizetype inserted, qint64 widthDelta);
    int LayoutPosition(const Laid& laid, qsizetype position) const;
    qsizetype TextPosition(const Laid& laid, int layoutPosition) const;
    qreal XOf(qsizetype position) const;  // of the caret at position, in pixels in its line
    qreal CaretX() const;  // the same, inside the composition when there is one
    qsizetype PositionAtX(qsizetype line, qreal x, QTextLine::CursorPosition how) const;
    qreal ContentLeft() const;  // pixels of the lines scrolled out at the left
    // The part of the cursor's line an input method sees.
    qsizetype SurroundingStart() const;
    qsizetype SurroundingEnd() const;
    qsizetype Snap(qsizetype position) const;  // clamped, and never inside a surrogate pair
    qsizetype PreviousCodePoint(qsizetype position) const;
    // The grapheme cluster boundary after (or before) position, where the
    // units around it leave it open.
    qsizetype ClusterBoundary(qsizetype position, bool forward) const;
    char32_t CharacterAt(qsizetype position) const;  // the code point at position
    char32_t CharacterBefore(qsizetype position) const;  // the first of the cluster before position
    void UpdateMetrics();
    void UpdateScrollBars();
    void EnsureCursorVisible() { ensurePositionVisible(cursor); }
    void RestartBlink();
    void MoveVertically(qsizetype lines, bool keepAnchor);
    void PaintLaid(QPainter& painter, const Laid& laid, qreal top) const;
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
    std::vector<qint64> lineWidth{0};  // in width units
    std::vector<qsizetype> lineSlow{0};  // units that need the layout
    qint64 widest = 0;  // the widest line's width units
    qsizetype cursor = 0, anchor = 0;
    qreal desiredX = -1;  // kept while moving up and down
    QString preedit;
    QList<QTextLayout::FormatRange> preeditFormats;  // relative to the composition
    int preeditCursor = 0;
    bool preeditCaretShown = true;
    mutable std::vector<std::unique_ptr<Laid>> laidOut;
    mutable std::vector<Chunks> chunks;
    mutable std::vector<int> bmpWidths;  // CodeWidth of the Basic Multilingual Plane, -1 unknown
    mutable QHash<char32_t, int> otherWidths;
    std::vector<Edit> undoSteps, redoSteps;
    bool stepOpen = false;  // the last undo step may still grow
    qreal cellWidth = 8, lineHeight = 16, ascent = 12;
    int cellUnits = 512;  // cellWidth in width units
    bool fixedPitch = true;
    bool caretShown = true;
    bool selectingWithMouse = false;
    QBasicTimer blink;
    QBasicTimer primaryUpdate;  // sets the primary selection once the selection settles
};

}  // namespace quelvane
