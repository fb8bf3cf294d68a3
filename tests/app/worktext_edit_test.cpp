// SPDX-License-Identifier: MIT
// The work text box as a user edits it: keys, selection, clipboard, undo,
// tabs, focus, and a line of tens of millions of characters.
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

#include "app/WorkTextEdit.h"

using namespace quelvane;

class WorkTextEditTest : public QObject {
    Q_OBJECT
private slots:
    void settingNormalisesLineBreaks();
    void typingAndDeleting();
    void movingUpAndDownKeepsTheColumn();
    void selectionClipboardAndUndo();
    void tabMovesTheFocus();
    void inputMethodCommits();
    void mouseAndPainting();
    void hugeLineStaysUsable();
};

void WorkTextEditTest::settingNormalisesLineBreaks() {
    WorkTextEdit e;
    QSignalSpy changed(&e, &WorkTextEdit::textChanged);
    e.setPlainText(QStringLiteral("a\r\nb\rc\nd") + QChar(QChar::ParagraphSeparator) + QStringLiteral("e") +
                   QChar(QChar::LineSeparator));
    QCOMPARE(e.toPlainText(), QStringLiteral("a\nb\nc\nd\ne\n"));
    QCOMPARE(e.lineCount(), 6);
    QCOMPARE(e.cursorPosition(), qsizetype(0));
    QCOMPARE(changed.count(), 1);
    e.setPlainText(QString());
    QVERIFY(e.isEmpty());
    QCOMPARE(e.lineCount(), 1);
    // Everything else stays as it is, no-break spaces and control characters too.
    const QString odd = QStringLiteral("x\u00A0y\x01\x1F\x7F\t z");
    e.setPlainText(odd);
    QCOMPARE(e.toPlainText(), odd);
}

void WorkTextEditTest::typingAndDeleting() {
    WorkTextEdit e;
    e.show();
    QTest::keyClicks(&e, QStringLiteral("Hello, \"world\""));
    QTest::keyClick(&e, Qt::Key_Return);
    QTest::keyClicks(&e, QStringLiteral("  two"));
    QCOMPARE(e.toPlainText(), QStringLiteral("Hello, \"world\"\n  two"));
    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), QStringLiteral("Hello, \"world\"\n tw"));
    QTest::keyClick(&e, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&e, Qt::Key_Right);
    QTest::keyClick(&e, Qt::Key_Right);
    QTest::keyClicks(&e, QStringLiteral("X"));
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClicks(&e, QStringLiteral("!"));
    QCOMPARE(e.toPlainText(), QStringLiteral("HeXllo, \"world\"!\n tw"));
    QTest::keyClick(&e, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(e.cursorPosition(), e.toPlainText().size());
    // Backspace at the start of a line joins it with the one before.
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Backspace);
    QCOMPARE(e.toPlainText(), QStringLiteral("HeXllo, \"world\"! tw"));
    // Keys at the ends of the text do nothing.
    e.setPlainText(QStringLiteral("ab"));
    QTest::keyClick(&e, Qt::Key_Backspace);
    QTest::keyClick(&e, Qt::Key_Left);
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClick(&e, Qt::Key_Delete);
    QTest::keyClick(&e, Qt::Key_Right);
    QCOMPARE(e.toPlainText(), QStringLiteral("ab"));
    QCOMPARE(e.cursorPosition(), qsizetype(2));
}

void WorkTextEditTest::movingUpAndDownKeepsTheColumn() {
    WorkTextEdit e;
    e.show();
    e.setPlainText(QStringLiteral("abcdefgh\nab\nabcdefghij\n\tX\n12345678Y"));
    e.setCursorPosition(6);  // line 0, column 6
    QTest::keyClick(&e, Qt::Key_Down);
    QCOMPARE(e.cursorPosition(), qsizetype(9 + 2));  // clamped to the short line's end
    QTest::keyClick(&e, Qt::Key_Down);
    QCOMPARE(e.cursorPosition(), qsizetype(12 + 6));  // back to column 6
    QTest::keyClick(&e, Qt::Key_Up);
    QTest::keyClick(&e, Qt::Key_Up);
    QCOMPARE(e.cursorPosition(), qsizetype(6));
    // A tab takes the cells up to the next multiple of 8.
    const qsizetype x = e.toPlainText().indexOf(u'X');
    e.setCursorPosition(x);  // after the tab: cell 8
    QTest::keyClick(&e, Qt::Key_Down);
    QCOMPARE(e.toPlainText().at(e.cursorPosition()), QChar(u'Y'));
    QTest::keyClick(&e, Qt::Key_Up);
    QCOMPARE(e.cursorPosition(), x);
    e.resize(300, 300);  // a page of more lines than the text has
    QTest::keyClick(&e, Qt::Key_PageUp);
    QCOMPARE(e.cursorPosition(), qsizetype(8));  // the first line, at the same cell (its end)
}

void WorkTextEditTest::selectionClipboardAndUndo() {
    WorkTextEdit e;
    e.show();
    e.setPlainText(QStringLiteral("one two three"));
    e.setCursorPosition(4);
    for (int i = 0; i < 3; ++i) QTest::keyClick(&e, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(e.selectedText(), QStringLiteral("two"));
    QTest::keyClick(&e, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("two"));
    QTest::keyClicks(&e, QStringLiteral("2"));  // typing replaces the selection
    QCOMPARE(e.toPlainText(), QStringLiteral("one 2 three"));
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClick(&e, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("one 2 threetwo"));
    QTest::keyClick(&e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("one 2 three"));
    QTest::keyClick(&e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("one two three"));
    e.redo();
    QCOMPARE(e.toPlainText(), QStringLiteral("one 2 three"));
    QTest::keyClick(&e, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(e.selectedText(), e.toPlainText());
    QTest::keyClick(&e, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(e.isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("one 2 three"));
    // Pasted line breaks of any kind become the box's own.
    QGuiApplication::clipboard()->setText(QStringLiteral("p\r\nq\rr"));
    e.paste();
    QCOMPARE(e.toPlainText(), QStringLiteral("p\nq\nr"));
    // Ctrl+Left and Ctrl+Backspace work by words.
    e.setPlainText(QStringLiteral("alpha beta"));
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClick(&e, Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("alpha "));
    QTest::keyClick(&e, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(e.cursorPosition(), qsizetype(0));
}

void WorkTextEditTest::tabMovesTheFocus() {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* e = new WorkTextEdit;
    auto* next = new WorkTextEdit;
    layout->addWidget(e);
    layout->addWidget(next);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Tab);
    QVERIFY(e->isEmpty());
    QVERIFY(next->hasFocus());
}

void WorkTextEditTest::inputMethodCommits() {
    WorkTextEdit e;
    e.setPlainText(QStringLiteral("ab"));
    e.setCursorPosition(1);
    QInputMethodEvent event;
    event.setCommitString(QString::fromUtf8("é"));
    QCoreApplication::sendEvent(&e, &event);
    QCOMPARE(e.toPlainText(), QString::fromUtf8("aéb"));
    QCOMPARE(static_cast<QWidget&>(e).inputMethodQuery(Qt::ImEnabled).toBool(), true);
}

void WorkTextEditTest::mouseAndPainting() {
    WorkTextEdit e;
    e.resize(300, 150);
    e.show();
    e.setPlainText(QStringLiteral("first\nsecond\x01\tthird\n") + QString(500, u'w'));
    QCOMPARE(e.positionAt(QPoint(0, 0)), qsizetype(0));
    QCOMPARE(e.positionAt(QPoint(0, 10000)), e.toPlainText().lastIndexOf(u'\n') + 1);  // the last line
    QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(1, 1));
    QCOMPARE(e.cursorPosition(), qsizetype(0));
    QTest::mouseDClick(e.viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(e.selectedText(), QStringLiteral("first"));
    // Painting every state does not fail: selection, control characters, tabs, scrolled.
    e.selectAll();
    QVERIFY(!e.grab().isNull());
    QTest::keyClick(&e, Qt::Key_End, Qt::ControlModifier);
    QVERIFY(e.horizontalScrollBar()->value() > 0);  // the cursor at the long line's end is in view
    QVERIFY(!e.grab().isNull());
}

void WorkTextEditTest::hugeLineStaysUsable() {
    WorkTextEdit e;
    e.show();
    const qsizetype size = qsizetype(32) << 20;
    QString hex(size, u'A');
    e.setPlainText(hex);
    QVERIFY(!e.grab().isNull());
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClicks(&e, QStringLiteral("B"));
    QTest::keyClick(&e, Qt::Key_Home);
    QTest::keyClick(&e, Qt::Key_Delete);
    QVERIFY(!e.grab().isNull());
    QCOMPARE(e.toPlainText().size(), size);
    QVERIFY(e.toPlainText().endsWith(QStringLiteral("AB")));
    QVERIFY(e.horizontalScrollBar()->maximum() > 0);
}

QTEST_MAIN(WorkTextEditTest)
#include "worktext_edit_test.moc"
