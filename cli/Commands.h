// SPDX-License-Identifier: MIT
#pragma once
// The commands of quelvane-cli over core/: what the window's encryption,
// decryption and password generator make, for files, pipes and batches of
// files. Each command has its own file; this one runs the one named.
#include "cli/Arguments.h"
#include "cli/Context.h"

namespace quelvane::cli {

// Runs the parsed command; messages go to standard error. Returns the exit status.
int Run(const Arguments& args);

// Where --output-dir writes an INPUT: its file name, with the command's own
// suffix (.QvH for encrypt, .TxT for decrypt) in place of the other's.
QString OutputName(const Arguments& args, const QString& input);

}  // namespace quelvane::cli
