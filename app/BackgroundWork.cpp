// SPDX-License-Identifier: MIT
#include "app/BackgroundWork.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QThread>
#include <memory>

namespace quelvane {

BackgroundWork::BackgroundWork(QWidget* s) : QObject(s), strip(s), bar(new QProgressBar(s)), hint(new QLabel(s)) {
    bar->setObjectName(QStringLiteral("WorkProgress"));
    bar->setAccessibleName(tr("Progress"));
    bar->setTextVisible(false);
    hint->setObjectName(QStringLiteral("WorkHint"));
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(bar, 1);
    layout->addWidget(hint);
    bar->hide();
    hint->hide();
    showAfter.setSingleShot(true);
    showAfter.setInterval(500);
    connect(&showAfter, &QTimer::timeout, this, &BackgroundWork::ShowProgress);
    refresh.setInterval(100);
    connect(&refresh, &QTimer::timeout, this, [this] {
        const qint64 all = total.load(), now = done.load();
        if (all <= 0) return bar->setRange(0, 0);  // moving: how far is not known
        bar->setRange(0, 1000);
        bar->setValue(static_cast<int>(1000.0 * static_cast<double>(now) / static_cast<double>(all)));
    });
}

bool BackgroundWork::Run(const std::function<void()>& work) {
    if (running) return false;
    running = true;
    cancelled = false;
    done = 0;
    total = 0;
    emit runningChanged(true);

    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create([this, &work] {
        if (workerHold) workerHold();
        work();
    }));
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    showAfter.start();
    thread->start();
    loop.exec();
    thread->wait();

    showAfter.stop();
    refresh.stop();
    bar->hide();
    hint->hide();
    running = false;
    emit runningChanged(false);
    return !Cancelled();
}

void BackgroundWork::Cancel() {
    if (!running) return;
    cancelled = true;
    hint->setText(tr("Cancelling..."));
}

bool BackgroundWork::Report(qint64 now, qint64 all) {
    done = now;
    total = all;
    return !Cancelled();
}

void BackgroundWork::ShowProgress() {
    bar->setRange(0, 0);
    hint->setText(Cancelled() ? tr("Cancelling...") : tr("Escape cancels"));
    bar->show();
    hint->show();
    refresh.start();
}

}  // namespace quelvane
