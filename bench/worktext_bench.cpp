// SPDX-License-Identifier: MIT
// Speed of the work text box on a hex text of tens of millions of characters
// on one line: keys typed and deleted, a sideways scroll step with the paint
// that follows it, and a screen reader's questions (the line, word and
// character at an offset), each beside one copy of the whole text in the same
// run, the cost the box must not pay per key or question. Then the same keys
// and scroll on a line of Arabic, Chinese and Latin words, and on the hex line
// once such words stand at its start.
//   worktext_bench [MiChars] [runs]     (offscreen; defaults 32 Mi, 5 runs)
// A ratio well below 1 means no whole copy and no pass over the text.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "app/WorkTextEdit.h"

using namespace quelvane;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Microseconds per call of f, over n calls.
double Each(int n, const std::function<void(int)>& f) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i) f(i);
    return clock.nsecsElapsed() / 1e3 / n;
}

void Key(WorkTextEdit& e, int key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&e, &press);
}

// A key and the paint it asks for, as the user waits for both.
void KeyAndPaint(WorkTextEdit& e, int key, const QString& text = QString()) {
    Key(e, key, text);
    e.viewport()->repaint();
}

// A sideways step (back and forth, so the view stays where it was put) and its paint.
void ScrollAndPaint(WorkTextEdit& e, int i) {
    QScrollBar* bar = e.horizontalScrollBar();
    bar->setValue(bar->value() + (i % 2 ? -1 : 1) * bar->singleStep());
    e.viewport()->repaint();
}

// Counts the paints of a viewport, to show the paints timed took place.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void ShowAndWait(WorkTextEdit& e, PaintCounter& counter) {
    e.resize(409, 153);
    e.show();
    e.viewport()->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    while ((!e.windowHandle() || !e.windowHandle()->isExposed()) && clock.elapsed() < 5000)
        QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype size = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 32) << 20;
    const int runs = argc > 2 ? atoi(argv[2]) : 5;

    WorkTextEdit e;
    PaintCounter painted;
    ShowAndWait(e, painted);
    QString hex(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) hex[i] = QLatin1Char("0123456789ABCDEF"[(i * 7) % 16]);
    e.setPlainText(hex);
    hex.clear();
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&e)->textInterface();
    QRandomGenerator rng(7);

    // Words of three scripts on one line wider than the view.
    QString words;
    while (words.size() < 2000)
        words += QString::fromUtf8("نص عربي متصل ") + QString::fromUtf8("中文字符 ") + QStringLiteral("plain words ");
    WorkTextEdit m;
    ShowAndWait(m, painted);
    m.setPlainText(QStringLiteral("first line\n") + words + QStringLiteral("\nlast line"));
    const qsizetype wordsStart = m.lineStartOf(1), wordsEnd = m.lineEndOf(1);

    std::vector<double> copy, atEnd, atStart, backspace, scroll, line, word, character;
    std::vector<double> mixedEnd, mixedStart, mixedScroll, prefixedEnd, prefixedScroll;
    for (int run = 0; run < runs; ++run) {
        copy.push_back(Each(5, [&](int) {
            QString whole = e.toPlainText();
            whole.detach();  // the one whole copy
        }));
        e.setCursorPosition(e.textLength());
        atEnd.push_back(Each(200, [&](int) { Key(e, Qt::Key_A, QStringLiteral("A")); }));
        backspace.push_back(Each(200, [&](int) { Key(e, Qt::Key_Backspace); }));
        e.setCursorPosition(0);
        atStart.push_back(Each(20, [&](int) { Key(e, Qt::Key_A, QStringLiteral("A")); }));
        for (int i = 0; i < 20; ++i) Key(e, Qt::Key_Delete);
        e.setCursorPosition(e.textLength() / 2);
        scroll.push_back(Each(200, [&](int i) { ScrollAndPaint(e, i); }));
        const int count = text->characterCount();
        int start = 0, end = 0;
        line.push_back(Each(2000, [&](int) {
            text->textAtOffset(static_cast<int>(rng.bounded(count)), QAccessible::LineBoundary, &start, &end);
        }));
        word.push_back(Each(2000, [&](int) {
            text->textAtOffset(static_cast<int>(rng.bounded(count)), QAccessible::WordBoundary, &start, &end);
        }));
        character.push_back(Each(2000, [&](int) {
            text->textAtOffset(static_cast<int>(rng.bounded(count)), QAccessible::CharBoundary, &start, &end);
        }));

        m.setCursorPosition(wordsEnd);
        mixedEnd.push_back(Each(50, [&](int i) {
            KeyAndPaint(m, i % 2 ? Qt::Key_Backspace : Qt::Key_A, i % 2 ? QString() : QString::fromUtf8("ب"));
        }));
        m.setCursorPosition(wordsStart);
        mixedStart.push_back(Each(50, [&](int i) {
            KeyAndPaint(m, i % 2 ? Qt::Key_Backspace : Qt::Key_A, i % 2 ? QString() : QString::fromUtf8("中"));
        }));
        m.setCursorPosition((wordsStart + wordsEnd) / 2);
        mixedScroll.push_back(Each(200, [&](int i) { ScrollAndPaint(m, i); }));
    }
    // The hex line once words of other scripts stand at its start.
    e.setCursorPosition(0);
    e.insertPlainText(words.left(100));
    for (int run = 0; run < runs; ++run) {
        e.setCursorPosition(e.textLength());
        prefixedEnd.push_back(Each(50, [&](int i) {
            KeyAndPaint(e, i % 2 ? Qt::Key_Backspace : Qt::Key_A, i % 2 ? QString() : QStringLiteral("A"));
        }));
        e.setCursorPosition(e.textLength() / 2);
        prefixedScroll.push_back(Each(200, [&](int i) { ScrollAndPaint(e, i); }));
    }

    const double whole = Median(copy);
    std::printf("work text box, one line of %lld Mi hex characters, median of %d runs\n",
                static_cast<long long>(size >> 20), runs);
    std::printf("%-46s %12.1f us\n", "one copy of the whole text (peer)", whole);
    auto row = [&](const char* what, const std::vector<double>& v) {
        std::printf("%-46s %12.1f us   %8.4f x the copy\n", what, Median(v), Median(v) / whole);
    };
    row("key typed at the end", atEnd);
    row("Backspace at the end", backspace);
    row("key typed at the start", atStart);
    row("scroll step sideways and paint", scroll);
    row("screen reader: line at an offset", line);
    row("screen reader: word at an offset", word);
    row("screen reader: character at an offset", character);
    std::printf("a line of %lld characters of Arabic, Chinese and Latin words:\n",
                static_cast<long long>(wordsEnd - wordsStart));
    row("key (or Backspace) at its end, and paint", mixedEnd);
    row("key (or Backspace) at its start, and paint", mixedStart);
    row("scroll step sideways and paint", mixedScroll);
    std::printf("the hex line with such words at its start:\n");
    row("key (or Backspace) at the end, and paint", prefixedEnd);
    row("scroll step sideways and paint", prefixedScroll);
    std::printf("(%d paints)\n", painted.paints);
    return 0;
}
