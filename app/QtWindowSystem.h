#pragma once
// The window system of the running program: Qt's message box, input dialog,
// override cursor, clipboard and file dialog, and the main window's geometry.
#include <QPointer>
#include <QWidget>

#include "WindowSystem.h"

namespace quelvane {

class QtWindowSystem : public WindowSystem {
public:
    // The window that owns the modal boxes and whose geometry is read and set.
    void SetMainWindow(QWidget* window) { mainWindow = window; }

    MessageAnswer MessageBox(const QString& text, const QString& title, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::Ok) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void SetBusyPointer(bool busy) override;
    bool SetClipboardText(const QString& text) override;
    std::optional<QString> ChooseFile(const FileDialogRequest& request) override;
    std::optional<WindowGeometry> MainWindowGeometry() override;
    bool SetMainWindowGeometry(const WindowGeometry& geometry) override;
    double ScreenWidth() override;
    void EndProgram() override;

private:
    QPointer<QWidget> mainWindow;
    int busyDepth = 0;
};

}  // namespace quelvane
