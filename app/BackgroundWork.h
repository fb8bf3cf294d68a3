// SPDX-License-Identifier: MIT
#pragma once
// Long work off the window's thread: a command hands its middle part (the
// cipher, a file read or written) to a worker and waits in an event loop of
// its own, as a modal box does, so the window keeps painting, Escape reaches
// it and the command still reads as one piece. Work that takes longer than
// about half a second shows a progress bar in the grey strip; Escape cancels.
// A cancelled piece of work stops at its next check; the command then
// changes nothing.
#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <functional>

namespace quelvane {

class BackgroundWork : public QObject {
    Q_OBJECT
public:
    // The strip the progress bar is shown in; parent of the bar and its label.
    explicit BackgroundWork(QWidget* strip);

    // Runs work on a worker thread and returns when it has ended: true when
    // it ran to its end uncancelled. Not re-entered: while it runs, the
    // window starts no other command.
    bool Run(const std::function<void()>& work);
    bool Running() const { return running; }

    // Asks the running work to stop; the bar says so until it has.
    void Cancel();
    // Checked by the work between its pieces, on any thread.
    bool Cancelled() const { return cancelled.load(std::memory_order_relaxed); }
    // For work that can tell how far it is: bytes done of total, from any
    // thread; false once cancelled, so the work stops there.
    bool Report(qint64 done, qint64 total);

    // How long work runs before the bar shows (tests make it 0).
    void SetShowAfter(int milliseconds) { showAfter.setInterval(milliseconds); }
    // Run first on the worker, before the work: tests hold it there to
    // cancel at a known point.
    void SetWorkerHold(std::function<void()> hold) { workerHold = std::move(hold); }
    QWidget* Strip() const { return strip; }

signals:
    void runningChanged(bool running);

private:
    void ShowProgress();

    QWidget* strip;
    QProgressBar* bar;
    QLabel* hint;
    QTimer showAfter, refresh;
    std::function<void()> workerHold;
    bool running = false;
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0}, total{0};
};

}  // namespace quelvane
