// SPDX-License-Identifier: MIT
// Quelvane: encrypts a text with a password into hex text and back.
#include <QApplication>

#include "app/QtWindowSystem.h"
#include "app/Signals.h"
#include "app/frmMain.h"
#include "core/Platform.h"
#include "core/TemporaryFolder.h"

int main(int argc, char** argv) {
    // Before anything holds a secret: no core file, no attaching.
    QString error;
    if (!quelvane::ProtectProcessMemory(&error)) qWarning("%s", qPrintable(error));
    // Runs killed in the middle of a command may have left their text behind.
    quelvane::TemporaryFolder::RemoveAbandoned();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUELVANE_VERSION));

    int status = 0;
    {
        quelvane::QtWindowSystem windowSystem;
        quelvane::frmMain window(windowSystem);
        windowSystem.SetMainWindow(&window);
        quelvane::CloseOnSignals([&window] { window.Exit1_Click(); });
        window.CentreOnScreen();
        window.show();
        status = app.exec();
    }  // the window and its temporary folder are gone here
    if (const int signal = quelvane::SignalThatClosed()) quelvane::EndWithSignal(signal);
    return status;
}
