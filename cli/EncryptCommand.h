// SPDX-License-Identifier: MIT
#pragma once
// quelvane-cli encrypt: what the window's encryption makes of a text, or
// with --binary of any bytes, as hex ciphertext.
#include <QString>

#include "cli/Context.h"
#include "cli/Streams.h"

namespace quelvane::cli {

// Encrypts one input into target, or standard output when target is empty.
// The password is asked once the input proved usable. Returns the exit status.
int EncryptInput(Context& run, const Input& in, const QString& name, const QString& target);

}  // namespace quelvane::cli
