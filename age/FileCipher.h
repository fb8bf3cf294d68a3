// SPDX-License-Identifier: MIT
#pragma once
// Whole files through the age format on three threads: one reads ahead, one
// encrypts or decrypts, one writes; so reading, the cipher and writing
// overlap, and encrypting to a regular file overlaps scrypt too. A few MiB in
// flight at any size. Plaintext buffers are wiped before reuse.
#include <cstdint>
#include <string_view>

#include "age/Encryptor.h"
#include "age/Error.h"

namespace quelvane::age {

// in is read to its end; out gets the age file. A regular out is written by
// place (from offset 0), anything else in order.
bool EncryptFile(int in, int out, const EncryptOptions& options, std::string_view passphrase, Error* error);

// out gets the plaintext, chunk by verified chunk; out -1 only verifies. On
// failure out may hold the verified chunks before the fault: the caller
// discards it. *size (when given) gets the plaintext's size.
bool DecryptFile(int in, int out, std::string_view passphrase, Error* error, std::uint64_t* size = nullptr);

}  // namespace quelvane::age
