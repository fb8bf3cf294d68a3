// SPDX-License-Identifier: MIT
#pragma once
// The files and folders this program must not leave behind when a signal
// ends it: a fixed list that a signal handler may walk.
#include <string>

namespace quelvane::safefile {

// Paths removed when a signal ends the process (INT, TERM, HUP, QUIT). Add
// and Drop may be called from any thread; RemoveAll is async-signal-safe.
namespace cleanup {

// Files are removed first, then folders (which must be empty by then).
int Add(const std::string& path, bool folder) noexcept;  // the slot, or -1 when the list is full
void Drop(int slot) noexcept;
void RemoveAll() noexcept;

// Handlers for the signals that end a process: RemoveAll, then the signal's
// own default action, so the process ends with the usual status.
void RemoveOnSignals() noexcept;

}  // namespace cleanup

}  // namespace quelvane::safefile
