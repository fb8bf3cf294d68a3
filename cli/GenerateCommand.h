// SPDX-License-Identifier: MIT
#pragma once
// quelvane-cli generate: a random password as the window's generator draws
// it, into a password file or onto standard output.
#include "cli/Context.h"

namespace quelvane::cli {

// Returns the exit status.
int Generate(Context& run);

}  // namespace quelvane::cli
