// SPDX-License-Identifier: MIT
#pragma once
// A window system for tests: answers come from queues, and every modal box,
// clipboard change and move is logged, so a command can be checked for its
// exact messages without a screen.
#include <QList>
#include <QString>
#include <deque>
#include <optional>

#include "core/WindowSystem.h"

namespace quelvane {

class ScriptedWindowSystem : public WindowSystem {
public:
    struct Message {
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        MessageAnswer answer = MessageAnswer::Ok;
    };
    struct Input {
        QString prompt, title, defaultAnswer, answer;
    };

    // Answers, used first to last. A message box with no queued answer gets
    // Ok (for a question its default button: Yes, or No where Yes would lose
    // something); an input box gets its default answer; a file
    // dialog is cancelled.
    std::deque<MessageAnswer> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;  // nothing: take the default
    std::deque<std::optional<QString>> fileAnswers;  // nothing: Cancel

    // What happened.
    QList<Message> messages;
    QList<Input> inputs;
    QList<FileDialogRequest> fileRequests;
    QList<WindowGeometry> moves;
    int busyDepth = 0;  // busy now (1) or not (0)
    int busyChanges = 0;  // how often the pointer changed
    bool clipboardWorks = true;
    std::optional<QString> clipboard;
    bool clipboardSecret = false;  // the last text was marked secret
    bool ended = false;

    // Geometry the closing slide sees; refuseMoves makes every move fail.
    std::optional<WindowGeometry> geometry;
    double screenWidth = 0;
    bool refuseMoves = false;

    MessageAnswer MessageBox(const QString& text, const QString& title, MessageIcon icon,
                             MessageButtons buttons = MessageButtons::Ok) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
    void SetBusyPointer(bool busy) override;
    bool SetClipboardText(const QString& text) override;
    bool SetSecretClipboardText(const QString& text) override;
    void ClearSecretClipboard() override {
        if (clipboardSecret) clipboard.reset();
        clipboardSecret = false;
    }
    std::optional<QString> ChooseFile(const FileDialogRequest& request) override;
    std::optional<WindowGeometry> MainWindowGeometry() override { return geometry; }
    bool SetMainWindowGeometry(const WindowGeometry& g) override;
    double ScreenWidth() override { return screenWidth; }
    void EndProgram() override { ended = true; }
};

}  // namespace quelvane
