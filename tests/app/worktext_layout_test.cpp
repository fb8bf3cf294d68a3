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

const QString kArabic = QString("كتب");  // three joined letters
const QString kFamily = QString("\U0001F468\u200D\U0001F469\u200D\U0001F467");
const QString kFlag = QString("\U0001F1EB\U0001F1F7");

QVariant Ask(WorkTextEdit& e, Qt::InputMethodQuery query) {
    QInputMethodQueryEvent event(query);
    QCoreApplication::sendEvent(&e, &event);
    return event.value(query);
}

void Compose(WorkTextEdit& e, const QString& preedit, int caret) {
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    QInputMethodEvent event(preedit, {{QInputMethodEvent::Cursor, caret, 1},
                                      {QInputMethodEvent::TextFormat, 0, static_cast<int>(preedit.size()), underline}});
    QCoreApplication::sendEvent(&e, &event);
}

void Commit(WorkTextEdit& e, const QString& commit, int from = 0, int length = 0) {
    QInputMethodEvent event;
    event.setCommitString(commit, from, length);
    QCoreApplication::sendEvent(&e, &event);
}

void Show(WorkTextEdit& e, const QString& text) {
    e.resize(500, 150);
    e.show();
    e.setPlainText(text);
}

}  // namespace

class WorkTextLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void placesFollowTheScript_data();
    void placesFollowTheScript();
    void hitsRoundTrip_data();
    void hitsRoundTrip();
    void longLinesInChunks();
    void rightToLeftParagraphs_data();
    void rightToLeftParagraphs();
    void keysStepOverClusters_data();
    void keysStepOverClusters();
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
    const QString mixed = QString("abc ") + kArabic;
    QTest::newRow("Latin before an Arabic run") << mixed << 0 << 4 << Relation::LeftOf;
    QTest::newRow("Arabic runs right to left") << mixed << 5 << 4 << Relation::LeftOf;
    QTest::newRow("Latin left of Arabic in a right-to-left line")
        << kArabic + QString(" abc") << 4 << 0 << Relation::LeftOf;
    QTest::newRow("a Chinese character is wide") << QString("a中b") << 1 << 0 << Relation::Wider;
    QTest::newRow("an accent sits on its letter") << QString("xe\u0301y") << 1 << 3 << Relation::LeftOf;
    QTest::newRow("a tab reaches the next stop") << QString("a\tb") << 1 << 0 << Relation::Wider;
}

void WorkTextLayoutTest::placesFollowTheScript() {
    QFETCH(QString, text);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(Relation, relation);
    WorkTextEdit e;
    Show(e, text);
    const QRect ra = e.characterRect(a), rb = e.characterRect(b);
    QVERIFY(relation == Relation::LeftOf ? ra.center().x() < rb.center().x() : ra.width() > rb.width());
    // The grapheme cluster is one place: a mark has its letter's rectangle.
    if (text.contains(QChar(0x301))) QCOMPARE(e.characterRect(2), e.characterRect(1));
}

void WorkTextLayoutTest::hitsRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("mixed directions") << QString("abc ") + kArabic + QString(" xyz");
    QTest::newRow("right-to-left line") << kArabic + QString(" 12 ") + QString("שלום");
    QTest::newRow("wide and emoji") << QString("中文 ") + kFamily + QString(" ") + kFlag;
    QTest::newRow("marks and Devanagari") << QString("e\u0301 n\u0303 क्षि");
    QTest::newRow("tabs") << QString("\ta\tbc\t") + kArabic;
    QTest::newRow("control characters") << QString("a\x01") + QChar(0xD800) + QString("b");
}

void WorkTextLayoutTest::hitsRoundTrip() {
    QFETCH(QString, text);
    WorkTextEdit e;
    Show(e, text + "\nsecond line");
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    QAccessibleTextInterface* reader = QAccessible::queryAccessibleInterface(&e)->textInterface();
    for (qsizetype at = 0; at < text.size(); at = e.nextCharacter(at)) {
        const QRect rect = e.characterRect(at);
        QVERIFY(e.viewport()->rect().contains(rect.center()));
        // The character under its own rectangle's centre is itself, the caret
        // lands on one of its edges, and a screen reader is told the same.
        QCOMPARE(e.characterAt(rect.center()), at);
        const qsizetype caret = e.positionAt(rect.center());
        QVERIFY(caret == at || caret == e.nextCharacter(at));
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
    while (line.size() < 3 * WorkTextEdit::kWholeLine) line += QString("中文 e\u0301 abc\t");
    WorkTextEdit e;
    Show(e, line);
    int checked = 0;
    for (qsizetype before = 0, at = e.nextCharacter(0); at < line.size(); before = at, at = e.nextCharacter(at)) {
        e.ensurePositionVisible(at);
        const QRect rect = e.characterRect(at), last = e.characterRect(before);
        // Rectangles widened to whole pixels may touch.
        QVERIFY2(rect.left() >= last.left() + last.width() - 2,
                 qPrintable(QString("at %1: %2 after %3").arg(at).arg(rect.left()).arg(last.right())));
        if (at % 97 == 0 && e.viewport()->rect().contains(rect.center())) {  // a hit, across the chunks' cuts
            QCOMPARE(e.characterAt(rect.center()), at);
            ++checked;
        }
    }
    QVERIFY(checked > 10);
    // A key at its end edits as anywhere else.
    QTest::keyClick(&e, Qt::Key_End);
    QTest::keyClicks(&e, QString("Z"));
    QCOMPARE(e.toPlainText(), line + "Z");
}

void WorkTextLayoutTest::rightToLeftParagraphs_data() {
    // A line whose first strong character is right-to-left aligns right, its
    // start at the right; the caret, a drag's selection, hits and a screen
    // reader's rectangles follow it there. Other lines stay at the left.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("rightToLeft");
    const QString hebrew = QString("שלום עולם");
    QString longHebrew;
    while (longHebrew.size() < 3 * WorkTextEdit::kWholeLine) longHebrew += hebrew + QString(" ");
    QTest::newRow("Arabic paragraph") << kArabic + QString(" 12 abc") << 0 << true;
    QTest::newRow("Hebrew below a Latin line") << QString("abc\n") + hebrew << 1 << true;
    QTest::newRow("a neutral start, then Hebrew") << QString("\"! ") + hebrew << 0 << true;
    QTest::newRow("Latin paragraph with an Arabic word") << QString("abc ") + kArabic << 0 << false;
    QTest::newRow("plain line below an Arabic one") << kArabic + QString("\nabc") << 1 << false;
    QTest::newRow("long Hebrew line in chunks") << longHebrew << 0 << true;
}

void WorkTextLayoutTest::rightToLeftParagraphs() {
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(bool, rightToLeft);
    WorkTextEdit e;
    Show(e, text);
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    const qsizetype start = e.lineStartOf(line), end = e.lineEndOf(line);
    QAccessibleTextInterface* reader = QAccessible::queryAccessibleInterface(&e)->textInterface();
    const QRect view = e.viewport()->rect();
    if (end - start > WorkTextEdit::kWholeLine) {
        // Its start is in view, and its chunks run from right to left, as its characters do.
        QVERIFY(view.contains(e.characterRect(start).center()));
        int hits = 0;
        for (qsizetype before = start, at = e.nextCharacter(start); at < end; before = at, at = e.nextCharacter(at)) {
            e.ensurePositionVisible(at);
            const QRect rect = e.characterRect(at), last = e.characterRect(before);
            QVERIFY2(rect.right() <= last.left() + 2,
                     qPrintable(QString("at %1: %2 after %3").arg(at).arg(rect.right()).arg(last.left())));
            if (at % 97 == 0 && view.contains(rect.center())) {
                QCOMPARE(e.characterAt(rect.center()), at);
                ++hits;
            }
        }
        QVERIFY(hits > 10);
        return;
    }
    // Where the line's characters are drawn, and a hit and a reader on each.
    int left = INT_MAX, right = INT_MIN;
    for (qsizetype at = start; at < end; at = e.nextCharacter(at)) {
        const QRect rect = e.characterRect(at);
        QVERIFY(view.contains(rect.center()));
        left = std::min(left, rect.left());
        right = std::max(right, rect.right());
        QCOMPARE(e.characterAt(rect.center()), at);
        QCOMPARE(reader->characterRect(static_cast<int>(at)),
                 QRect(e.viewport()->mapToGlobal(rect.topLeft()), rect.size()));
        QCOMPARE(reader->offsetAtPoint(e.viewport()->mapToGlobal(rect.center())), static_cast<int>(at));
    }
    const int cell = e.characterRect(end).width();  // past the end: a cell
    if (rightToLeft)
        QVERIFY2(right >= view.right() - cell && left > view.width() / 2,
                 qPrintable(QString("%1..%2").arg(left).arg(right)));
    else
        QVERIFY2(left <= cell, qPrintable(QString::number(left)));
    // The caret at the line's start stands at that side.
    e.setCursorPosition(start);
    const QRect caret = Ask(e, Qt::ImCursorRectangle).toRect().translated(-e.viewport()->pos());
    QVERIFY(rightToLeft ? caret.x() >= right - 1 : caret.x() <= left + 1);
    // Dragged from the right edge to the left, the selection takes the line,
    // from its start in a right-to-left line, from its end otherwise.
    const int y = e.characterRect(start).center().y();
    QTest::mousePress(e.viewport(), Qt::LeftButton, {}, QPoint(view.right() - 1, y));
    QTest::mouseMove(e.viewport(), QPoint(view.width() / 2, y));
    QTest::mouseMove(e.viewport(), QPoint(1, y));
    QTest::mouseRelease(e.viewport(), Qt::LeftButton, {}, QPoint(1, y));
    QCOMPARE(e.anchorPosition(), rightToLeft ? start : end);
    QCOMPARE(e.cursorPosition(), rightToLeft ? end : start);
}

void WorkTextLayoutTest::keysStepOverClusters_data() {
    // From start: where Right and Left go, what Delete and Backspace leave.
    // Right, Left and Delete take a grapheme cluster, Backspace a code point,
    // as in Qt's editors; so are Left and Right swapped (for a selection too)
    // in a line whose first strong character is right-to-left.
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("backspaced");
    const QString e = QString("e\u0301"), ks = QString("क्षि"), g = QString("\u1100\u1161\u11A8");
    const QString mixed = "abc " + kArabic + " xyz", rtl = kArabic + " abc";
    QTest::newRow("plain") << "abcd" << 2 << 3 << 1 << "abd"
                           << "acd";
    QTest::newRow("letter and mark") << "a" + e + e << 3 << 5 << 1 << "a" + e << "ae" + e;
    QTest::newRow("family") << "a" + kFamily + kFamily << 9 << 17 << 1 << "a" + kFamily
                            << "a" + kFamily.left(6) + kFamily;
    QTest::newRow("flags") << "a" + kFlag + kFlag << 5 << 9 << 1 << "a" + kFlag << "a" + kFlag.left(2) + kFlag;
    QTest::newRow("Devanagari") << "a" + ks + ks << 5 << 9 << 1 << "a" + ks << "a" + ks.left(3) + ks;
    QTest::newRow("Hangul jamo") << "a" + g + g << 4 << 7 << 1 << "a" + g << "a" + g.left(2) + g;
    QTest::newRow("tabs") << "a\t\t" << 2 << 3 << 1 << "a\t"
                          << "a\t";
    QTest::newRow("after a line break") << "a\n" + e << 2 << 4 << 1 << "a\n"
                                        << "a" + e;
    QTest::newRow("Arabic run in a left-to-right line")
        << mixed << 5 << 6 << 4 << mixed.left(5) + mixed.mid(6) << mixed.left(4) + mixed.mid(5);
    QTest::newRow("right-to-left line") << rtl << 1 << 0 << 2 << rtl.left(1) + rtl.mid(2) << rtl.mid(1);
    QTest::newRow("Latin run in a right-to-left line")
        << rtl << 5 << 4 << 6 << rtl.left(5) + rtl.mid(6) << rtl.left(4) + rtl.mid(5);
}

void WorkTextLayoutTest::keysStepOverClusters() {
    QFETCH(QString, text);
    QFETCH(int, start);
    QFETCH(int, right);
    QFETCH(int, left);
    QFETCH(QString, deleted);
    QFETCH(QString, backspaced);
    WorkTextEdit e;
    e.setPlainText(text);
    for (const auto& [key, to] : {std::pair{Qt::Key_Right, right}, std::pair{Qt::Key_Left, left}}) {
        e.setCursorPosition(start);
        QTest::keyClick(&e, key);
        QCOMPARE(e.cursorPosition(), qsizetype(to));
        e.setCursorPosition(start);
        QTest::keyClick(&e, key, Qt::ShiftModifier);
        QCOMPARE(e.selectedText(), text.mid(std::min(start, to), std::abs(to - start)));
        e.setSelection(std::min(left, right), std::max(left, right));  // collapses towards the key's side
        QTest::keyClick(&e, key);
        QCOMPARE(e.cursorPosition(), qsizetype(to));
    }
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Delete);
    QCOMPARE(e.toPlainText(), deleted);
    e.setPlainText(text);
    e.setCursorPosition(start);
    QTest::keyClick(&e, Qt::Key_Backspace);
    QCOMPARE(e.toPlainText(), backspaced);
}

void WorkTextLayoutTest::composition_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("preedit");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<int>("replaceFrom");
    QTest::addColumn<int>("replaceLength");
    QTest::addColumn<QString>("result");
    QTest::newRow("a commit takes the composition's place") << "ab" << 1 << "にほ"
                                                            << "日本" << 0 << 0 << "a日本b";
    QTest::newRow("an empty commit cancels") << "ab" << 1 << "x"
                                             << "" << 0 << 0 << "ab";
    QTest::newRow("replacing before the cursor") << "abcd" << 3 << "ㅎ"
                                                 << "한" << -2 << 2 << "a한d";
    QTest::newRow("in a right-to-left line") << kArabic << 3 << "س"
                                             << "سل" << 0 << 0 << kArabic + "سل";
}

void WorkTextLayoutTest::composition() {
    QFETCH(QString, text);
    QFETCH(int, cursor);
    QFETCH(QString, preedit);
    QFETCH(QString, commit);
    QFETCH(int, replaceFrom);
    QFETCH(int, replaceLength);
    QFETCH(QString, result);
    WorkTextEdit e;
    Show(e, text);
    e.setCursorPosition(cursor);
    QSignalSpy changed(&e, &WorkTextEdit::textChanged);
    // The composition shows at the caret, with the caret where the input
    // method puts it, and is no part of the text.
    Compose(e, preedit, 0);
    QCOMPARE(e.preeditText(), preedit);
    QCOMPARE(e.toPlainText(), text);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!e.grab().isNull());
    const QRect atStart = Ask(e, Qt::ImCursorRectangle).toRect();
    Compose(e, preedit, static_cast<int>(preedit.size()));
    QVERIFY2(Ask(e, Qt::ImCursorRectangle).toRect().x() != atStart.x(), "the caret moves through the composition");
    // The commit, with what it replaces, is one undo step.
    Commit(e, commit, replaceFrom, replaceLength);
    QCOMPARE(e.preeditText(), QString());
    QCOMPARE(e.toPlainText(), result);
    QCOMPARE(e.cursorPosition(), cursor + replaceFrom + commit.size());
    e.undo();
    QCOMPARE(e.toPlainText(), text);
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
    QTest::newRow("after a cluster") << QString("e\u0301\u4E2Dx") << 3 << 3 << QString("e\u0301\u4E2Dx") << 3 << 3
                                     << "";
}

void WorkTextLayoutTest::queriesAnswerTextPositions() {
    QFETCH(QString, text);
    QFETCH(int, anchor);
    QFETCH(int, cursor);
    QFETCH(QString, surrounding);
    QFETCH(int, anchorAt);
    QFETCH(int, cursorAt);
    QFETCH(QString, selected);
    WorkTextEdit e;
    Show(e, text);
    e.setSelection(anchor, cursor);
    QCOMPARE(Ask(e, Qt::ImSurroundingText).toString(), surrounding);
    QCOMPARE(Ask(e, Qt::ImCursorPosition).toInt(), cursorAt);
    QCOMPARE(Ask(e, Qt::ImAnchorPosition).toInt(), anchorAt);
    QCOMPARE(Ask(e, Qt::ImCurrentSelection).toString(), selected);
    QCOMPARE(Ask(e, Qt::ImTextBeforeCursor).toString(), surrounding.left(cursorAt));
    QCOMPARE(Ask(e, Qt::ImTextAfterCursor).toString(), surrounding.mid(cursorAt));
    // The caret's rectangle is where the caret is drawn.
    const QRect caret = Ask(e, Qt::ImCursorRectangle).toRect();
    QCOMPARE(caret.left(), e.characterRect(cursor).translated(e.viewport()->pos()).left());

    // A hex line of many screens: the input method sees a part around the cursor.
    const QString hex(5 * WorkTextEdit::kSurrounding, u'A');
    e.setPlainText(QString("x\n") + hex);
    e.setCursorPosition(2 + 2 * WorkTextEdit::kSurrounding);
    const QString part = Ask(e, Qt::ImSurroundingText).toString();
    QCOMPARE(part.size(), 2 * WorkTextEdit::kSurrounding);
    QCOMPARE(Ask(e, Qt::ImCursorPosition).toInt(), WorkTextEdit::kSurrounding);
}

QTEST_MAIN(WorkTextLayoutTest)
#include "worktext_layout_test.moc"
