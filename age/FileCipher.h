// SPDX-License-Identifier: MIT
#pragma once
// Whole files through the age format on three threads: one reads ahead, one
// encrypts or decrypts, one writes; so reading, the cipher and writing
// overlap, and encrypting to a regular file overlaps scrypt too. A few MiB in
// flight at any size. Plaintext buffers are wiped before reuse.
#include <cstdint>
#include <functional>
#include <string_view>

#include "age/Encryptor.h"
#include "age/Error.h"

namespace quelvane::age {

// Called about every MiB with the input's bytes done and its size (0 when
// unknown, as for a pipe); false cancels the run (ErrorKind::Cancelled).
using Progress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// in is read to its end; out gets the age file. An empty regular out is
// written by place, anything else in order.
bool EncryptFile(int in, int out, const EncryptOptions& options, std::string_view passphrase, Error* error,
                 const Progress& progress = {});

struct DecryptRun {
    Progress progress;
    // Verify the whole input first, then read it again from its start for
    // out, with the file key the first pass opened (one scrypt): out sees
    // nothing of a file that fails. in must be seekable.
    bool verifyFirst = false;
    std::uint64_t* plaintextSize = nullptr;  // set on success
};

// out gets the plaintext, chunk by verified chunk; out -1 only verifies. On
// failure out may hold the verified chunks before the fault (none with
// verifyFirst, unless the file changed in between): the caller discards it.
bool DecryptFile(int in, int out, std::string_view passphrase, Error* error, const DecryptRun& run = {});

}  // namespace quelvane::age
