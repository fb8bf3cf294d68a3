// SPDX-License-Identifier: MIT
#include "cipher/BlowfishBlock.h"

#include <cstddef>

#include "cipher/PiWords.h"

namespace quelvane::blowfish {

namespace {

using SBoxes = std::array<std::array<Word, 256>, 4>;

// Unsigned 32-bit sums wrap modulo 2^32: the same as adding byte by byte
// with a carry.
inline Word F(const SBoxes& S, Word x) noexcept {
    return ((S[0][x >> 24] + S[1][(x >> 16) & 0xFF]) ^ S[2][(x >> 8) & 0xFF]) + S[3][x & 0xFF];
}

inline void Encrypt(const std::array<Word, 18>& P, const SBoxes& S, Word& left, Word& right) noexcept {
    Word L = left, R = right;
    for (int k = 0; k < 16; k += 2) {
        L ^= P[k];
        R ^= F(S, L) ^ P[k + 1];
        L ^= F(S, R);
    }
    left = R ^ P[17];
    right = L ^ P[16];
}

}  // namespace

void LoadInitialTables(Tables& t) noexcept {
    const auto& w = kPiWords;
    for (std::size_t i = 0; i < 18; ++i) t.PBox[i] = w[i];
    // Entry-major: word 18 + 4 * entry + box.
    for (std::size_t n = 0; n < 1024; ++n) t.SBox[n % 4][n / 4] = w[18 + n];
}

void ScheduleKey(Tables& t, std::string_view Key) noexcept {
    LoadInitialTables(t);
    const std::size_t KeyLen = Key.size();
    std::size_t j = 0;
    for (std::size_t i = 0; i < 18; ++i) {
        Word D = 0;
        for (int b = 0; b < 4; ++b) {
            // Each byte keeps the bits of the earlier bytes of the same word.
            D = (D << 8) | (D & 0xFF);
            D |= static_cast<std::uint8_t>(Key[j]);
            if (++j == KeyLen) j = 0;
        }
        t.PBox[i] ^= D;
    }

    Word L = 0, R = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        Encrypt(t.PBox, t.SBox, L, R);
        t.PBox[i] = L;
        t.PBox[i + 1] = R;
    }
    for (auto& box : t.SBox) {
        for (std::size_t e = 0; e < 256; e += 2) {
            Encrypt(t.PBox, t.SBox, L, R);
            box[e] = L;
            box[e + 1] = R;
        }
    }
}

Word RoundFunction(const Tables& t, Word Value) noexcept { return F(t.SBox, Value); }

void EncryptBlock(const Tables& t, Word& Left, Word& Right) noexcept { Encrypt(t.PBox, t.SBox, Left, Right); }

void DecryptBlock(const Tables& t, Word& Left, Word& Right) noexcept {
    const auto& P = t.PBox;
    Word L = Right ^ P[16], R = Left ^ P[17];
    for (int k = 14; k >= 0; k -= 2) {
        L ^= F(t.SBox, R);
        R ^= P[k + 1] ^ F(t.SBox, L);
        L ^= P[k];
    }
    Left = L;
    Right = R;
}

}  // namespace quelvane::blowfish
