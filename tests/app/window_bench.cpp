// SPDX-License-Identifier: MIT
// Speed of the window's encrypt and decrypt commands, from the menu item to
// the text shown (laid out and painted), on large work texts. Run offscreen:
//   QT_QPA_PLATFORM=offscreen window_bench [MiB ...]
// For comparison each line also gives the cipher alone on the same bytes, and
// then the hex text saved to a file and loaded back (Save/Load Quelvane).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ScriptedWindowSystem.h"
#include "WorkTextEdit.h"
#include "clsBlowfish.h"
#include "frmMain.h"

using namespace quelvane;

namespace {

QString MakeText(qsizetype size, bool lines) {
    QString text(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) text[i] = QChar(char16_t(u'a' + (i * 7) % 26));
    if (lines)
        for (qsizetype i = 79; i < size; i += 80) text[i] = u'\n';
    return text;
}

double Shown(frmMain& w, QWidget* view, const char* action) {
    QElapsedTimer clock;
    clock.start();
    w.findChild<QAction*>(QLatin1String(action))->trigger();
    QApplication::processEvents();
    view->repaint();
    return clock.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1, 16};

    QTemporaryDir tmp;
    ScriptedWindowSystem ws;
    frmMain w(ws);
    w.SetTemporaryParent(tmp.path());
    w.show();
    QApplication::processEvents();
    auto* text = w.findChild<WorkTextEdit*>(QStringLiteral("frmText1"));
    w.findChild<QLineEdit*>(QStringLiteral("txtKey"))->setText(QStringLiteral("benchmark password"));

    std::printf("%-6s %-8s %12s %12s %12s %12s %12s %12s %12s\n", "MiB", "shape", "encrypt ms", "decrypt ms",
                "cipher ms", "key+paint ms", "scroll ms", "save hex ms", "load hex ms");
    for (const int mib : sizes) {
        for (const bool lines : {true, false}) {
            const QString plain = MakeText(qsizetype(mib) << 20, lines);
            const int runs = mib <= 2 ? 5 : 1;
            std::vector<double> enc, dec;
            for (int r = 0; r < runs; ++r) {
                w.SetWorkText(plain);
                QApplication::processEvents();
                enc.push_back(Shown(w, text->viewport(), "Quelvane"));
                dec.push_back(Shown(w, text->viewport(), "DeQuelvane"));
                if (w.WorkText() != plain) {
                    std::printf("round trip failed\n");
                    return 1;
                }
            }
            // The peer: the cipher alone, encrypting the same bytes in memory.
            std::vector<std::uint8_t> bytes(static_cast<std::size_t>(plain.size()) + 3, 'a');
            clsBlowfish cipher;
            QElapsedTimer clock;
            clock.start();
            cipher.EncryptByte(bytes, "benchmark password");
            const double cipherMs = clock.nsecsElapsed() / 1e6;

            // Is the window still usable with the hex text in it? One key and one scroll.
            w.findChild<QAction*>(QStringLiteral("Quelvane"))->trigger();
            QApplication::processEvents();
            text->setFocus();
            clock.restart();
            text->setCursorPosition(text->toPlainText().size());
            text->insertPlainText(QStringLiteral("0"));
            QApplication::processEvents();
            text->viewport()->repaint();
            const double keyMs = clock.nsecsElapsed() / 1e6;
            clock.restart();
            text->horizontalScrollBar()->setValue(text->horizontalScrollBar()->maximum() / 2);
            text->viewport()->repaint();
            const double scrollMs = clock.nsecsElapsed() / 1e6;
            // The hex text through a file and back.
            const QString hexPath = tmp.filePath(QStringLiteral("bench"));
            QFile::remove(hexPath + QStringLiteral(".QvH"));
            ws.fileAnswers.push_back(hexPath);
            clock.restart();
            w.findChild<QAction*>(QStringLiteral("SaveQuelvane"))->trigger();
            const double saveMs = clock.nsecsElapsed() / 1e6;
            ws.fileAnswers.push_back(hexPath + QStringLiteral(".QvH"));
            clock.restart();
            w.findChild<QAction*>(QStringLiteral("LoadQuelvane"))->trigger();
            QApplication::processEvents();
            text->viewport()->repaint();
            const double loadMs = clock.nsecsElapsed() / 1e6;
            std::printf("%-6d %-8s %12.1f %12.1f %12.1f %12.1f %12.1f %12.1f %12.1f\n", mib,
                        lines ? "lines" : "one-line", Median(enc), Median(dec), cipherMs, keyMs, scrollMs, saveMs,
                        loadMs);
            std::fflush(stdout);
        }
    }
    return 0;
}
