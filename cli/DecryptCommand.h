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

// Whether the input can be ciphertext at all, judged on its start as the
// hex-file load reads it: a byte-order mark, blanks, line breaks, commas
// and quotes between the digits. Ciphertext with a stray character is
// damaged ciphertext; an input mostly of other characters (a text, an
// image) is none, and says nothing about the password.
bool CanBeCiphertext(const ByteSource& in, bool& can, QString* error);

}  // namespace quelvane::cli
