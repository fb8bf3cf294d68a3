// SPDX-License-Identifier: MIT
#include "tests/support/ScriptedWindowSystem.h"

namespace quelvane {

MessageAnswer ScriptedWindowSystem::MessageBox(const QString& text, const QString& title, MessageIcon icon,
                                               MessageButtons buttons) {
    MessageAnswer answer = buttons == MessageButtons::YesNo            ? MessageAnswer::Yes
                           : buttons == MessageButtons::YesNoDefaultNo ? MessageAnswer::No
                                                                       : MessageAnswer::Ok;
    if (!messageAnswers.empty()) {
        answer = messageAnswers.front();
        messageAnswers.pop_front();
    }
    messages.append({text, title, icon, buttons, answer});
    return answer;
}

QString ScriptedWindowSystem::InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    QString answer = defaultAnswer;
    if (!inputAnswers.empty()) {
        if (inputAnswers.front()) answer = *inputAnswers.front();
        inputAnswers.pop_front();
    }
    inputs.append({prompt, title, defaultAnswer, answer});
    return answer;
}

void ScriptedWindowSystem::SetBusyPointer(bool busy) {
    busyDepth = busy ? 1 : 0;
    ++busyChanges;
}

bool ScriptedWindowSystem::SetClipboardText(const QString& text) {
    if (!clipboardWorks) return false;
    clipboard = text;
    clipboardSecret = false;
    return true;
}

bool ScriptedWindowSystem::SetSecretClipboardText(const QString& text) {
    if (!SetClipboardText(text)) return false;
    clipboardSecret = true;
    return true;
}

std::optional<QString> ScriptedWindowSystem::ChooseFile(const FileDialogRequest& request) {
    fileRequests.append(request);
    if (fileAnswers.empty()) return std::nullopt;
    const bool chosen = fileAnswers.front().has_value();
    const QString path = chosen ? *fileAnswers.front() : QString();
    fileAnswers.pop_front();
    if (!chosen) return std::nullopt;
    return path;
}

bool ScriptedWindowSystem::SetMainWindowGeometry(const WindowGeometry& g) {
    if (refuseMoves || !geometry) return false;
    geometry = g;
    moves.append(g);
    return true;
}

}  // namespace quelvane
