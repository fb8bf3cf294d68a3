// SPDX-License-Identifier: MIT
#pragma once
// A main window over the scripted window system, with its temporary files
// in a folder of the test's own.
#include <QAction>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>

#include "app/frmMain.h"
#include "tests/support/ScriptedWindowSystem.h"

struct WindowFixture {
    quelvane::ScriptedWindowSystem ws;
    QTemporaryDir tmp;
    std::unique_ptr<quelvane::frmMain> w;

    WindowFixture() : w(std::make_unique<quelvane::frmMain>(ws)) { w->SetTemporaryParent(tmp.path()); }

    QLineEdit* Key() const { return w->findChild<QLineEdit*>(QStringLiteral("txtKey")); }
    QLineEdit* NumBox() const { return w->findChild<QLineEdit*>(QStringLiteral("PNum")); }
    QAction* Action(const char* name) const { return w->findChild<QAction*>(QLatin1String(name)); }
    QString Path(const QString& name) const { return tmp.filePath(name); }
};
