// SPDX-License-Identifier: MIT
// The work text box keeps the editing habits of the desktop: undo by runs of
// typing, redo until the next edit, both redo keys, whole characters around
// surrogate pairs, the context menu from the keyboard, wheel steps as in Qt's
// own editors, and no shortcut taking its keys. (The primary selection and the
// middle click need a real X server: xvfb_desktop.sh.)
#include <QAction>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include "app/WorkTextEdit.h"

using namespace quelvane;

namespace {

// Types text one key at a time, the keys ms apart (timestamps as the window
// system gives them).
struct Typist {
    QWidget* target;
    unsigned long clock = 10000;
    void Key(int key, Qt::KeyboardModifiers mods = {}, const QString& text = {}, unsigned long gap = 50) {
        clock += gap;
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        press.setTimestamp(clock);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        release.setTimestamp(clock);
        QCoreApplication::sendEvent(target, &release);
    }
    void Type(const QString& text, unsigned long gap = 50) {
        for (qsizetype i = 0; i < text.size(); i += text[i].isHighSurrogate() ? 2 : 1) {
            const QString one = text.mid(i, text[i].isHighSurrogate() ? 2 : 1);
            if (one == u"\n")
                Key(Qt::Key_Return, {}, QStringLiteral("\r"), gap);
            else
                Key(Qt::Key_A, {}, one, gap);
        }
    }
};

// The popup menu that opens while f runs, closed again; its action texts.
QStringList MenuOpenedBy(const std::function<void()>& f) {
    QStringList seen;
    QTimer::singleShot(50, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions())
                if (!a->isSeparator()) seen << a->text().section(u'\t', 0, 0);
            menu->close();
        }
    });
    f();  // returns when the menu closes
    return seen;
}

}  // namespace

class WorkTextHabitsTest : public QObject {
    Q_OBJECT
private slots:
    void undoTakesBackRunsOfTyping();
    void runsOfBackspaceAndDelete();
    void redoStaysUntilTheNextEdit();
    void surrogatePairsStayWhole();
    void contextMenuFromTheKeyboard();
    void platformEditingKeys();
    void shortcutsDoNotTakeTheBoxKeys();
    void wheelScrollsAsQtEditorsDo();
};

void WorkTextHabitsTest::undoTakesBackRunsOfTyping() {
    WorkTextEdit e;
    Typist t{&e};
    t.Type(QStringLiteral("hello world, again"));
    QCOMPARE(e.toPlainText(), QStringLiteral("hello world, again"));
    const QStringList expected{"hello world, ", "hello ", ""};
    for (const QString& text : expected) {
        e.undo();
        QCOMPARE(e.toPlainText(), text);
    }
    QVERIFY(!e.isUndoAvailable());
    for (const QString& text :
         {QStringLiteral("hello "), QStringLiteral("hello world, "), QStringLiteral("hello world, again")}) {
        e.redo();
        QCOMPARE(e.toPlainText(), text);
    }

    // Hex has no words: a pause between two bursts of keys ends a step.
    e.setPlainText(QString());
    t.Type(QStringLiteral("0A1B2C"));
    t.clock += WorkTextEdit::kTypingPauseMs + 1;
    t.Type(QStringLiteral("3D4E"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("0A1B2C"));
    e.undo();
    QCOMPARE(e.toPlainText(), QString());

    // Moving the cursor ends a step; so does a line break's next word.
    t.Type(QStringLiteral("abc"));
    t.Key(Qt::Key_Left);
    t.Type(QStringLiteral("X"));
    t.Key(Qt::Key_End);
    t.Type(QStringLiteral("\nnext"));
    QCOMPARE(e.toPlainText(), QStringLiteral("abXc\nnext"));
    for (const QString& text : {QStringLiteral("abXc\n"), QStringLiteral("abXc"), QStringLiteral("abc")}) {
        t.Key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(e.toPlainText(), text);
    }

    // Typing over a selection is one step with what follows it.
    e.setPlainText(QStringLiteral("one two"));
    e.setSelection(4, 7);
    t.Type(QStringLiteral("2x"));
    QCOMPARE(e.toPlainText(), QStringLiteral("one 2x"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("one two"));
}

void WorkTextHabitsTest::runsOfBackspaceAndDelete() {
    WorkTextEdit e;
    Typist t{&e};
    e.setPlainText(QStringLiteral("hello world"));
    e.setCursorPosition(11);
    for (int i = 0; i < 7; ++i) t.Key(Qt::Key_Backspace);
    QCOMPARE(e.toPlainText(), QStringLiteral("hell"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("hello"));  // the word before the blank is a step of its own
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("hello world"));
    QCOMPARE(e.cursorPosition(), qsizetype(11));

    e.setCursorPosition(0);
    for (int i = 0; i < 7; ++i) t.Key(Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), QStringLiteral("orld"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("world"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("hello world"));

    // Backspace and typing do not share a step.
    e.setPlainText(QStringLiteral("abc"));
    e.setCursorPosition(3);
    t.Key(Qt::Key_Backspace);
    t.Type(QStringLiteral("d"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("ab"));
}

void WorkTextHabitsTest::redoStaysUntilTheNextEdit() {
    WorkTextEdit e;
    e.resize(300, 120);
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    Typist t{&e};
    t.Type(QStringLiteral("first second"));
    e.undo();
    QCOMPARE(e.toPlainText(), QStringLiteral("first "));
    // Moving, clicking, selecting, copying and losing the focus keep it.
    t.Key(Qt::Key_Home);
    t.Key(Qt::Key_Right, Qt::ShiftModifier);
    QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    t.Key(Qt::Key_A, Qt::ControlModifier);
    t.Key(Qt::Key_C, Qt::ControlModifier);
    e.clearFocus();
    QVERIFY(e.isRedoAvailable());
    t.Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("first second"));
    e.undo();
    t.Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("first second"));
    // The next edit ends it.
    e.undo();
    t.Key(Qt::Key_End);
    t.Type(QStringLiteral("x"));
    QVERIFY(!e.isRedoAvailable());
    t.Key(Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral("first x"));
}

void WorkTextHabitsTest::surrogatePairsStayWhole() {
    const QString smile = QStringLiteral("\U0001F600");
    WorkTextEdit e;
    e.resize(300, 120);
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    Typist t{&e};
    t.Type(QStringLiteral("a") + smile);
    QCOMPARE(e.cursorPosition(), qsizetype(3));
    t.Key(Qt::Key_Backspace);  // the whole emoji, not half of it
    QCOMPARE(e.toPlainText(), QStringLiteral("a"));

    e.setPlainText(QStringLiteral("a") + smile + QStringLiteral("b") + smile);
    e.setCursorPosition(2);  // inside the pair: its start
    QCOMPARE(e.cursorPosition(), qsizetype(1));
    t.Key(Qt::Key_Right);
    QCOMPARE(e.cursorPosition(), qsizetype(3));
    t.Key(Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(e.selectedText(), smile);
    t.Key(Qt::Key_Left);
    t.Key(Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), QStringLiteral("ab") + smile);
    t.Key(Qt::Key_End);
    t.Key(Qt::Key_Left);
    QCOMPARE(e.cursorPosition(), qsizetype(2));
    // A click on either half of the pair's two cells lands beside it.
    for (int x = 0; x < 60; ++x) {
        QTest::mouseClick(e.viewport(), Qt::LeftButton, {}, QPoint(x, 5));
        QVERIFY2(e.cursorPosition() != 3, qPrintable(QString::number(x)));
    }
    // Words of letters beyond the first plane stay whole too.
    const QString bold = QStringLiteral("\U0001D400\U0001D401");  // two mathematical letters
    e.setPlainText(QStringLiteral("x") + bold + QStringLiteral("y z"));
    t.Key(Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(e.cursorPosition(), qsizetype(6));
    t.Key(Qt::Key_Backspace, Qt::ControlModifier);
    QCOMPARE(e.toPlainText(), QStringLiteral(" z"));
    // An input method replacing text never takes half a pair.
    e.setPlainText(smile + smile);
    e.setCursorPosition(4);
    QInputMethodEvent im;
    im.setCommitString(QStringLiteral("!"), -1, 1);
    QCoreApplication::sendEvent(&e, &im);
    QCOMPARE(e.toPlainText(), smile + QStringLiteral("!"));  // the pair under the cursor went whole
    QVERIFY(e.cursorPosition() != 1);
}

void WorkTextHabitsTest::contextMenuFromTheKeyboard() {
    WorkTextEdit e;
    e.resize(300, 120);
    e.show();
    e.activateWindow();
    e.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&e));
    e.setPlainText(QStringLiteral("text"));
    e.selectAll();
    const QStringList items{"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Select &All"};
    QCOMPARE(MenuOpenedBy([&] { QTest::keyClick(&e, Qt::Key_F10, Qt::ShiftModifier); }), items);
    QCOMPARE(MenuOpenedBy([&] { QTest::keyClick(&e, Qt::Key_Menu); }), items);
    QCOMPARE(e.toPlainText(), QStringLiteral("text"));  // the keys typed nothing
}

void WorkTextHabitsTest::platformEditingKeys() {
    // Where the platform binds editing keys to letters (Ctrl+D, Ctrl+K,
    // Ctrl+E on X11), the box does what they mean.
    WorkTextEdit e;
    int tried = 0;
    auto each = [&](QKeySequence::StandardKey key, auto check) {
        for (const QKeySequence& seq : QKeySequence::keyBindings(key)) {
            const QKeyCombination combo = seq[0];
            if (combo.key() < Qt::Key_A || combo.key() > Qt::Key_Z) continue;
            e.setPlainText(QStringLiteral("abc def\nnext"));
            e.setCursorPosition(2);
            QTest::keyClick(&e, combo.key(), combo.keyboardModifiers());
            check();
            ++tried;
        }
    };
    each(QKeySequence::Delete, [&] { QCOMPARE(e.toPlainText(), QStringLiteral("ab def\nnext")); });
    each(QKeySequence::DeleteEndOfLine, [&] { QCOMPARE(e.toPlainText(), QStringLiteral("ab\nnext")); });
    each(QKeySequence::MoveToEndOfLine, [&] { QCOMPARE(e.cursorPosition(), qsizetype(7)); });
    if (tried == 0) QSKIP("this platform binds no editing key to a letter");
}

void WorkTextHabitsTest::shortcutsDoNotTakeTheBoxKeys() {
    QMainWindow window;
    auto* e = new WorkTextEdit;
    window.setCentralWidget(e);
    QAction* stealer = window.menuBar()->addMenu(QStringLiteral("M"))->addAction(QStringLiteral("steal"));
    stealer->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y),
                           QKeySequence(Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    QSignalSpy stolen(stealer, &QAction::triggered);
    window.show();
    window.activateWindow();
    e->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClicks(e, QStringLiteral("xx"));
    QCOMPARE(e->toPlainText(), QStringLiteral("xx"));
    QTest::keyClick(e, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e->toPlainText(), QString());
    QTest::keyClick(e, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(e->toPlainText(), QStringLiteral("xx"));
    MenuOpenedBy([&] { QTest::keyClick(e, Qt::Key_F10, Qt::ShiftModifier); });
    QCOMPARE(stolen.count(), 0);
}

void WorkTextHabitsTest::wheelScrollsAsQtEditorsDo() {
    QString text;
    for (int i = 0; i < 200; ++i) text += QStringLiteral("line %1 ").arg(i) + QString(300, u'x') + u'\n';
    WorkTextEdit ours;
    QPlainTextEdit theirs;
    theirs.setLineWrapMode(QPlainTextEdit::NoWrap);
    theirs.setFont(ours.font());
    for (QAbstractScrollArea* area :
         {static_cast<QAbstractScrollArea*>(&ours), static_cast<QAbstractScrollArea*>(&theirs)}) {
        area->resize(400, 200);
        area->show();
    }
    ours.setPlainText(text);
    theirs.setPlainText(text);
    QVERIFY(QTest::qWaitForWindowExposed(&ours) && QTest::qWaitForWindowExposed(&theirs));
    auto wheel = [](QAbstractScrollArea& area, QPoint delta, Qt::KeyboardModifiers mods = {}) {
        const QPointF at(50, 50);
        QWheelEvent event(at, area.viewport()->mapToGlobal(at), QPoint(), delta, Qt::NoButton, mods, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(area.viewport(), &event);
    };
    // Lines down per notch, and pages with Shift, as many as there.
    wheel(ours, QPoint(0, -120));
    wheel(theirs, QPoint(0, -120));
    QCOMPARE(ours.verticalScrollBar()->value(), theirs.verticalScrollBar()->value());
    QVERIFY(ours.verticalScrollBar()->value() > 0);
    // Sideways about as far in pixels (our bar counts cells).
    wheel(ours, QPoint(-120, 0));
    wheel(theirs, QPoint(-120, 0));
    const qreal cell = QFontMetricsF(ours.font()).horizontalAdvance(u'M');
    const qreal oursPixels = ours.horizontalScrollBar()->value() * cell;
    QVERIFY2(qAbs(oursPixels - theirs.horizontalScrollBar()->value()) <= cell * 3,
             qPrintable(QStringLiteral("%1 against %2").arg(oursPixels).arg(theirs.horizontalScrollBar()->value())));
    // A touchpad's small steps add up.
    const int before = ours.verticalScrollBar()->value();
    for (int i = 0; i < 20; ++i) wheel(ours, QPoint(0, -12));
    QCOMPARE(ours.verticalScrollBar()->value(), before + 6);
}

QTEST_MAIN(WorkTextHabitsTest)
#include "worktext_habits_test.moc"
