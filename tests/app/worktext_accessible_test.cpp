// SPDX-License-Identifier: MIT
// What a screen reader reads of the work text box through Qt's accessibility:
// role, name and state, the text with its caret and selection, the text at an
// offset by character, word, sentence and line (long lines in pieces), the
// editing calls, and the events that let a screen reader follow typing.
#include <QtTest/qtestaccessible.h>
#include <QAccessible>
#include <QGuiApplication>
#include <QtTest>

#include "app/WorkTextAccessible.h"
#include "app/WorkTextEdit.h"

using namespace quelvane;

namespace {

QAccessibleTextInterface* Text(WorkTextEdit& e) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&e);
    return iface ? iface->textInterface() : nullptr;
}

struct Item {
    QString text;
    int start, end;
    bool operator==(const Item&) const = default;
};
char* toString(const Item& item) {
    return QTest::toString(QStringLiteral("\"%1\" %2..%3").arg(item.text).arg(item.start).arg(item.end));
}

enum class Where { At, Before, After };
Item Ask(QAccessibleTextInterface* t, Where where, int offset, QAccessible::TextBoundaryType type) {
    Item item{{}, 0, 0};
    if (where == Where::At) item.text = t->textAtOffset(offset, type, &item.start, &item.end);
    if (where == Where::Before) item.text = t->textBeforeOffset(offset, type, &item.start, &item.end);
    if (where == Where::After) item.text = t->textAfterOffset(offset, type, &item.start, &item.end);
    return item;
}

// The events of one type recorded since the last clear.
template <class E>
QList<E*> Events(QAccessible::Event type) {
    QList<E*> found;
    for (QAccessibleEvent* event : QTestAccessibility::events())
        if (event->type() == type) found << static_cast<E*>(event);
    return found;
}

// Qt's recorder forgets its events without deleting them.
void ClearEvents() {
    qDeleteAll(QTestAccessibility::events());
    QTestAccessibility::clearEvents();
}

}  // namespace

class WorkTextAccessibleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QTestAccessibility::initialize(); }
    void cleanupTestCase() {
        ClearEvents();
        QTestAccessibility::cleanup();
    }
    void init() { ClearEvents(); }
    void roleNameAndState();
    void textCaretAndSelection();
    void itemsAtAnOffset();
    void longLinesComeInPieces();
    void editingThroughTheInterface();
    void geometry();
    void typingSendsEvents();
};

void WorkTextAccessibleTest::roleNameAndState() {
    WorkTextEdit e;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&e);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::EditableText);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Work text"));
    e.setAccessibleName(QStringLiteral("Named"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Named"));
    const QAccessible::State state = iface->state();
    QVERIFY(state.editable && state.multiLine && state.focusable && state.selectableText);
    QVERIFY(!state.readOnly);
    QVERIFY(iface->textInterface());
    QVERIFY(iface->editableTextInterface());
    e.setPlainText(QStringLiteral("value"));
    QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("value"));
}

void WorkTextAccessibleTest::textCaretAndSelection() {
    WorkTextEdit e;
    e.setPlainText(QStringLiteral("first line\nsecond"));
    QAccessibleTextInterface* t = Text(e);
    QCOMPARE(t->characterCount(), 17);
    QCOMPARE(t->text(0, -1), QStringLiteral("first line\nsecond"));
    QCOMPARE(t->text(6, 10), QStringLiteral("line"));
    QCOMPARE(t->text(-5, 3), QString());  // out of range
    QCOMPARE(t->text(11, 500), QStringLiteral("second"));  // past the end: what there is
    QCOMPARE(t->cursorPosition(), 0);
    t->setCursorPosition(12);
    QCOMPARE(e.cursorPosition(), qsizetype(12));
    QCOMPARE(t->selectionCount(), 0);
    t->setSelection(0, 6, 10);
    QCOMPARE(e.selectedText(), QStringLiteral("line"));
    QCOMPARE(t->selectionCount(), 1);
    int start = -1, end = -1;
    t->selection(0, &start, &end);
    QCOMPARE(start, 6);
    QCOMPARE(end, 10);
    t->removeSelection(0);
    QVERIFY(!e.hasSelection());
    t->addSelection(11, -1);  // -1: to the end
    QCOMPARE(e.selectedText(), QStringLiteral("second"));
    int from = 0, to = 0;
    QCOMPARE(t->attributes(3, &from, &to), QString());
    QCOMPARE(to, 17);
}

void WorkTextAccessibleTest::itemsAtAnOffset() {
    using enum QAccessible::TextBoundaryType;
    WorkTextEdit e;
    const QString smile = QStringLiteral("\U0001F600");
    e.setPlainText(QStringLiteral("Hello, big world. Next one!\n\nlast ") + smile + QStringLiteral("x"));
    QAccessibleTextInterface* t = Text(e);
    const int n = t->characterCount();

    QCOMPARE(Ask(t, Where::At, 1, CharBoundary), (Item{"e", 1, 2}));
    QCOMPARE(Ask(t, Where::At, n - 2, CharBoundary), (Item{smile, n - 3, n - 1}));  // inside the pair: all of it
    QCOMPARE(Ask(t, Where::Before, n - 1, CharBoundary), (Item{smile, n - 3, n - 1}));
    QCOMPARE(Ask(t, Where::At, n, CharBoundary), (Item{"", n, n}));

    QCOMPARE(Ask(t, Where::At, 8, WordBoundary), (Item{"big", 7, 10}));
    QCOMPARE(Ask(t, Where::At, 10, WordBoundary), (Item{" ", 10, 11}));
    QCOMPARE(Ask(t, Where::At, 5, WordBoundary), (Item{",", 5, 6}));
    QCOMPARE(Ask(t, Where::Before, 8, WordBoundary), (Item{" ", 6, 7}));
    QCOMPARE(Ask(t, Where::After, 8, WordBoundary), (Item{" ", 10, 11}));

    QCOMPARE(Ask(t, Where::At, 3, SentenceBoundary), (Item{"Hello, big world. ", 0, 18}));
    QCOMPARE(Ask(t, Where::At, 20, SentenceBoundary).start, 18);

    const Item first{"Hello, big world. Next one!\n", 0, 28};
    QCOMPARE(Ask(t, Where::At, 5, LineBoundary), first);
    QCOMPARE(Ask(t, Where::At, 27, LineBoundary), first);  // its line break belongs to it
    QCOMPARE(Ask(t, Where::At, 28, LineBoundary), (Item{"\n", 28, 29}));
    QCOMPARE(Ask(t, Where::After, 5, LineBoundary), (Item{"\n", 28, 29}));
    QCOMPARE(Ask(t, Where::Before, 30, LineBoundary), (Item{"\n", 28, 29}));
    QCOMPARE(Ask(t, Where::At, n, LineBoundary), (Item{QStringLiteral("last ") + smile + "x", 29, n}));
    QCOMPARE(Ask(t, Where::At, 5, ParagraphBoundary), first);
    QCOMPARE(Ask(t, Where::Before, 3, LineBoundary), (Item{"", 0, 0}));  // nothing before the first
    QCOMPARE(Ask(t, Where::After, n - 1, LineBoundary), (Item{"", n, n}));
    QCOMPARE(Ask(t, Where::At, 4, NoBoundary).text, e.toPlainText());

    // -2 is the cursor, -1 the end; anything else outside is an error.
    e.setCursorPosition(8);
    QCOMPARE(Ask(t, Where::At, -2, WordBoundary), (Item{"big", 7, 10}));
    QCOMPARE(Ask(t, Where::At, -1, CharBoundary), (Item{"", n, n}));
    QCOMPARE(Ask(t, Where::At, n + 1, LineBoundary), (Item{"", -1, -1}));
    QCOMPARE(Ask(t, Where::At, -7, LineBoundary), (Item{"", -1, -1}));
}

void WorkTextAccessibleTest::longLinesComeInPieces() {
    using enum QAccessible::TextBoundaryType;
    constexpr int kPiece = WorkTextAccessible::kPieceChars;
    WorkTextEdit e;
    // A hex line of 32 Mi characters, then a line of words longer than a piece.
    QString words;
    while (words.size() < 3 * kPiece) words += QStringLiteral("alpha beta gamma ");
    const QString hex(qsizetype(32) << 20, u'A');
    e.setPlainText(hex + u'\n' + words);
    QAccessibleTextInterface* t = Text(e);
    const int hexEnd = static_cast<int>(hex.size()) + 1;

    // Walking the hex line piece by piece covers it exactly, each piece short.
    int start = 0, end = 0, at = 0, pieces = 0;
    t->textAtOffset(0, LineBoundary, &start, &end);
    QCOMPARE(start, 0);
    while (end < hexEnd) {
        QVERIFY(end - start <= kPiece);
        at = end;
        const QString piece = t->textAfterOffset(start, LineBoundary, &start, &end);
        QCOMPARE(start, at);
        QCOMPARE(piece.size(), end - start);
        ++pieces;
    }
    QCOMPARE(end, hexEnd);
    QVERIFY(pieces >= (hexEnd / kPiece) - 1);
    // Anywhere in it, a line, a word, a character: short, and holding the offset.
    for (int offset : {1, kPiece - 1, kPiece, 12345678, hexEnd - 2, hexEnd - 1}) {
        for (QAccessible::TextBoundaryType type : {LineBoundary, WordBoundary, SentenceBoundary}) {
            const QString item = t->textAtOffset(offset, type, &start, &end);
            QVERIFY2(start <= offset && offset < end && end - start <= kPiece,
                     qPrintable(QStringLiteral("%1: %2..%3").arg(offset).arg(start).arg(end)));
            QCOMPARE(item.size(), end - start);
        }
    }
    // Many questions on the long line answer at once.
    for (int i = 0; i < 20000; ++i) t->textAtOffset((i * 7919) % hexEnd, LineBoundary, &start, &end);

    // A long line of words is cut after a blank, never inside a word.
    t->textAtOffset(hexEnd + 10, LineBoundary, &start, &end);
    QCOMPARE(start, hexEnd);
    QVERIFY(end - start <= kPiece && end - start > kPiece - WorkTextAccessible::kPieceSlack);
    QCOMPARE(e.toPlainText().at(end - 1), QChar(u' '));
}

void WorkTextAccessibleTest::editingThroughTheInterface() {
    WorkTextEdit e;
    e.setPlainText(QStringLiteral("one two"));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&e);
    QAccessibleEditableTextInterface* edit = iface->editableTextInterface();
    edit->insertText(3, QStringLiteral(" and"));
    QCOMPARE(e.toPlainText(), QStringLiteral("one and two"));
    edit->deleteText(0, 4);
    QCOMPARE(e.toPlainText(), QStringLiteral("and two"));
    edit->replaceText(4, -1, QStringLiteral("three\r\nfour"));
    QCOMPARE(e.toPlainText(), QStringLiteral("and three\nfour"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("and two"));  // each call is one step
    iface->setText(QAccessible::Value, QStringLiteral("all new"));
    QCOMPARE(e.toPlainText(), QStringLiteral("all new"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("and two"));
}

void WorkTextAccessibleTest::geometry() {
    WorkTextEdit e;
    e.resize(300, 120);
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    e.setPlainText(QStringLiteral("abc\ndef"));
    QAccessibleTextInterface* t = Text(e);
    for (int offset = 0; offset < 7; ++offset) {
        const QRect r = t->characterRect(offset);
        QVERIFY(r.isValid());
        QCOMPARE(t->offsetAtPoint(r.topLeft() + QPoint(1, r.height() / 2)), offset);
    }
    QCOMPARE(t->offsetAtPoint(e.mapToGlobal(QPoint(-50, -50))), -1);
    // Scrolling to a part far to the right brings it into view, the cursor staying.
    e.setPlainText(QString(5000, u'x'));
    t->scrollToSubstring(4000, 4001);
    QVERIFY(e.viewport()->rect().contains(e.characterRect(4000)));
    QCOMPARE(e.cursorPosition(), qsizetype(0));
}

void WorkTextAccessibleTest::typingSendsEvents() {
    // Qt passes events on only while an accessibility bridge is active: on
    // X11 with the accessibility bus (the AT-SPI session runs this test so).
    const bool expected = qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        !QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000)) {
        if (expected) QFAIL("the accessibility bridge did not start");
        QSKIP("no active accessibility bridge");
    }
    WorkTextEdit e;
    e.show();
    e.setPlainText(QStringLiteral("ab"));
    auto updates = Events<QAccessibleTextUpdateEvent>(QAccessible::TextUpdated);
    QCOMPARE(updates.size(), 1);
    QCOMPARE(updates[0]->textInserted(), QStringLiteral("ab"));
    ClearEvents();

    e.setCursorPosition(2);
    QTest::keyClicks(&e, QStringLiteral("cd"));
    auto inserts = Events<QAccessibleTextInsertEvent>(QAccessible::TextInserted);
    QCOMPARE(inserts.size(), 2);
    QCOMPARE(inserts[1]->textInserted(), QStringLiteral("d"));
    QCOMPARE(inserts[1]->changePosition(), 3);
    QCOMPARE(inserts[1]->object(), &e);
    auto carets = Events<QAccessibleTextCursorEvent>(QAccessible::TextCaretMoved);
    QVERIFY(!carets.isEmpty());
    QCOMPARE(carets.last()->cursorPosition(), 4);
    ClearEvents();

    QTest::keyClick(&e, Qt::Key_Backspace);
    auto removes = Events<QAccessibleTextRemoveEvent>(QAccessible::TextRemoved);
    QCOMPARE(removes.size(), 1);
    QCOMPARE(removes[0]->textRemoved(), QStringLiteral("d"));
    QCOMPARE(removes[0]->changePosition(), 3);
    ClearEvents();

    QTest::keyClick(&e, Qt::Key_Home, Qt::ShiftModifier);
    auto selections = Events<QAccessibleTextSelectionEvent>(QAccessible::TextSelectionChanged);
    QCOMPARE(selections.size(), 1);
    QCOMPARE(selections[0]->selectionStart(), 0);
    QCOMPARE(selections[0]->selectionEnd(), 3);
    QCOMPARE(Events<QAccessibleTextCursorEvent>(QAccessible::TextCaretMoved).last()->cursorPosition(), 0);
    ClearEvents();

    QTest::keyClicks(&e, QStringLiteral("Z"));  // replaces the selection
    updates = Events<QAccessibleTextUpdateEvent>(QAccessible::TextUpdated);
    QCOMPARE(updates.size(), 1);
    QCOMPARE(updates[0]->textRemoved(), QStringLiteral("abc"));
    QCOMPARE(updates[0]->textInserted(), QStringLiteral("Z"));
    ClearEvents();
    e.undo();
    QCOMPARE(Events<QAccessibleTextUpdateEvent>(QAccessible::TextUpdated).size(), 1);
}

QTEST_MAIN(WorkTextAccessibleTest)
#include "worktext_accessible_test.moc"
