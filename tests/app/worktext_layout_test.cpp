// SPDX-License-Identifier: MIT
// The work text box lays out text in every script: where characters are
// drawn (right-to-left runs, wide characters, clusters, tabs, long lines in
// chunks) as the caret, hits, character rectangles and a screen reader see
// it; the caret and Delete stepping over grapheme clusters and Backspace
// taking a code point; an input method's composition and its questions.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QScrollBar>
#include <QTextCharFormat>
#include <QtTest>

#include "app/WorkTextEdit.h"

using namespace quelvane;

namespace {

const QString kArabic = QString::fromUtf8("كتب");  // three joined letters
const QString kFamily = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467");
const QString kFlag = QString::fromUtf8("\U0001F1EB\U0001F1F7");

QVariant Ask(WorkTextEdit& e, Qt::InputMethodQuery query) {
    QInputMethodQueryEvent event(query);
    QCoreApplication::sendEvent(&e, &event);
    return event.value(query);
}

void Compose(WorkTextEdit& e, const QString& preedit, int caret = -1) {
    QList<QInputMethodEvent::Attribute> attributes;
    if (caret >= 0) attributes.append({QInputMethodEvent::Cursor, caret, 1});
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    attributes.append({QInputMethodEvent::TextFormat, 0, static_cast<int>(preedit.size()), underline});
    QInputMethodEvent event(preedit, attributes);
    QCoreApplication::sendEvent(&e, &event);
}

void Commit(WorkTextEdit& e, const QString& commit, int from = 0, int length = 0) {
    QInputMethodEvent event;
    event.setCommitString(commit, from, length);
    QCoreApplication::sendEvent(&e, &event);
}

struct Shown {
    WorkTextEdit e;
    explicit Shown(const QString& text) {
        e.resize(500, 150);
        e.show();
        e.setPlainText(text);
    }
};

}  // namespace

class WorkTextLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void placesFollowTheScript_data();
    void placesFollowTheScript();
    void hitsRoundTrip_data();
    void hitsRoundTrip();
    void longLinesInChunks();
    void clusterSteps_data();
    void clusterSteps();
    void arrowsInRightToLeftLines_data();
    void arrowsInRightToLeftLines();
    void composition_data();
    void composition();
    void queriesAnswerTextPositions_data();
    void queriesAnswerTextPositions();
};

enum class Relation { LeftOf, Wider };
Q_DECLARE_METATYPE(Relation)

void WorkTextLayoutTest::placesFollowTheScript_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<Relation>("relation");
    const QString mixed = QStringLiteral("abc ") + kArabic;
    QTest::newRow("Latin before an Arabic run") << mixed << 0 << 4 << Relation::LeftOf;
    QTest::newRow("Arabic runs right to left") << mixed << 5 << 4 << Relation::LeftOf;
    QTest::newRow("its last letter leftmost") << mixed << 6 << 5 << Relation::LeftOf;
    QTest::newRow("Latin left of Arabic in a right-to-left line")
        << kArabic + QStringLiteral(" abc") << 4 << 0 << Relation::LeftOf;
    QTest::newRow("Hebrew runs right to left") << QString::fromUtf8("שלום") << 1 << 0 << Relation::LeftOf;
    QTest::newRow("a Chinese character is wide") << QString::fromUtf8("a中b") << 1 << 0 << Relation::Wider;
    QTest::newRow("an emoji is wide") << QString::fromUtf8("a\U0001F600b") << 1 << 0 << Relation::Wider;
    QTest::newRow("an accent sits on its letter") << QString::fromUtf8("xe\u0301y") << 1 << 3 << Relation::LeftOf;
    QTest::newRow("a tab reaches the next stop") << QStringLiteral("a\tb") << 1 << 0 << Relation::Wider;
}

void WorkTextLayoutTest::placesFollowTheScript() {
    QFETCH(QString, text);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(Relation, relation);
    Shown shown(text);
    const QRect ra = shown.e.characterRect(a), rb = shown.e.characterRect(b);
    if (relation == Relation::LeftOf)
        QVERIFY2(ra.center().x() < rb.center().x(),
                 qPrintable(QStringLiteral("%1 against %2").arg(ra.x()).arg(rb.x())));
    else
        QVERIFY2(ra.width() > rb.width(), qPrintable(QStringLiteral("%1 against %2").arg(ra.width()).arg(rb.width())));
    // The grapheme cluster is one place: a mark has its letter's rectangle.
    if (text.contains(QChar(0x301))) QCOMPARE(shown.e.characterRect(2), shown.e.characterRect(1));
}

void WorkTextLayoutTest::hitsRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("Latin") << QStringLiteral("plain text");
    QTest::newRow("mixed directions") << QStringLiteral("abc ") + kArabic + QStringLiteral(" xyz");
    QTest::newRow("right-to-left line") << kArabic + QStringLiteral(" 12 ") + QString::fromUtf8("שלום");
    QTest::newRow("wide and emoji") << QString::fromUtf8("中文 ") + kFamily + QStringLiteral(" ") + kFlag;
    QTest::newRow("marks and Devanagari") << QString::fromUtf8("e\u0301 n\u0303 क्षि");
    QTest::newRow("tabs") << QStringLiteral("\ta\tbc\t") + kArabic;
    QTest::newRow("control characters") << QStringLiteral("a\x01") + QChar(0xD800) + QStringLiteral("b");
}

void WorkTextLayoutTest::hitsRoundTrip() {
    QFETCH(QString, text);
    Shown shown(text + QStringLiteral("\nsecond line"));
    WorkTextEdit& e = shown.e;
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QAccessibleTextInterface* reader = QAccessible::queryAccessibleInterface(&e)->textInterface();
    for (qsizetype at = 0; at < text.size(); at = e.nextCharacter(at)) {
        const QRect rect = e.characterRect(at);
        QVERIFY(e.viewport()->rect().contains(rect.center()));
        const QString where = QStringLiteral("at %1").arg(at);
        // The character under its own rectangle's centre is itself, the caret
        // lands on one of its edges, and a screen reader is told the same.
        QVERIFY2(e.characterAt(rect.center()) == at, qPrintable(where));
        const qsizetype caret = e.positionAt(rect.center());
        QVERIFY2(caret == at || caret == e.nextCharacter(at), qPrintable(where));
        QCOMPARE(reader->characterRect(static_cast<int>(at)),
                 QRect(e.viewport()->mapToGlobal(rect.topLeft()), rect.size()));
        QCOMPARE(reader->offsetAtPoint(e.viewport()->mapToGlobal(rect.center())), static_cast<int>(at));
        // A screen reader's character is the cluster too.
        int start = 0, end = 0;
        reader->textAtOffset(static_cast<int>(at), QAccessible::CharBoundary, &start, &end);
        QCOMPARE(end, static_cast<int>(e.nextCharacter(at)));
    }
}

void WorkTextLayoutTest::longLinesInChunks() {
    // A left-to-right line far longer than is laid out at once: its chunks
    // follow one another without overlapping, and stay usable at their cuts.
    QString line;
    while (line.size() < 3 * WorkTextEdit::kWholeLine) line += QString::fromUtf8("中文 e\u0301 abc\t");
    Shown shown(line);
    WorkTextEdit& e = shown.e;
    int checked = 0;
    for (qsizetype before = 0, at = e.nextCharacter(0); at < line.size(); before = at, at = e.nextCharacter(at)) {
        e.ensurePositionVisible(at);
        const QRect rect = e.characterRect(at), last = e.characterRect(before);
        // Rectangles widened to whole pixels may touch.
        QVERIFY2(rect.left() >= last.left() + last.width() - 2,
                 qPrintable(QStringLiteral("at %1: %2 after %3").arg(at).arg(rect.left()).arg(last.right())));
        if (at % 97 == 0 && e.viewport()->rect().contains(rect.center())) {  // a hit, across the chunks' cuts
            QCOMPARE(e.characterAt(rect.center()), at);
            ++checked;
        }
    }
    QVERIFY(checked > 10);
    // Keys at its end and in its middle edit as anywhere else.
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClicks(&e, QStringLiteral("Z"));
    const QString typed = line + QStringLiteral("Z");
    QCOMPARE(e.toPlainText(), typed);
    const qsizetype middle = e.previousCharacter(e.nextCharacter(line.size() / 2));
    const qsizetype next = e.nextCharacter(middle);
    e.setCursorPosition(middle);
    QTest::keyClick(&e, Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), typed.left(middle) + typed.mid(next));
    QVERIFY(e.viewport()->rect().contains(e.characterRect(middle).center()));
}

void WorkTextLayoutTest::clusterSteps_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");  // Right from start gives it, Left from it gives start
    QTest::addColumn<QString>("deleted");  // Delete at start
    QTest::addColumn<QString>("backspaced");  // Backspace at end: one code point
    const QString e = QString::fromUtf8("e\u0301");
    QTest::newRow("plain") << QStringLiteral("abc") << 1 << 2 << "ac"
                           << "ac";
    QTest::newRow("letter and mark") << "a" + e + "b" << 1 << 3 << "ab"
                                     << "aeb";
    QTest::newRow("emoji") << QString::fromUtf8("a\U0001F600b") << 1 << 3 << "ab"
                           << "ab";
    QTest::newRow("family") << "a" + kFamily + "b" << 1 << 9 << "ab"
                            << "a" + kFamily.left(6) + "b";
    QTest::newRow("flag") << "a" + kFlag + "b" << 1 << 5 << "ab"
                          << "a" + kFlag.left(2) + "b";
    QTest::newRow("Devanagari") << QString::fromUtf8("aक्षिb") << 1 << 5 << "ab" << QString::fromUtf8("aक्षb");
    QTest::newRow("Hangul jamo") << QString::fromUtf8("a\u1100\u1161\u11A8b") << 1 << 4 << "ab"
                                 << QString::fromUtf8("a\u1100\u1161b");
    QTest::newRow("tab") << QStringLiteral("a\tb") << 1 << 2 << "ab"
                         << "ab";
    QTest::newRow("line break") << QStringLiteral("a\n") + e << 1 << 2 << "a" + e << "a" + e;
}

void WorkTextLayoutTest::clusterSteps() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, deleted);
    QFETCH(QString, backspaced);
    Shown shown(text);
    WorkTextEdit& e = shown.e;
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Right);
    QCOMPARE(e.cursorPosition(), qsizetype(end));
    QTest::keyClick(&e, Qt::Key_Left);
    QCOMPARE(e.cursorPosition(), qsizetype(start));
    QTest::keyClick(&e, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(e.selectedText(), text.mid(start, end - start));
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), deleted);
    e.setPlainText(text);
    e.setCursorPosition(end);
    QTest::keyClick(&e, Qt::Key_Backspace);
    QCOMPARE(e.toPlainText(), backspaced);
}

void WorkTextLayoutTest::arrowsInRightToLeftLines_data() {
    // Logical steps as in Qt's editors; a line whose first strong character
    // is right-to-left takes Left as forward, collapsing a selection too.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("left");
    const QString mixed = QStringLiteral("abc ") + kArabic + QStringLiteral(" xyz");
    QTest::newRow("Arabic run in a left-to-right line") << mixed << 5 << 6 << 4;
    QTest::newRow("Latin in a left-to-right line") << mixed << 1 << 2 << 0;
    QTest::newRow("right-to-left line") << kArabic + QStringLiteral(" abc") << 1 << 0 << 2;
    QTest::newRow("Latin run in a right-to-left line") << kArabic + QStringLiteral(" abc") << 5 << 4 << 6;
}

void WorkTextLayoutTest::arrowsInRightToLeftLines() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, right);
    QFETCH(int, left);
    Shown shown(text);
    WorkTextEdit& e = shown.e;
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Right);
    QCOMPARE(e.cursorPosition(), qsizetype(right));
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Left);
    QCOMPARE(e.cursorPosition(), qsizetype(left));
    // A selection collapses to the side the same key moves towards.
    e.setSelection(std::min(left, right), std::max(left, right));
    QTest::keyClick(&e, Qt::Key_Right);
    QCOMPARE(e.cursorPosition(), qsizetype(right));
    e.setSelection(std::min(left, right), std::max(left, right));
    QTest::keyClick(&e, Qt::Key_Left);
    QCOMPARE(e.cursorPosition(), qsizetype(left));
}

void WorkTextLayoutTest::composition_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("preedit");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<int>("replaceFrom");
    QTest::addColumn<int>("replaceLength");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("resultCursor");
    QTest::newRow("commit takes the composition's place")
        << "ab" << 1 << QString::fromUtf8("にほ") << QString::fromUtf8("日本") << 0 << 0 << QString::fromUtf8("a日本b")
        << 3;
    QTest::newRow("an empty commit cancels") << "ab" << 1 << "x"
                                             << "" << 0 << 0 << "ab" << 1;
    QTest::newRow("replacing before the cursor") << "abcd" << 3 << QString::fromUtf8("ㅎ") << QString::fromUtf8("한")
                                                 << -2 << 2 << QString::fromUtf8("a한d") << 2;
    QTest::newRow("at a line's end after a tab") << "x\n\ty" << 4 << QString::fromUtf8("пр") << QString::fromUtf8("при")
                                                 << 0 << 0 << QString::fromUtf8("x\n\tyпри") << 7;
    QTest::newRow("in a right-to-left line") << kArabic << 3 << QString::fromUtf8("س") << QString::fromUtf8("سل") << 0
                                             << 0 << kArabic + QString::fromUtf8("سل") << 5;
}

void WorkTextLayoutTest::composition() {
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, preedit);
    QFETCH(QString, commit);
    QFETCH(int, replaceFrom);
    QFETCH(int, replaceLength);
    QFETCH(QString, result);
    QFETCH(int, resultCursor);
    Shown shown(text);
    WorkTextEdit& e = shown.e;
    e.setCursorPosition(cursor);
    const QRect before = Ask(e, Qt::ImCursorRectangle).toRect();
    QSignalSpy changed(&e, &WorkTextEdit::textChanged);
    // The composition shows at the caret, with the caret where the input
    // method puts it, and is no part of the text.
    Compose(e, preedit, 0);
    QCOMPARE(e.preeditText(), preedit);
    QCOMPARE(e.toPlainText(), text);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(Ask(e, Qt::ImCursorPosition).toInt(), cursor - e.lineStartOf(e.lineOf(cursor)));
    QVERIFY(!e.grab().isNull());
    const QRect atStart = Ask(e, Qt::ImCursorRectangle).toRect();
    Compose(e, preedit, static_cast<int>(preedit.size()));
    const QRect atEnd = Ask(e, Qt::ImCursorRectangle).toRect();
    QVERIFY2(atEnd.x() != atStart.x(), "the caret moves through the composition");
    QCOMPARE(atStart.y(), before.y());
    // Typing it scrolls no further than the composition needs.
    Commit(e, commit, replaceFrom, replaceLength);
    QCOMPARE(e.preeditText(), QString());
    QCOMPARE(e.toPlainText(), result);
    QCOMPARE(e.cursorPosition(), qsizetype(resultCursor));
    // One undo step takes the commit back.
    if (result != text) {
        e.undo();
        QCOMPARE(e.toPlainText(), text);
    }
}

void WorkTextLayoutTest::queriesAnswerTextPositions_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anchor");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("surrounding");
    QTest::addColumn<int>("anchorAt");
    QTest::addColumn<int>("cursorAt");
    QTest::addColumn<QString>("selected");
    QTest::newRow("after a tab, a text position") << "x\n\tab" << 4 << 4 << "\tab" << 2 << 2 << "";
    QTest::newRow("a selection in the second line") << "one\ntwo three" << 4 << 7 << "two three" << 0 << 3 << "two";
    QTest::newRow("a selection from the line before") << "one\ntwo" << 1 << 6 << "two" << 0 << 2 << "tw";
    QTest::newRow("after a cluster") << QString::fromUtf8("e\u0301\u4E2Dx") << 3 << 3
                                     << QString::fromUtf8("e\u0301\u4E2Dx") << 3 << 3 << "";
}

void WorkTextLayoutTest::queriesAnswerTextPositions() {
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, cursor);
    QFETCH(QString, surrounding);
    QFETCH(int, anchorAt);
    QFETCH(int, cursorAt);
    QFETCH(QString, selected);
    Shown shown(text);
    WorkTextEdit& e = shown.e;
    e.setSelection(anchor, cursor);
    QCOMPARE(Ask(e, Qt::ImSurroundingText).toString(), surrounding);
    QCOMPARE(Ask(e, Qt::ImCursorPosition).toInt(), cursorAt);
    QCOMPARE(Ask(e, Qt::ImAnchorPosition).toInt(), anchorAt);
    QCOMPARE(Ask(e, Qt::ImCurrentSelection).toString(), selected);
    QCOMPARE(Ask(e, Qt::ImAbsolutePosition).toInt(), cursor);
    QCOMPARE(Ask(e, Qt::ImTextBeforeCursor).toString(), surrounding.left(cursorAt));
    QCOMPARE(Ask(e, Qt::ImTextAfterCursor).toString(), surrounding.mid(cursorAt));
    QCOMPARE(Ask(e, Qt::ImFont).value<QFont>(), e.font());
    // The caret's rectangle is where the caret is drawn.
    const QRect caret = Ask(e, Qt::ImCursorRectangle).toRect();
    QCOMPARE(caret.left(), e.characterRect(cursor).translated(e.viewport()->pos()).left());

    // A hex line of many screens: the input method sees a part around the cursor.
    const QString hex(5 * WorkTextEdit::kSurrounding, u'A');
    e.setPlainText(QStringLiteral("x\n") + hex);
    e.setCursorPosition(2 + 2 * WorkTextEdit::kSurrounding);
    const QString part = Ask(e, Qt::ImSurroundingText).toString();
    QCOMPARE(part.size(), 2 * WorkTextEdit::kSurrounding);
    QCOMPARE(Ask(e, Qt::ImCursorPosition).toInt(), WorkTextEdit::kSurrounding);
}

QTEST_MAIN(WorkTextLayoutTest)
#include "worktext_layout_test.moc"
