// SPDX-License-Identifier: MIT
#pragma once
// The STREAM payload: a 16-byte nonce, then chunks of 64 KiB of plaintext,
// each sealed with ChaCha20-Poly1305 under HKDF-SHA-256(file key, nonce,
// "payload"). A chunk's AEAD nonce is its 11-byte big-endian counter and a
// last byte of 1 for the final chunk, 0 before it. Only an empty payload has
// an empty final chunk.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "age/Crypto.h"
#include "age/Keys.h"

namespace quelvane::age {

inline constexpr std::size_t kPayloadNonceSize = 16;
inline constexpr std::size_t kChunkSize = 64 * 1024;
inline constexpr std::size_t kTagSize = 16;
inline constexpr std::size_t kSealedChunkSize = kChunkSize + kTagSize;

bool DerivePayloadKey(const FileKey& fileKey, const std::uint8_t nonce[kPayloadNonceSize], Key256* key);

// Chunks in order, counted from 0.
class ChunkCipher {
public:
    explicit ChunkCipher(const Key256& payloadKey) : aead_(payloadKey) {}
    bool ok() const noexcept { return aead_.ok(); }
    std::uint64_t index() const noexcept { return index_; }

    // n bytes (at most kChunkSize) to n + kTagSize at out; out may be in.
    bool Seal(const std::uint8_t* in, std::size_t n, bool last, std::uint8_t* out);
    // n bytes of sealed chunk (kTagSize to kSealedChunkSize) to n - kTagSize
    // at out, valid only when this returns true. Moves on only then.
    bool Open(const std::uint8_t* in, std::size_t n, bool last, std::uint8_t* out);

private:
    void Nonce(bool last, std::uint8_t nonce[12]) const;
    ChaChaPoly aead_;
    std::uint64_t index_ = 0;
};

}  // namespace quelvane::age
