// SPDX-License-Identifier: MIT
#include "about/Info1Accessible.h"

#include <QFontMetrics>
#include <QWidget>

namespace quelvane {

Info1Accessible::Info1Accessible(QWidget* info, QStringList (*linesOf)())
    : QAccessibleWidget(info, QAccessible::Window), lines(linesOf) {}

void* Info1Accessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString Info1Accessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Name) return widget()->windowTitle();
    return QAccessibleWidget::text(type);
}

QAccessible::State Info1Accessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    return state;
}

QString Info1Accessible::Whole() const { return lines().join(u'\n') + u'\n'; }

void Info1Accessible::selection(int, int* startOffset, int* endOffset) const { *startOffset = *endOffset = 0; }

int Info1Accessible::characterCount() const { return static_cast<int>(Whole().size()); }

QString Info1Accessible::text(int startOffset, int endOffset) const {
    const QString whole = Whole();
    if (endOffset == -1) endOffset = static_cast<int>(whole.size());
    if (startOffset < 0 || endOffset < startOffset || endOffset > whole.size()) return QString();
    return whole.mid(startOffset, endOffset - startOffset);
}

QString Info1Accessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                      int* endOffset) const {
    if (boundaryType != QAccessible::LineBoundary && boundaryType != QAccessible::ParagraphBoundary)
        return QAccessibleTextInterface::textAtOffset(offset, boundaryType, startOffset, endOffset);
    // Each drawn line is a line of the text, its line break with it.
    const QString whole = Whole();
    if (offset == -1) offset = static_cast<int>(whole.size()) - 1;
    if (offset < 0 || offset >= whole.size()) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    *startOffset = offset == 0 ? 0 : static_cast<int>(whole.lastIndexOf(u'\n', offset - 1)) + 1;
    *endOffset = static_cast<int>(whole.indexOf(u'\n', offset)) + 1;
    return whole.mid(*startOffset, *endOffset - *startOffset);
}

QRect Info1Accessible::characterRect(int offset) const {
    const QString whole = Whole();
    if (offset < 0 || offset >= whole.size()) return QRect();
    const QFontMetrics metrics(widget()->font(), widget());
    const int line = static_cast<int>(whole.left(offset).count(u'\n'));
    const int lineStart = offset == 0 ? 0 : static_cast<int>(whole.lastIndexOf(u'\n', offset - 1)) + 1;
    const int x = metrics.horizontalAdvance(whole.mid(lineStart, offset - lineStart));
    const QRect local(x, line * metrics.lineSpacing(), metrics.horizontalAdvance(whole[offset]), metrics.lineSpacing());
    return QRect(widget()->mapToGlobal(local.topLeft()), local.size());
}

int Info1Accessible::offsetAtPoint(const QPoint& point) const {
    const int count = characterCount();
    for (int offset = 0; offset < count; ++offset)
        if (characterRect(offset).contains(point)) return offset;
    return -1;
}

QString Info1Accessible::attributes(int offset, int* startOffset, int* endOffset) const {
    const bool valid = offset >= 0 && offset <= characterCount();
    *startOffset = valid ? 0 : -1;
    *endOffset = valid ? characterCount() : -1;
    return QString();
}

}  // namespace quelvane
