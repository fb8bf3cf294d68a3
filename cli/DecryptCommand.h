// SPDX-License-Identifier: MIT
#pragma once
// quelvane-cli decrypt: hex ciphertext back into the text, or with --binary
// the bytes, that was encrypted.
#include <QString>

#include "cli/Context.h"
#include "cli/Streams.h"

namespace quelvane::cli {

// Decrypts one input into target, or standard output when target is empty.
// A file is put in place only once the frame and the end marker checked out;
// standard output is given the text only after a first reading proved it
// whole. Returns the exit status.
int DecryptInput(Context& run, const Input& in, const QString& name, const QString& target);

}  // namespace quelvane::cli
