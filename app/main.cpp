// SPDX-License-Identifier: MIT
// Quelvane: encrypts a text with a password into hex text and back.
#include <QApplication>

#include "app/QtWindowSystem.h"
#include "app/frmMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quelvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUELVANE_VERSION));

    quelvane::QtWindowSystem windowSystem;
    quelvane::frmMain window(windowSystem);
    windowSystem.SetMainWindow(&window);
    window.CentreOnScreen();
    window.show();
    return app.exec();
}
