// SPDX-License-Identifier: MIT
#pragma once
// The CBC chain (zero IV) of whole 8-byte blocks, big-endian words, on the
// block cipher's tables: the hot loops of every byte operation.
#include <cstddef>
#include <cstdint>

#include "cipher/BlowfishBlock.h"
#include "secret/SecretBytes.h"

namespace quelvane::blowfish {

// The loops run on a widened copy of the tables. A word w is held in 64
// bits as w | w << 40: the word itself in bits 0-31 and its low three bytes
// again in bits 40-63. Every byte a round looks up then takes one
// instruction to reach (bits 0-7, 8-15, 24-31 and 56-63), where byte 2 of a
// plain word takes two in a row: that shortens each of the 16 serial rounds
// of encryption and takes instructions out of the interleaved decryption.
// Sums and XORs keep the layout: a carry out of the word stops in bits 32-39,
// which nothing reads, and a carry out of the copy leaves the register.
using Wide = std::uint64_t;

struct WideTables {
    Wide P[18];
    Wide S[4][256];
};

// The ciphertext block before the next one to decrypt; zero before a frame.
struct ChainValue {
    Word Left = 0, Right = 0;
};

// Encryption is serial: each block waits for the one before it.
class EncryptChain {
public:
    explicit EncryptChain(const Tables& t);
    // Size bytes (whole blocks) in place, chained to those encrypted before.
    void Encrypt(std::uint8_t* data, std::size_t Size) noexcept;

private:
    SecretBox<WideTables> tables;
    Wide lastL, lastR;
};

// Decryption of a run needs only the block before it, so runs may go to
// several threads at once.
class DecryptChain {
public:
    explicit DecryptChain(const Tables& t);
    // Size bytes (whole blocks) in place; Chain comes back as the last
    // ciphertext block, ready for the next run.
    void Decrypt(std::uint8_t* data, std::size_t Size, ChainValue& Chain) const noexcept;

private:
    SecretBox<WideTables> tables;
};

}  // namespace quelvane::blowfish
