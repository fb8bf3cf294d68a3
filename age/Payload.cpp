// SPDX-License-Identifier: MIT
#include "age/Payload.h"

#include <cstring>

namespace quelvane::age {

bool DerivePayloadKey(const FileKey& fileKey, const std::uint8_t nonce[kPayloadNonceSize], Key256* key) {
    return HkdfSha256(fileKey.data(), fileKey.size(), nonce, kPayloadNonceSize, "payload", key);
}

void ChunkCipher::Nonce(bool last, std::uint8_t nonce[12]) const {
    // 11 bytes of counter, of which the low 8 are ever used.
    std::memset(nonce, 0, 12);
    for (int i = 0; i < 8; ++i) nonce[10 - i] = std::uint8_t(index_ >> (8 * i));
    nonce[11] = last ? 1 : 0;
}

bool ChunkCipher::Seal(const std::uint8_t* in, std::size_t n, bool last, std::uint8_t* out) {
    std::uint8_t nonce[12];
    Nonce(last, nonce);
    if (n > kChunkSize || !aead_.Seal(nonce, in, n, out)) return false;
    ++index_;
    return true;
}

bool ChunkCipher::Open(const std::uint8_t* in, std::size_t n, bool last, std::uint8_t* out) {
    std::uint8_t nonce[12];
    Nonce(last, nonce);
    if (n < kTagSize || n > kSealedChunkSize || !aead_.Open(nonce, in, n - kTagSize, out)) return false;
    ++index_;
    return true;
}

}  // namespace quelvane::age
