// SPDX-License-Identifier: MIT
// Speed and memory of the window's encrypt and decrypt commands on a large
// text, beside `openssl enc -bf-cbc -a` on the same file in the same run.
//   window_bench [MiB] [runs]          (offscreen; defaults 16 MiB, 7 runs)
// The text is loaded with "&Load Tex File"; each command is timed from the
// menu item to its completion message, and the runs alternate with openssl's,
// so both see the same machine. The encryption's memory is its peak resident
// size beyond what the window held just before it, against the text's size.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/WorkTextEdit.h"
#include "app/frmMain.h"
#include "tests/support/ScriptedWindowSystem.h"

using namespace quelvane;

namespace {

// Notes the moment a command shows its message.
class TimedWindowSystem : public ScriptedWindowSystem {
public:
    QElapsedTimer clock;
    double shownMs = -1;
    MessageAnswer MessageBox(const QString& text, const QString& title, MessageIcon icon,
                             MessageButtons buttons) override {
        if (shownMs < 0) shownMs = clock.nsecsElapsed() / 1e6;
        return ScriptedWindowSystem::MessageBox(text, title, icon, buttons);
    }
};

// Lines of 79 letters and digits, as a long letter would have.
QByteArray MakeText(qint64 size) {
    QByteArray text(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        text[i] = static_cast<char>("abcdefghijklmnopqrstuvwxyz 0123456789"[(i * 7) % 37]);
    for (qint64 i = 79; i + 1 < size; i += 81) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    return text;
}

qint64 StatusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(static_cast<qsizetype>(qstrlen(field))).trimmed().split(' ')[0].toLongLong();
    return -1;
}

// Starts a new peak: the kernel's high-water mark falls back to the present size.
void ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly)) refs.write("5");
}

double RunCommand(frmMain& w, TimedWindowSystem& ws, const char* action) {
    ws.shownMs = -1;
    ws.clock.start();
    w.findChild<QAction*>(QLatin1String(action))->trigger();
    return ws.shownMs;
}

double RunOpenSsl(const QStringList& arguments) {
    QElapsedTimer clock;
    clock.start();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) return -1;
    return clock.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoi(argv[1]) : 16;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    const qint64 size = mib << 20;

    QTemporaryDir tmp(QStringLiteral("/dev/shm/window_bench-XXXXXX"));
    const QString textPath = tmp.filePath(QStringLiteral("text.TxT"));
    const QString sslOut = tmp.filePath(QStringLiteral("text.b64"));
    const QString sslBack = tmp.filePath(QStringLiteral("text.back"));
    {
        QFile file(textPath);
        file.open(QIODevice::WriteOnly);
        file.write(MakeText(size));
    }
    const QString password = QStringLiteral("benchmark password");
    const QStringList ssl{QStringLiteral("enc"),       QStringLiteral("-provider"), QStringLiteral("legacy"),
                          QStringLiteral("-provider"), QStringLiteral("default"),   QStringLiteral("-bf-cbc"),
                          QStringLiteral("-a"),        QStringLiteral("-pass"),     QStringLiteral("pass:") + password};
    const QStringList sslEncrypt = ssl + QStringList{QStringLiteral("-in"), textPath, QStringLiteral("-out"), sslOut};
    const QStringList sslDecrypt =
        ssl + QStringList{QStringLiteral("-d"), QStringLiteral("-in"), sslOut, QStringLiteral("-out"), sslBack};
    const bool haveOpenSsl = RunOpenSsl(sslEncrypt) >= 0;
    if (!haveOpenSsl) std::printf("openssl enc -bf-cbc did not run: no peer figures\n");

    TimedWindowSystem ws;
    frmMain w(ws);
    w.show();
    QApplication::processEvents();
    w.findChild<QLineEdit*>(QStringLiteral("txtKey"))->setText(password);

    std::vector<double> encrypt, decrypt, sslEnc, sslDec, memory;
    for (int r = 0; r < runs; ++r) {
        ws.fileAnswers.push_back(textPath);
        w.findChild<QAction*>(QStringLiteral("LoadTexFile"))->trigger();
        const QString loaded = w.WorkText();
        QApplication::processEvents();

        const qint64 before = StatusKiB("VmRSS:");
        ResetPeak();
        encrypt.push_back(RunCommand(w, ws, "Quelvane"));
        memory.push_back(double(StatusKiB("VmHWM:") - before) * 1024.0 / double(size));
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::printf("run %d: before %lld KiB, peak x %.2f\n", r, before, memory.back());
        QApplication::processEvents();
        decrypt.push_back(RunCommand(w, ws, "DeQuelvane"));
        if (w.WorkText() != loaded) {
            std::printf("round trip failed\n");
            return 1;
        }
        if (haveOpenSsl) {
            sslEnc.push_back(RunOpenSsl(sslEncrypt));
            sslDec.push_back(RunOpenSsl(sslDecrypt));
        }
    }

    std::printf("%lld MiB text, %d runs, medians\n", static_cast<long long>(mib), runs);
    std::printf("  encrypt and show   %8.1f ms", Median(encrypt));
    if (haveOpenSsl)
        std::printf("   openssl enc -bf-cbc -a    %8.1f ms   ratio %.2f", Median(sslEnc),
                    Median(encrypt) / Median(sslEnc));
    std::printf("\n  decrypt and show   %8.1f ms", Median(decrypt));
    if (haveOpenSsl)
        std::printf("   openssl enc -d -bf-cbc -a %8.1f ms   ratio %.2f", Median(sslDec),
                    Median(decrypt) / Median(sslDec));
    std::printf("\n  encryption's peak memory beyond the window before it: %.2f x the text's size\n", Median(memory));
    return 0;
}
