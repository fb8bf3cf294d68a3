// SPDX-License-Identifier: MIT
#pragma once
// What a screen reader reads of the about window: a window named "Info"
// whose text is the ten lines it draws, one line of text each.
#include <QAccessibleWidget>

namespace quelvane {

// The about window's widget reads its lines through lines(), so this
// interface needs nothing else of the window (Info1 installs it).
class Info1Accessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    Info1Accessible(QWidget* info, QStringList (*lines)());

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text type) const override;
    QAccessible::State state() const override;

    // QAccessibleTextInterface: read-only, no caret, no selection.
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    QString Whole() const;  // the ten lines, each ended by a line break
    QStringList (*lines)();
};

}  // namespace quelvane
