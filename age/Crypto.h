// SPDX-License-Identifier: MIT
#pragma once
// The primitives of the age format, all from OpenSSL's libcrypto: random
// bytes, HKDF-SHA-256, HMAC-SHA-256, scrypt and ChaCha20-Poly1305.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "age/Keys.h"

struct evp_cipher_ctx_st;

namespace quelvane::age {

bool RandomBytes(std::uint8_t* out, std::size_t n);

// HKDF-Extract with salt then HKDF-Expand with info, 32 bytes out.
bool HkdfSha256(const std::uint8_t* ikm, std::size_t ikmSize, const std::uint8_t* salt, std::size_t saltSize,
                std::string_view info, Key256* out);

bool HmacSha256(const Key256& key, std::string_view data, std::uint8_t out[32]);

// scrypt with r = 8, p = 1 and N = 2^logN, 32 bytes out. Its big block comes
// from a mapping with transparent huge pages where the system has them.
bool Scrypt(std::string_view passphrase, const std::uint8_t* salt, std::size_t saltSize, int logN, Key256* out);

// Constant-time comparison.
bool EqualBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t n);

// ChaCha20-Poly1305 under one key, a 12-byte nonce per message, no
// associated data; the tag (16 bytes) follows the ciphertext.
class ChaChaPoly {
public:
    explicit ChaChaPoly(const Key256& key);
    ~ChaChaPoly();
    ChaChaPoly(const ChaChaPoly&) = delete;
    ChaChaPoly& operator=(const ChaChaPoly&) = delete;

    bool ok() const noexcept { return ctx_ != nullptr; }
    // out receives n + 16 bytes; out may be in.
    bool Seal(const std::uint8_t nonce[12], const std::uint8_t* in, std::size_t n, std::uint8_t* out);
    // in holds n bytes of ciphertext and its tag after them; out receives n
    // bytes, to be used only when this returns true.
    bool Open(const std::uint8_t nonce[12], const std::uint8_t* in, std::size_t n, std::uint8_t* out);

private:
    evp_cipher_ctx_st* ctx_ = nullptr;
    Key256 key_;
};

}  // namespace quelvane::age
