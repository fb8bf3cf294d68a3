// SPDX-License-Identifier: MIT
// Speed of the work text box on a hex text of tens of millions of characters
// on one line: keys typed and deleted, and a screen reader's questions (the
// line, word and character at an offset), each beside one copy of the whole
// text in the same run, the cost the box must not pay per key or question.
//   worktext_bench [MiChars] [runs]     (offscreen; defaults 32 Mi, 5 runs)
// A ratio well below 1 means no whole copy and no pass over the text.
#include <QAccessible>
#include <QAccessibleTextInterface>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QRandomGenerator>
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype size = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 32) << 20;
    const int runs = argc > 2 ? atoi(argv[2]) : 5;

    WorkTextEdit e;
    e.resize(409, 153);
    e.show();
    QString hex(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) hex[i] = QLatin1Char("0123456789ABCDEF"[(i * 7) % 16]);
    e.setPlainText(hex);
    hex.clear();
    QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&e)->textInterface();
    QRandomGenerator rng(7);

    std::vector<double> copy, atEnd, atStart, backspace, line, word, character;
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
    }
    const double whole = Median(copy);
    std::printf("work text box, one line of %lld Mi hex characters, median of %d runs\n",
                static_cast<long long>(size >> 20), runs);
    std::printf("%-36s %12.1f us\n", "one copy of the whole text (peer)", whole);
    auto row = [&](const char* what, const std::vector<double>& v) {
        std::printf("%-36s %12.1f us   %8.4f x the copy\n", what, Median(v), Median(v) / whole);
    };
    row("key typed at the end", atEnd);
    row("Backspace at the end", backspace);
    row("key typed at the start", atStart);
    row("screen reader: line at an offset", line);
    row("screen reader: word at an offset", word);
    row("screen reader: character at an offset", character);
    return 0;
}
