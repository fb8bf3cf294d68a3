// SPDX-License-Identifier: MIT
#pragma once
// Everything the window's commands need from the window system that a test
// must be able to script: modal boxes, the busy pointer, the clipboard, the
// file dialogs, the main window's geometry and the end of the program.
// QtWindowSystem is the real one; tests use ScriptedWindowSystem.
#include <QString>
#include <QStringList>
#include <optional>

namespace quelvane {

enum class MessageIcon { None, Information, Exclamation };
// YesNo: Yes is the default button; YesNoDefaultNo, for a question whose Yes
// loses something, has No.
enum class MessageButtons { Ok, YesNo, YesNoDefaultNo };
enum class MessageAnswer { Ok, Yes, No };

// What a file dialog is asked to show.
struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filterName;  // "TxT"
    QString filterPattern;  // "*.TxT"
    QString initialFolder;
};

struct WindowGeometry {
    double left = 0, top = 0, width = 0, height = 0;  // twips
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    virtual MessageAnswer MessageBox(const QString& text, const QString& title, MessageIcon icon,
                                     MessageButtons buttons = MessageButtons::Ok) = 0;
    // The typed text; empty on Cancel.
    virtual QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) = 0;
    virtual void SetBusyPointer(bool busy) = 0;
    // False when the clipboard did not take the text.
    virtual bool SetClipboardText(const QString& text) = 0;
    // The same for a text that may be secret, marked so that clipboard-history
    // tools keep no copy of it (x-kde-passwordManagerHint: secret). A window
    // system that cannot mark it does not take it.
    virtual bool SetSecretClipboardText(const QString& /*text*/) { return false; }
    // Empties the clipboard when it still holds the last secret text put
    // there; a copy another program made since, or a later text, stays.
    virtual void ClearSecretClipboard() {}
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFile(const FileDialogRequest& request) = 0;

    // The main window's outer geometry in twips (15 twips to a device-independent
    // pixel); nothing when there is no window to ask.
    virtual std::optional<WindowGeometry> MainWindowGeometry() { return std::nullopt; }
    // False when the window system refused the new geometry.
    virtual bool SetMainWindowGeometry(const WindowGeometry& /*geometry*/) { return false; }
    virtual double ScreenWidth() { return 0; }
    // Ends the program: every window closes, no handler runs afterwards.
    virtual void EndProgram() {}
};

}  // namespace quelvane
