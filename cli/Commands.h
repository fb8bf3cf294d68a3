// SPDX-License-Identifier: MIT
#pragma once
// The three commands of quelvane-cli over core/: what the window's
// "&Quelvane", "&DeQuelvane" and "&Generate Random PassWord" make, for files,
// pipes and batches of files.
#include "cli/Arguments.h"

namespace quelvane::cli {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// Runs the parsed command; messages go to standard error. Returns the exit status.
int Run(const Arguments& args);

// Where --output-dir writes an INPUT: its file name, with the command's own
// suffix (.QvH for encrypt, .TxT for decrypt) in place of the other's.
QString OutputName(Command command, const QString& input);

}  // namespace quelvane::cli
