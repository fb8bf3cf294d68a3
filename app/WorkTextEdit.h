// SPDX-License-Identifier: MIT
#pragma once
// The work text box: a plain multi-line editor that keeps the text as one
// string and draws only the cells in view, so a hex text of tens of millions
// of characters on one line shows, scrolls and takes keys at once. (Qt's text
// widgets lay out and shape a whole line at a time: seconds per key there.)
// Lines do not wrap; a tab advances to the next multiple of 8 cells.
#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
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

    qsizetype cursorPosition() const { return cursor; }
    void setCursorPosition(qsizetype position, bool keepAnchor = false);
    bool hasSelection() const { return anchor != cursor; }
    QString selectedText() const;
    qsizetype lineCount() const { return static_cast<qsizetype>(lineStart.size()); }
    // The position under a point of the viewport.
    qsizetype positionAt(const QPoint& point) const;

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
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
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
    struct Edit {
        qsizetype at;
        QString removed, inserted;
    };

    void Replace(qsizetype from, qsizetype to, const QString& insert, bool record = true);
    void Reindex();
    // Finds the line starts, tabs and widest line; false when the text still
    // holds a CR or a line or paragraph separator.
    bool IndexLines();
    qsizetype LineOf(qsizetype position) const;
    qsizetype LineEnd(qsizetype line) const;
    qsizetype CellOf(qsizetype position) const;  // cell of a position within its line
    qsizetype PositionAtCell(qsizetype line, qsizetype cell) const;
    void UpdateMetrics();
    void UpdateScrollBars();
    void EnsureCursorVisible();
    void RestartBlink();
    void MoveVertically(qsizetype lines, bool keepAnchor);
    qsizetype WordStart(qsizetype position) const;
    qsizetype WordEnd(qsizetype position) const;

    QString text;
    std::vector<qsizetype> lineStart{0};
    bool hasTabs = false;
    qsizetype widestLine = 0;  // in cells
    qsizetype cursor = 0, anchor = 0;
    qsizetype desiredCell = -1;  // kept while moving up and down
    std::vector<Edit> undoSteps, redoSteps;
    qreal cellWidth = 8, lineHeight = 16, ascent = 12;
    bool fixedPitch = true;
    bool caretShown = true;
    QBasicTimer blink;
};

}  // namespace quelvane
