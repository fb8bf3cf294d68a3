// SPDX-License-Identifier: MIT
#include "cli/Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace quelvane::cli::progress {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedraw = std::chrono::milliseconds(100);

std::atomic<bool> gAllowed{false};
std::atomic<bool> gActive{false};
std::atomic<qint64> gDone{0};
std::mutex gDraw;  // one drawer at a time; others skip their turn
qint64 gTotal = 0;  // bytes to read: the input's size times the passes
qint64 gPasses = 1;
Clock::time_point gStart, gLast;
bool gOnLine = false;  // a bar stands on the current line

QString Bytes(double bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 4) {
        bytes /= 1024;
        ++unit;
    }
    return QString::number(bytes, 'f', unit == 0 ? 0 : 1) + u' ' + QLatin1String(kUnits[unit]);
}

QString Duration(double seconds) {
    const auto s = static_cast<qint64>(seconds + 0.5);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

int Columns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 40) return size.ws_col;
    return 80;
}

// The line as it stands; under gDraw.
void Draw(bool last) {
    // Shown in the input's bytes: a pass over it is its size.
    const double done = static_cast<double>(qMin(gDone.load(), gTotal)) / static_cast<double>(gPasses);
    const double total = static_cast<double>(gTotal) / static_cast<double>(gPasses);
    const double elapsed = std::chrono::duration<double>(Clock::now() - gStart).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const double share = total > 0 ? done / total : 1;
    QString tail = QStringLiteral(" %1 / %2  %3/s  ").arg(Bytes(done), Bytes(total), Bytes(rate));
    tail += last       ? Duration(elapsed)
            : rate > 0 ? Duration((total - done) / rate) + QStringLiteral(" left")
                       : QStringLiteral("--:-- left");
    const QString percent = QStringLiteral("%1% [").arg(static_cast<int>(share * 100), 3);
    const int columns = Columns();
    const int width = qMax(10, columns - 2 - static_cast<int>(percent.size() + tail.size()));
    const int filled = static_cast<int>(share * width);
    // Padded to the line, so a shorter one covers a longer one before it.
    QString line =
        u'\r' +
        (percent + QString(filled, u'#') + QString(width - filled, u'.') + u']' + tail).leftJustified(columns - 1);
    if (last) line += u'\n';
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    gOnLine = !last;
    gLast = Clock::now();
}

}  // namespace

void Allow(bool allowed) { gAllowed = allowed; }

void Begin(qint64 size, qint64 passes) {
    const std::lock_guard<std::mutex> hold(gDraw);
    gActive = gAllowed && size >= kLargeInput;
    if (!gActive) return;
    gPasses = qMax<qint64>(1, passes);
    gTotal = size * gPasses;
    gDone = 0;
    gStart = Clock::now();
    Draw(false);
}

void Advance(qint64 bytes) {
    if (!gActive.load(std::memory_order_relaxed)) return;
    gDone += bytes;
    std::unique_lock<std::mutex> hold(gDraw, std::try_to_lock);
    if (hold.owns_lock() && gActive && Clock::now() - gLast >= kRedraw) Draw(false);
}

void End() {
    const std::lock_guard<std::mutex> hold(gDraw);
    if (!gActive) return;
    gDone = gTotal;
    Draw(true);
    gActive = false;
}

void Aside() {
    const std::lock_guard<std::mutex> hold(gDraw);
    if (!gOnLine) return;
    std::fputc('\n', stderr);
    gOnLine = false;
}

void Break() {
    const std::lock_guard<std::mutex> hold(gDraw);
    gActive = false;
    if (!gOnLine) return;
    std::fputc('\n', stderr);
    gOnLine = false;
}

bool CountingSource::Read(qint64 offset, char* to, qsizetype size) const {
    const bool read = source.Read(offset, to, size);
    if (read) Advance(size);
    return read;
}

void CountingSource::Consumed(qint64 bytes) const {
    source.Consumed(bytes);
    Advance(bytes);
}

}  // namespace quelvane::cli::progress
