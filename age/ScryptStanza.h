// SPDX-License-Identifier: MIT
#pragma once
// The scrypt stanza: the file key wrapped under a passphrase.
//   -> scrypt <16-byte salt, base64> <log2 N>
//   <ChaCha20-Poly1305 of the file key, 32 bytes>
// wrap key = scrypt(N, r = 8, p = 1, salt "age-encryption.org/v1/scrypt" || salt).
#include <string_view>
#include <vector>

#include "age/Error.h"
#include "age/Header.h"
#include "age/Keys.h"

namespace quelvane::age {

inline constexpr int kDefaultWorkFactor = 18;  // 256 MiB and about a second
// 2^22 is 4 GiB of scrypt memory; a header asking more is refused unread.
inline constexpr int kMaxWorkFactor = 22;

bool MakeScryptStanza(std::string_view passphrase, int workFactor, const FileKey& fileKey, Stanza* stanza,
                      Error* error);

// The file key from the header's stanzas: exactly one, and scrypt. The work
// factor is checked against kMaxWorkFactor before anything is derived.
bool OpenScryptStanza(const std::vector<Stanza>& stanzas, std::string_view passphrase, FileKey* fileKey, Error* error);

}  // namespace quelvane::age
