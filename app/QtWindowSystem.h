// SPDX-License-Identifier: MIT
#pragma once
// The window system of the running program: Qt's message box, input dialog,
// override cursor, clipboard and file dialog, and the main window's geometry.
#include <QMimeData>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "core/WindowSystem.h"

namespace quelvane {

// Gives the keyboard focus to each window of the program as it shows, and
// back to the one below when it closes. Window managers do this themselves;
// on a bare X server (a kiosk, Xvfb) nobody else would, and keys typed after
// a message box closed would go nowhere.
class FocusKeeper : public QObject {
public:
    explicit FocusKeeper(QWidget* mainWindow);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> mainWindow;
};

class QtWindowSystem : public WindowSystem {
public:
    // The window that owns the modal boxes and whose geometry is read and set.
    void SetMainWindow(QWidget* window);

    MessageAnswer MessageBox(const QString& text, const QString& title, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::Ok) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void SetBusyPointer(bool busy) override;
    bool SetClipboardText(const QString& text) override;
    bool SetSecretClipboardText(const QString& text) override;
    void ClearSecretClipboard() override;
    std::optional<QString> ChooseFile(const FileDialogRequest& request) override;
    std::optional<WindowGeometry> MainWindowGeometry() override;
    bool SetMainWindowGeometry(const WindowGeometry& geometry) override;
    double ScreenWidth() override;
    void EndProgram() override;

private:
    bool PutOnClipboard(const QString& text, bool secret);

    QPointer<QWidget> mainWindow;
    QPointer<FocusKeeper> focusKeeper;
    int busyDepth = 0;
    QPointer<QMimeData> secretData;  // the clipboard's own, while it holds the last secret text
};

}  // namespace quelvane
