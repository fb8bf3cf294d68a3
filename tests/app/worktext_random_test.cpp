// SPDX-License-Identifier: MIT
// Random sequences of keys, input method commits, clicks, selections, clipboard
// use, undo and redo on the work text box, checked step by step against a
// simple model: a shadow string with its cursor and anchor, and a shadow undo
// history whose steps grow by the desktop's rules (a run of typing, Backspace
// or Delete is one step until a word starts, the cursor moves or the keys
// pause). The text mixes scripts, marks, joiners, flags and tabs: the caret
// and Delete step by grapheme clusters (Qt's boundary finder), Backspace by
// code points, and Left and Right swap in a line that starts right-to-left.
// Seeded, so a failure repeats: QUELVANE_RANDOM_SEED=<seed> runs one.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QtTest>
#include <vector>

#include "app/WorkTextEdit.h"

using namespace quelvane;

namespace {

bool IsWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c); }

// The model: text, cursor, anchor and an undo history of whole steps.
struct Model {
    enum Kind { Other, Typing, Backspace, Delete };
    struct Step {
        qsizetype at;
        QString removed, inserted;
        Kind kind;
        unsigned long time;
    };
    QString text;
    qsizetype cursor = 0, anchor = 0;
    std::vector<Step> undo, redo;
    bool open = false;

    qsizetype SelStart() const { return std::min(cursor, anchor); }
    qsizetype SelEnd() const { return std::max(cursor, anchor); }
    bool Pair(qsizetype at) const {  // a high half at at followed by a low half
        return at >= 0 && at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate();
    }
    qsizetype PrevCodePoint(qsizetype p) const { return p <= 0 ? 0 : p - (Pair(p - 2) ? 2 : 1); }
    qsizetype LineEnd(qsizetype p) const {
        const qsizetype newline = text.indexOf(u'\n', p);
        return newline < 0 ? text.size() : newline;
    }
    // Grapheme cluster boundaries, asked of Qt's finder over the line around p.
    qsizetype Next(qsizetype p) const {
        if (p >= text.size()) return text.size();
        if (text[p] == u'\n') return p + 1;
        const qsizetype from = std::max(LineStart(p), p - 64), to = std::min(LineEnd(p), p + 64);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
        finder.setPosition(p - from);
        const qsizetype next = finder.toNextBoundary();
        return next < 0 ? to : from + next;
    }
    qsizetype Prev(qsizetype p) const {
        if (p <= 0) return 0;
        if (text[p - 1] == u'\n') return p - 1;
        const qsizetype from = std::max(LineStart(p - 1), p - 64);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, p - from);
        finder.setPosition(p - from);
        const qsizetype previous = finder.toPreviousBoundary();
        return previous < 0 ? from : from + previous;
    }
    bool RightToLeft(qsizetype p) const {  // the line's first strong character
        const qsizetype start = LineStart(p);
        return QStringView(text).mid(start, std::min<qsizetype>(LineEnd(p) - start, 4096)).isRightToLeft();
    }
    qsizetype Snap(qsizetype p) const {
        p = std::clamp<qsizetype>(p, 0, text.size());
        return Pair(p - 1) ? p - 1 : p;
    }
    char32_t At(qsizetype p) const {
        return Pair(p) ? QChar::surrogateToUcs4(text[p], text[p + 1]) : char32_t(text[p].unicode());
    }
    char32_t Before(qsizetype p) const { return At(Prev(p)); }
    static char32_t First(const QString& s) {
        if (s.isEmpty()) return 0;
        return s.size() > 1 && s[0].isHighSurrogate() && s[1].isLowSurrogate() ? QChar::surrogateToUcs4(s[0], s[1])
                                                                               : char32_t(s[0].unicode());
    }
    static char32_t Last(const QString& s) {
        const qsizetype n = s.size();
        if (n == 0) return 0;
        return n > 1 && s[n - 1].isLowSurrogate() && s[n - 2].isHighSurrogate()
                   ? QChar::surrogateToUcs4(s[n - 2], s[n - 1])
                   : char32_t(s[n - 1].unicode());
    }
    qsizetype LineStart(qsizetype p) const { return p == 0 ? 0 : text.lastIndexOf(u'\n', p - 1) + 1; }
    qsizetype WordStart(qsizetype p) const {
        while (p > 0 && !IsWordChar(Before(p))) p = Prev(p);
        while (p > 0 && IsWordChar(Before(p))) p = Prev(p);
        return p;
    }
    qsizetype WordEnd(qsizetype p) const {
        while (p < text.size() && !IsWordChar(At(p))) p = Next(p);
        while (p < text.size() && IsWordChar(At(p))) p = Next(p);
        return p;
    }

    void Move(qsizetype to, bool keep) {
        cursor = Snap(to);
        if (!keep) anchor = cursor;
        open = false;
    }
    void Edit(qsizetype from, qsizetype to, const QString& insert, Kind kind = Other, unsigned long time = 0,
              bool record = true) {
        const QString removed = text.mid(from, to - from);
        if (removed.isEmpty() && insert.isEmpty()) return;
        if (record) Record(from, removed, insert, kind, time);
        text.replace(from, to - from, insert);
        cursor = anchor = Snap(from + insert.size());
    }
    void Record(qsizetype from, const QString& removed, const QString& insert, Kind kind, unsigned long time) {
        redo.clear();
        if (open && !undo.empty() && kind != Other && undo.back().kind == kind) {
            Step& s = undo.back();
            const bool pause = time && s.time && time > s.time && time - s.time > WorkTextEdit::kTypingPauseMs;
            const auto wordStarts = [](const QString& a, const QString& b) {
                return !a.isEmpty() && !b.isEmpty() && IsWordChar(First(b)) && !IsWordChar(Last(a));
            };
            if (!pause && kind == Typing && removed.isEmpty() && s.at + s.inserted.size() == from &&
                !wordStarts(s.inserted, insert)) {
                s.inserted += insert;
                s.time = time;
                return;
            }
            if (!pause && kind == Backspace && s.inserted.isEmpty() && from + removed.size() == s.at &&
                !(IsWordChar(Last(removed)) && !IsWordChar(First(s.removed)))) {
                s.at = from;
                s.removed = removed + s.removed;
                s.time = time;
                return;
            }
            if (!pause && kind == Delete && s.inserted.isEmpty() && s.at == from && !wordStarts(s.removed, removed)) {
                s.removed += removed;
                s.time = time;
                return;
            }
        }
        undo.push_back({from, removed, insert, kind, time});
        if (undo.size() > 500) undo.erase(undo.begin());
        open = kind != Other;
    }
    void Undo() {
        if (undo.empty()) return;
        const Step s = undo.back();
        undo.pop_back();
        Edit(s.at, s.at + s.inserted.size(), s.removed, Other, 0, false);
        redo.push_back(s);
        open = false;
    }
    void Redo() {
        if (redo.empty()) return;
        const Step s = redo.back();
        redo.pop_back();
        Edit(s.at, s.at + s.removed.size(), s.inserted, Other, 0, false);
        undo.push_back(s);
        open = false;
    }
};

QString Normalized(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

class Run {
public:
    Run(quint32 seed, WorkTextEdit& edit) : rng(seed), e(edit) {
        fresh.resize(e.size());
        fresh.show();
    }

    // One action; false (with a message) when the box and the model part.
    bool Step(QString* why);
    QString last;  // the action, for the failure message

private:
    quint32 Pick(quint32 n) { return rng.bounded(n); }
    QString RandomText(int maxChars);
    void Key(int key, Qt::KeyboardModifiers mods = {}, const QString& typed = {});
    void Resync() {
        m.cursor = e.cursorPosition();
        m.anchor = e.anchorPosition();
        m.open = false;
    }
    bool Check(QString* why) const;

    QRandomGenerator rng;
    WorkTextEdit& e;
    mutable WorkTextEdit fresh;  // the same text set at once, to compare the line index with
    Model m;
    unsigned long clock = 1000;
};

QString Run::RandomText(int maxChars) {
    static const QStringList pieces{"a",      "b",      "z",      "Q",          "7",          "_",          " ",
                                    " ",      ",",      ".",      "é",          "\u4E2D",     "\t",         "\n",
                                    "x",      "y",      "-",      "\U0001F600", "\U0001D400", "\U00020000", "\u0301",
                                    "\u0644", "\u0627", "\u05D0", "\u200D",     "\U0001F1EB"};
    QString s;
    const int n = 1 + static_cast<int>(Pick(static_cast<quint32>(maxChars)));
    for (int i = 0; i < n; ++i) s += pieces[static_cast<qsizetype>(Pick(static_cast<quint32>(pieces.size())))];
    return s;
}

void Run::Key(int key, Qt::KeyboardModifiers mods, const QString& typed) {
    clock += Pick(10) == 0 ? 1500 : 1 + Pick(200);  // now and then a pause
    QKeyEvent press(QEvent::KeyPress, key, mods, typed);
    press.setTimestamp(clock);
    QCoreApplication::sendEvent(&e, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, typed);
    release.setTimestamp(clock);
    QCoreApplication::sendEvent(&e, &release);
}

bool Run::Step(QString* why) {
    const bool shift = Pick(3) == 0;
    const Qt::KeyboardModifiers sm = shift ? Qt::ShiftModifier : Qt::NoModifier;
    switch (Pick(24)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4: {  // typing, one key per character
            const QString typed = RandomText(6);
            last = QStringLiteral("type %1").arg(typed);
            for (qsizetype i = 0; i < typed.size(); i += typed[i].isHighSurrogate() ? 2 : 1) {
                const QString one = typed.mid(i, typed[i].isHighSurrogate() ? 2 : 1);
                if (one == u"\n") {
                    Key(Qt::Key_Return);
                } else {
                    Key(one == u"\t" ? Qt::Key_unknown : Qt::Key_A, {}, one);
                }
                m.Edit(m.SelStart(), m.SelEnd(), one, Model::Typing, clock);
                if (!Check(why)) return false;
            }
            return true;
        }
        case 5:
        case 6: {  // Backspace, Delete, plain or by word
            const bool back = Pick(2);
            const bool word = Pick(4) == 0;
            last = QStringLiteral("%1%2").arg(word ? "ctrl+" : "", back ? "backspace" : "delete");
            for (int i = 1 + static_cast<int>(Pick(4)); i > 0; --i) {
                Key(back ? Qt::Key_Backspace : Qt::Key_Delete, word ? Qt::ControlModifier : Qt::NoModifier);
                if (m.cursor != m.anchor)
                    m.Edit(m.SelStart(), m.SelEnd(), QString());
                else if (back && m.cursor > 0)
                    word ? m.Edit(m.WordStart(m.cursor), m.cursor, QString())
                         : m.Edit(m.PrevCodePoint(m.cursor), m.cursor, QString(), Model::Backspace, clock);
                else if (!back && m.cursor < m.text.size())
                    word ? m.Edit(m.cursor, m.WordEnd(m.cursor), QString())
                         : m.Edit(m.cursor, m.Next(m.cursor), QString(), Model::Delete, clock);
                if (!Check(why)) return false;
            }
            return true;
        }
        case 7:
        case 8: {  // left and right, by character or word, extending or not
            const bool left = Pick(2);
            const bool word = Pick(3) == 0;
            last = QStringLiteral("%1%2%3").arg(shift ? "shift+" : "", word ? "ctrl+" : "", left ? "left" : "right");
            Key(left ? Qt::Key_Left : Qt::Key_Right, sm | (word ? Qt::ControlModifier : Qt::NoModifier));
            const bool back = left != m.RightToLeft(m.cursor);
            if (!shift && m.cursor != m.anchor)
                m.Move(back ? m.SelStart() : m.SelEnd(), false);
            else if (back)
                m.Move(word ? m.WordStart(m.cursor) : m.Prev(m.cursor), shift);
            else
                m.Move(word ? m.WordEnd(m.cursor) : m.Next(m.cursor), shift);
            return Check(why);
        }
        case 9: {  // Home, End, to the text's ends
            const bool home = Pick(2);
            const bool whole = Pick(2);
            last = QStringLiteral("%1%2").arg(whole ? "ctrl+" : "", home ? "home" : "end");
            Key(home ? Qt::Key_Home : Qt::Key_End, sm | (whole ? Qt::ControlModifier : Qt::NoModifier));
            const qsizetype lineStart = m.LineStart(m.cursor);
            qsizetype lineEnd = m.text.indexOf(u'\n', m.cursor);
            if (lineEnd < 0) lineEnd = m.text.size();
            m.Move(whole ? (home ? 0 : m.text.size()) : (home ? lineStart : lineEnd), shift);
            return Check(why);
        }
        case 10: {  // up, down, page: the column rules are the box's; only the invariants count
            static const int keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
            const int key = keys[Pick(4)];
            last = QStringLiteral("vertical %1").arg(key);
            Key(key, sm);
            Resync();
            return Check(why);
        }
        case 11: {  // a click, maybe with Shift
            const QPoint at(static_cast<int>(Pick(static_cast<quint32>(e.viewport()->width()))),
                            static_cast<int>(Pick(static_cast<quint32>(e.viewport()->height()))));
            last = QStringLiteral("click %1,%2").arg(at.x()).arg(at.y());
            QTest::mouseClick(e.viewport(), Qt::LeftButton, shift ? Qt::ShiftModifier : Qt::NoModifier, at);
            Resync();
            return Check(why);
        }
        case 12: {  // the cursor put anywhere by a program, inside a pair too
            const qsizetype to = static_cast<qsizetype>(Pick(static_cast<quint32>(m.text.size() + 1)));
            last = QStringLiteral("setCursorPosition %1%2").arg(to).arg(shift ? " keeping the anchor" : "");
            e.setCursorPosition(to, shift);
            m.Move(to, shift);
            return Check(why);
        }
        case 13:
            last = QStringLiteral("select all");
            Key(Qt::Key_A, Qt::ControlModifier);
            m.anchor = 0;
            m.Move(m.text.size(), true);
            return Check(why);
        case 14:
        case 15:
        case 16:
            last = QStringLiteral("undo");
            Key(Qt::Key_Z, Qt::ControlModifier);
            m.Undo();
            return Check(why);
        case 17:
        case 18:
            last = Pick(2) ? QStringLiteral("redo ctrl+y") : QStringLiteral("redo ctrl+shift+z");
            if (last.endsWith(u'y'))
                Key(Qt::Key_Y, Qt::ControlModifier);
            else
                Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            m.Redo();
            return Check(why);
        case 19: {  // paste, with any line breaks, now and then a long line
            QString pasted = Pick(8) == 0 ? QString(static_cast<qsizetype>(3000 + Pick(20000)), u'A') : RandomText(12);
            if (Pick(3) == 0) pasted.replace(u'\n', QStringLiteral("\r\n"));
            QGuiApplication::clipboard()->setText(pasted);
            last = QStringLiteral("paste %1 characters").arg(pasted.size());
            Key(Qt::Key_V, Qt::ControlModifier);
            pasted = Normalized(QGuiApplication::clipboard()->text());
            m.Edit(m.SelStart(), m.SelEnd(), pasted);
            return Check(why);
        }
        case 20: {  // cut or copy
            const bool cut = Pick(2);
            last = cut ? QStringLiteral("cut") : QStringLiteral("copy");
            Key(cut ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
            if (m.cursor != m.anchor) {
                if (QGuiApplication::clipboard()->text() != m.text.mid(m.SelStart(), m.SelEnd() - m.SelStart())) {
                    *why = QStringLiteral("the clipboard does not hold the selection");
                    return false;
                }
                if (cut) m.Edit(m.SelStart(), m.SelEnd(), QString());
            }
            return Check(why);
        }
        case 21:
        case 22: {  // an input method: a commit, or a commit replacing text around the cursor
            QInputMethodEvent event;
            QString commit = RandomText(3);
            if (Pick(6) == 0) commit = QString(QChar(Pick(2) ? 0xD83D : 0xDE00));  // half a pair on its own
            if (Pick(3) == 0) {
                const int start = -static_cast<int>(Pick(3));
                const int length = static_cast<int>(Pick(4));
                event.setCommitString(commit, start, length);
                last = QStringLiteral("input method %1 replacing %2,%3").arg(commit).arg(start).arg(length);
                QCoreApplication::sendEvent(&e, &event);
                if (length > 0 || start != 0) {
                    const qsizetype from = m.Snap(m.cursor + start);
                    qsizetype to = std::clamp<qsizetype>(from + length, from, m.text.size());
                    if (m.Pair(to - 1) && to > from) ++to;
                    m.Edit(from, to, commit);
                } else {
                    m.Edit(m.SelStart(), m.SelEnd(), commit, Model::Typing);
                }
            } else {
                event.setCommitString(commit);
                last = QStringLiteral("input method %1").arg(commit);
                QCoreApplication::sendEvent(&e, &event);
                m.Edit(m.SelStart(), m.SelEnd(), commit, Model::Typing);
            }
            return Check(why);
        }
        default: {  // a double click selects a word
            const QPoint at(static_cast<int>(Pick(static_cast<quint32>(e.viewport()->width()))), 4);
            last = QStringLiteral("double click %1").arg(at.x());
            QTest::mouseDClick(e.viewport(), Qt::LeftButton, {}, at);
            Resync();
            return Check(why);
        }
    }
}

bool Run::Check(QString* why) const {
    auto fail = [&](const QString& what) {
        *why = what;
        return false;
    };
    if (e.toPlainText() != m.text)
        return fail(QStringLiteral("text %1, the model has %2").arg(e.toPlainText().left(80), m.text.left(80)));
    if (e.cursorPosition() != m.cursor || e.anchorPosition() != m.anchor)
        return fail(QStringLiteral("cursor %1 anchor %2, the model has %3 and %4")
                        .arg(e.cursorPosition())
                        .arg(e.anchorPosition())
                        .arg(m.cursor)
                        .arg(m.anchor));
    for (const qsizetype p : {m.cursor, m.anchor})
        if (m.Pair(p - 1)) return fail(QStringLiteral("position %1 splits a surrogate pair").arg(p));
    if (e.isUndoAvailable() != !m.undo.empty() || e.isRedoAvailable() != !m.redo.empty())
        return fail(QStringLiteral("undo %1 redo %2, the model has %3 and %4 steps")
                        .arg(e.isUndoAvailable())
                        .arg(e.isRedoAvailable())
                        .arg(m.undo.size())
                        .arg(m.redo.size()));
    if (e.lineCount() != m.text.count(u'\n') + 1) return fail(QStringLiteral("line count %1").arg(e.lineCount()));
    // The line index kept up to date edit by edit agrees with one made afresh.
    fresh.setPlainText(m.text);
    if (e.horizontalScrollBar()->maximum() != fresh.horizontalScrollBar()->maximum() ||
        e.verticalScrollBar()->maximum() != fresh.verticalScrollBar()->maximum())
        return fail(QStringLiteral("scroll range %1, afresh %2")
                        .arg(e.horizontalScrollBar()->maximum())
                        .arg(fresh.horizontalScrollBar()->maximum()));
    for (qsizetype line = 0; line < e.lineCount(); ++line)
        if (e.lineStartOf(line) != fresh.lineStartOf(line)) return fail(QStringLiteral("line %1 start").arg(line));
    // What a screen reader reads agrees with the text.
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&e);
    QAccessibleTextInterface* t = iface ? iface->textInterface() : nullptr;
    if (!t) return fail(QStringLiteral("no text interface"));
    if (t->characterCount() != m.text.size() || t->cursorPosition() != m.cursor)
        return fail(QStringLiteral("accessible count %1 cursor %2").arg(t->characterCount()).arg(t->cursorPosition()));
    // The line at the cursor, in pieces when it is long.
    int start = 0, end = 0;
    const QString line = t->textAtOffset(static_cast<int>(m.cursor), QAccessible::LineBoundary, &start, &end);
    const qsizetype lineStart = m.LineStart(m.cursor);
    const qsizetype newline = m.text.indexOf(u'\n', m.cursor);
    const qsizetype lineEnd = newline < 0 ? m.text.size() : newline + 1;
    const bool whole = lineEnd - lineStart <= 8192;
    if (line != m.text.mid(start, end - start) || (whole && (start != lineStart || end != lineEnd)) ||
        start < lineStart || end > lineEnd || start > m.cursor || (end <= m.cursor && end != m.text.size()) ||
        end - start > 8192)
        return fail(QStringLiteral("accessible line %1..%2 at %3, the line is %4..%5")
                        .arg(start)
                        .arg(end)
                        .arg(m.cursor)
                        .arg(lineStart)
                        .arg(lineEnd));
    return true;
}

}  // namespace

class WorkTextRandomTest : public QObject {
    Q_OBJECT
private slots:
    void sequencesAgreeWithTheModel_data();
    void sequencesAgreeWithTheModel();
};

void WorkTextRandomTest::sequencesAgreeWithTheModel_data() {
    QTest::addColumn<quint32>("seed");
    const QByteArray chosen = qgetenv("QUELVANE_RANDOM_SEED");
    if (!chosen.isEmpty()) {
        QTest::newRow(chosen.constData()) << chosen.toUInt();
        return;
    }
    for (quint32 seed = 1; seed <= 16; ++seed) QTest::newRow(qPrintable(QString::number(seed))) << seed * 7919u;
}

void WorkTextRandomTest::sequencesAgreeWithTheModel() {
    QFETCH(quint32, seed);
    WorkTextEdit e;
    e.resize(320, 160);
    e.show();
    QVERIFY(QTest::qWaitForWindowExposed(&e));
    Run run(seed, e);
    for (int step = 0; step < 2000; ++step) {
        QString why;
        if (!run.Step(&why))
            QFAIL(qPrintable(QStringLiteral("seed %1, step %2 (%3): %4").arg(seed).arg(step).arg(run.last, why)));
    }
}

QTEST_MAIN(WorkTextRandomTest)
#include "worktext_random_test.moc"
