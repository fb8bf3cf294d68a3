// SPDX-License-Identifier: MIT
#pragma once
// What a screen reader reads of the work text box: an editable text with a
// name, its text, caret and selection, the text at an offset by character (a
// grapheme cluster, as the caret steps), word, sentence or line, and where
// each character is drawn. Built for texts of tens of millions of
// characters on one line: nothing here copies more of the text than it is
// asked for, lines are found through the document's line index, and a line longer
// than kPieceChars is read in pieces (cut after a blank where one is near),
// so a screen reader never receives a whole hex text to speak.
#include <QAccessibleWidget>
#include <QPoint>
#include <QRect>
#include <QString>

namespace quelvane {

class WorkTextDocument;

// What a screen reader asks of the box besides reading its document: where a
// character is, and the changes a reader may make. The box implements it.
class WorkTextReadable {
public:
    virtual const WorkTextDocument& document() const = 0;
    virtual QWidget* viewport() const = 0;
    virtual QRect characterRect(qsizetype position) const = 0;  // in viewport coordinates
    virtual qsizetype characterAt(const QPoint& point) const = 0;  // of a viewport point
    virtual void ensurePositionVisible(qsizetype position) = 0;
    virtual void setSelection(qsizetype anchorPosition, qsizetype cursorPosition) = 0;
    virtual void replaceRange(qsizetype from, qsizetype to, const QString& insert) = 0;

protected:
    ~WorkTextReadable() = default;
};

// Gives every widget that is a WorkTextReadable this interface; safe to call more than once.
void InstallWorkTextAccessible();

class WorkTextAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface {
public:
    WorkTextAccessible(QWidget* widget, WorkTextReadable* box);

    static constexpr qsizetype kPieceChars = 8192;  // longest piece of a line given at once
    static constexpr qsizetype kPieceSlack = 256;  // how far back a piece may end early, at a blank

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString& text) override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString& text) override;
    void replaceText(int startOffset, int endOffset, const QString& text) override;

private:
    struct Segment {
        qsizetype start, end;
    };
    WorkTextReadable* edit() const { return box; }
    const WorkTextDocument& doc() const;  // what is read: text, lines, characters, caret
    // The item of the given kind that holds offset (0 <= offset <= size).
    Segment SegmentAt(qsizetype offset, QAccessible::TextBoundaryType type) const;
    Segment PieceAt(qsizetype offset) const;  // the line, or the piece of a long line, holding offset
    qsizetype PieceBoundary(qsizetype lineStart, qsizetype lineEnd, qsizetype index) const;
    // -2 is the cursor and -1 the end, as the interface has it; -1 when out of range.
    qsizetype Resolve(int offset) const;
    QString Answer(Segment segment, int* startOffset, int* endOffset) const;

    WorkTextReadable* box;
};

}  // namespace quelvane
