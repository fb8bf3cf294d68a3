// SPDX-License-Identifier: MIT
#include "app/WorkTextAccessible.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "app/WorkTextDocument.h"

namespace quelvane {

namespace {

int AsInt(qsizetype n) { return static_cast<int>(std::min<qsizetype>(n, INT_MAX)); }

QAccessibleInterface* WorkTextFactory(const QString& className, QObject* object) {
    // Asked once for each class of the object, the most derived first.
    (void)className;
    if (!object || !object->isWidgetType()) return nullptr;
    auto* box = dynamic_cast<WorkTextReadable*>(object);
    return box ? new WorkTextAccessible(static_cast<QWidget*>(object), box) : nullptr;
}

// What a word item is made of: a run of word characters, a run of blanks, or
// any other single character (a line break, a punctuation mark).
enum class WordClass { Word, Blank, Single };

WordClass ClassOf(const QString& text, qsizetype at) {
    const QChar c = text[at];
    if (c == u' ' || c == u'\t') return WordClass::Blank;
    char32_t code = c.unicode();
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(c, text[at + 1]);
    return code == U'_' || QChar::isLetterOrNumber(code) ? WordClass::Word : WordClass::Single;
}

}  // namespace

void InstallWorkTextAccessible() {
    static const bool installed = (QAccessible::installFactory(&WorkTextFactory), true);
    (void)installed;
}

WorkTextAccessible::WorkTextAccessible(QWidget* widget, WorkTextReadable* readable)
    : QAccessibleWidget(widget, QAccessible::EditableText), box(readable) {}

const WorkTextDocument& WorkTextAccessible::doc() const { return edit()->document(); }

void* WorkTextAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    if (type == QAccessible::EditableTextInterface) return static_cast<QAccessibleEditableTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString WorkTextAccessible::text(QAccessible::Text type) const {
    if (type == QAccessible::Value) return doc().text();  // shared, not copied
    QString value = QAccessibleWidget::text(type);
    if (type == QAccessible::Name && value.isEmpty())
        value = QCoreApplication::translate("quelvane::WorkTextEdit", "Work text");
    return value;
}

void WorkTextAccessible::setText(QAccessible::Text type, const QString& text) {
    if (type != QAccessible::Value) return QAccessibleWidget::setText(type, text);
    edit()->replaceRange(0, doc().size(), text);
}

QAccessible::State WorkTextAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    state.focusable = true;
    return state;
}

// --- caret and selection ----------------------------------------------------

void WorkTextAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !doc().hasSelection()) return;
    *startOffset = AsInt(doc().selectionStart());
    *endOffset = AsInt(doc().selectionEnd());
}

int WorkTextAccessible::selectionCount() const { return doc().hasSelection() ? 1 : 0; }

void WorkTextAccessible::addSelection(int startOffset, int endOffset) { setSelection(0, startOffset, endOffset); }

void WorkTextAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0 && doc().hasSelection()) edit()->setSelection(doc().cursor(), doc().cursor());
}

void WorkTextAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0) return;
    const qsizetype from = Resolve(startOffset), to = Resolve(endOffset);
    if (from >= 0 && to >= 0) edit()->setSelection(from, to);
}

int WorkTextAccessible::cursorPosition() const { return AsInt(doc().cursor()); }

void WorkTextAccessible::setCursorPosition(int position) {
    const qsizetype at = Resolve(position);
    if (at >= 0) edit()->setSelection(at, at);
}

// --- text ---------------------------------------------------------------------

int WorkTextAccessible::characterCount() const { return AsInt(doc().size()); }

QString WorkTextAccessible::text(int startOffset, int endOffset) const {
    // Readers ask past the end (getText(0, 60) of a shorter text): they get what there is.
    const qsizetype size = doc().size();
    const qsizetype from = Resolve(startOffset);
    const qsizetype to = endOffset > size ? size : Resolve(endOffset);
    if (from < 0 || to < from) return QString();
    return doc().range(from, to);
}

qsizetype WorkTextAccessible::Resolve(int offset) const {
    const qsizetype size = doc().size();
    if (offset == -2) return doc().cursor();
    if (offset == -1) return size;
    return offset < 0 || offset > size ? -1 : offset;
}

QString WorkTextAccessible::Answer(Segment segment, int* startOffset, int* endOffset) const {
    *startOffset = AsInt(segment.start);
    *endOffset = AsInt(segment.end);
    return doc().range(segment.start, segment.end);
}

qsizetype WorkTextAccessible::PieceBoundary(qsizetype lineStart, qsizetype lineEnd, qsizetype index) const {
    if (index <= 0) return lineStart;
    const qsizetype nominal = lineStart + index * kPieceChars;
    if (nominal >= lineEnd) return lineEnd;
    const QString text = doc().text();  // shared, not copied
    for (qsizetype at = nominal - 1; at > nominal - kPieceSlack && at > lineStart; --at)
        if (text[at] == u' ' || text[at] == u'\t') return at + 1;
    return doc().previousCharacter(doc().nextCharacter(nominal));  // never inside a cluster
}

WorkTextAccessible::Segment WorkTextAccessible::PieceAt(qsizetype offset) const {
    const WorkTextDocument& d = doc();
    const qsizetype line = d.lineOf(offset);
    const qsizetype start = d.lineStartOf(line);
    const qsizetype end = line + 1 < d.lineCount() ? d.lineStartOf(line + 1) : d.size();  // with its "\n"
    if (end - start <= kPieceChars) return {start, end};
    qsizetype index = (offset - start) / kPieceChars;
    qsizetype from = PieceBoundary(start, end, index);
    if (offset < from) from = PieceBoundary(start, end, --index);
    qsizetype to = PieceBoundary(start, end, index + 1);
    if (offset >= to && to < end) {
        from = to;
        to = PieceBoundary(start, end, ++index + 1);
    }
    return {from, to};
}

WorkTextAccessible::Segment WorkTextAccessible::SegmentAt(qsizetype offset, QAccessible::TextBoundaryType type) const {
    const WorkTextDocument& d = doc();
    const qsizetype size = d.size();
    if (type == QAccessible::NoBoundary) return {0, size};
    if (type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary) return PieceAt(offset);
    if (offset >= size) return {size, size};
    const qsizetype at = d.previousCharacter(d.nextCharacter(offset));  // the start of its character
    if (type == QAccessible::CharBoundary) return {at, d.nextCharacter(at)};

    const Segment piece = PieceAt(at);
    const QString text = d.text();  // shared, not copied
    if (type == QAccessible::SentenceBoundary) {
        const QString part = text.mid(piece.start, piece.end - piece.start);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Sentence, part);
        finder.setPosition(at - piece.start);
        const qsizetype from = finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        const qsizetype to = finder.toNextBoundary();
        return {piece.start + std::max<qsizetype>(0, from), to < 0 ? piece.end : piece.start + to};
    }
    // Words, bounded by the piece: a hex text is one long word.
    const WordClass kind = ClassOf(text, at);
    if (kind == WordClass::Single) return {at, d.nextCharacter(at)};
    qsizetype from = at, to = d.nextCharacter(at);
    while (from > piece.start && ClassOf(text, d.previousCharacter(from)) == kind) from = d.previousCharacter(from);
    while (to < piece.end && ClassOf(text, to) == kind) to = d.nextCharacter(to);
    return {from, to};
}

QString WorkTextAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                         int* endOffset) const {
    const qsizetype at = Resolve(offset);
    if (at < 0) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    return Answer(SegmentAt(at, boundaryType), startOffset, endOffset);
}

QString WorkTextAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                             int* endOffset) const {
    const qsizetype at = Resolve(offset);
    if (at < 0) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    const Segment here = SegmentAt(at, boundaryType);
    if (here.start <= 0) return Answer({0, 0}, startOffset, endOffset);
    return Answer(SegmentAt(here.start - 1, boundaryType), startOffset, endOffset);
}

QString WorkTextAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                            int* endOffset) const {
    const qsizetype at = Resolve(offset);
    if (at < 0) {
        *startOffset = *endOffset = -1;
        return QString();
    }
    const qsizetype size = doc().size();
    const Segment here = SegmentAt(at, boundaryType);
    if (here.end >= size || here.end <= here.start) return Answer({size, size}, startOffset, endOffset);
    return Answer(SegmentAt(here.end, boundaryType), startOffset, endOffset);
}

QString WorkTextAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // One run without attributes: the box has one font and one colour.
    const bool valid = Resolve(offset) >= 0;
    *startOffset = valid ? 0 : -1;
    *endOffset = valid ? characterCount() : -1;
    return QString();
}

// --- geometry -------------------------------------------------------------------

QRect WorkTextAccessible::characterRect(int offset) const {
    const qsizetype at = Resolve(offset);
    if (at < 0) return QRect();
    const QRect local = edit()->characterRect(at);
    return QRect(edit()->viewport()->mapToGlobal(local.topLeft()), local.size());
}

int WorkTextAccessible::offsetAtPoint(const QPoint& point) const {
    const QPoint local = edit()->viewport()->mapFromGlobal(point);
    if (!edit()->viewport()->rect().contains(local)) return -1;
    return AsInt(edit()->characterAt(local));
}

void WorkTextAccessible::scrollToSubstring(int startIndex, int endIndex) {
    const qsizetype from = Resolve(startIndex), to = Resolve(endIndex);
    if (from < 0 || to < 0) return;
    edit()->ensurePositionVisible(to);
    edit()->ensurePositionVisible(from);
}

// --- editing ----------------------------------------------------------------------

void WorkTextAccessible::deleteText(int startOffset, int endOffset) { replaceText(startOffset, endOffset, QString()); }

void WorkTextAccessible::insertText(int offset, const QString& text) { replaceText(offset, offset, text); }

void WorkTextAccessible::replaceText(int startOffset, int endOffset, const QString& text) {
    const qsizetype from = Resolve(startOffset), to = Resolve(endOffset);
    if (from < 0 || to < from) return;
    edit()->replaceRange(from, to, text);
}

}  // namespace quelvane
