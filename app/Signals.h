// SPDX-License-Identifier: MIT
#pragma once
// The signals that end a desktop program (SIGINT, SIGTERM, SIGHUP, and
// SIGQUIT, which would otherwise dump core and leave the temporary files)
// close the window as "&Exit" does, once the event loop is free, so its temporary files
// and folder go the usual way. A second signal before that ends the process
// at once, its temporary files removed first.
#include <functional>

namespace quelvane {

void CloseOnSignals(std::function<void()> close);

// The signal that closed the window, or 0. main() ends with it, so the
// process's status is the usual one for that signal.
int SignalThatClosed();

// Ends the process with the signal's default action.
[[noreturn]] void EndWithSignal(int signal);

}  // namespace quelvane
