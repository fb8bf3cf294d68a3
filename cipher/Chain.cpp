// SPDX-License-Identifier: MIT
#include "cipher/Chain.h"

#include <utility>

namespace quelvane::blowfish {

namespace {

inline Wide Widen(Word w) noexcept { return w | static_cast<Wide>(w) << 40; }

void Load(WideTables& wide, const Tables& t) noexcept {
    for (std::size_t i = 0; i < 18; ++i) wide.P[i] = Widen(t.PBox[i]);
    for (std::size_t b = 0; b < 4; ++b)
        for (std::size_t e = 0; e < 256; ++e) wide.S[b][e] = Widen(t.SBox[b][e]);
}

inline Wide F(const WideTables& t, Wide x) noexcept {
    return ((t.S[0][static_cast<Word>(x) >> 24] + t.S[1][x >> 56]) ^ t.S[2][(x >> 8) & 0xFF]) + t.S[3][x & 0xFF];
}

// The hot loops below are written out with folds over index sequences, not
// as loops: -O2 unrolls no loop whose body would grow, and the words of the
// blocks in flight stay in registers only when every index is a constant.

// One decryption round, k = 14, 12, ... 0, for every block in flight. Their
// chains are independent, so the processor overlaps the lookups of one block
// with those of the others.
template <int k, std::size_t... i>
inline void DecryptRound(const WideTables& t, Wide* L, Wide* R, std::index_sequence<i...>) noexcept {
    ((L[i] ^= F(t, R[i])), ...);
    ((R[i] ^= t.P[k + 1] ^ F(t, L[i])), ...);
    ((L[i] ^= t.P[k]), ...);
}

template <std::size_t... j, class Lanes>
inline void DecryptRounds(const WideTables& t, Wide* L, Wide* R, std::index_sequence<j...>, Lanes lanes) noexcept {
    (DecryptRound<14 - 2 * static_cast<int>(j)>(t, L, R, lanes), ...);
}

inline Word LoadBig(const std::uint8_t* p) noexcept {
    return Word{p[0]} << 24 | Word{p[1]} << 16 | Word{p[2]} << 8 | Word{p[3]};
}

inline void StoreBig(Word v, std::uint8_t* p) noexcept {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}

// CBC-decrypts the sizeof...(i) blocks at p in place. The chaining value is
// the ciphertext block before them and comes back as the last one's.
template <std::size_t... i>
inline void DecryptBlocks(const WideTables& t, std::uint8_t* p, Word& ChainLeft, Word& ChainRight,
                          std::index_sequence<i...> lanes) noexcept {
    constexpr std::size_t K = sizeof...(i);
    // CL[i] and CR[i] chain into block i: the ciphertext of block i - 1.
    const Word CL[K + 1] = {ChainLeft, LoadBig(p + 8 * i)...};
    const Word CR[K + 1] = {ChainRight, LoadBig(p + 8 * i + 4)...};
    Wide L[K] = {(Widen(CR[i + 1]) ^ t.P[16])...};
    Wide R[K] = {(Widen(CL[i + 1]) ^ t.P[17])...};
    DecryptRounds(t, L, R, std::make_index_sequence<8>{}, lanes);
    (StoreBig(static_cast<Word>(L[i]) ^ CL[i], p + 8 * i), ...);
    (StoreBig(static_cast<Word>(R[i]) ^ CR[i], p + 8 * i + 4), ...);
    ChainLeft = CL[K];
    ChainRight = CR[K];
}

// CBC-decrypts blocks from to to - 1 of p in place, chaining as above.
void DecryptRun(const WideTables& t, std::uint8_t* p, std::size_t from, std::size_t to, Word& ChainLeft,
                Word& ChainRight) noexcept {
    constexpr std::size_t K = 6;  // enough blocks in flight to hide the lookups' latency
    std::size_t b = from;
    for (; b + K <= to; b += K) DecryptBlocks(t, p + 8 * b, ChainLeft, ChainRight, std::make_index_sequence<K>{});
    for (; b < to; ++b) DecryptBlocks(t, p + 8 * b, ChainLeft, ChainRight, std::make_index_sequence<1>{});
}

// Encryption rounds 2 to 15, written out so the P words are fixed operands.
template <std::size_t... j>
inline void EncryptMiddleRounds(const WideTables& t, Wide& L, Wide& R, std::index_sequence<j...>) noexcept {
    ((L ^= t.P[2 + 2 * j], R ^= F(t, L) ^ t.P[3 + 2 * j], L ^= F(t, R)), ...);
}

// One block of the chain, in place. LastL and LastR are the previous
// block's halves before its final XOR with P[16] and P[17]; this block takes
// those two words into its plaintext instead, off the chain, so one XOR is
// all that lies between two blocks.
inline void EncryptChained(const WideTables& t, std::uint8_t* p, Wide& LastL, Wide& LastR) noexcept {
    Wide L = LastR ^ (Widen(LoadBig(p)) ^ t.P[17] ^ t.P[0]);
    Wide R = LastL ^ (Widen(LoadBig(p + 4)) ^ t.P[16] ^ t.P[1]);
    R ^= F(t, L);
    L ^= F(t, R);
    EncryptMiddleRounds(t, L, R, std::make_index_sequence<7>{});
    LastL = L;
    LastR = R;
    StoreBig(static_cast<Word>(R ^ t.P[17]), p);
    StoreBig(static_cast<Word>(L ^ t.P[16]), p + 4);
}

}  // namespace

EncryptChain::EncryptChain(const Tables& t) {
    Load(*tables, t);
    lastL = tables->P[16];  // a chaining value of zero
    lastR = tables->P[17];
}

void EncryptChain::Encrypt(std::uint8_t* data, std::size_t Size) noexcept {
    const WideTables& t = *tables;
    Wide LastL = lastL, LastR = lastR;
    for (std::size_t Offset = 0; Offset + 8 <= Size; Offset += 8) EncryptChained(t, data + Offset, LastL, LastR);
    lastL = LastL;
    lastR = LastR;
}

DecryptChain::DecryptChain(const Tables& t) { Load(*tables, t); }

void DecryptChain::Decrypt(std::uint8_t* data, std::size_t Size, ChainValue& Chain) const noexcept {
    DecryptRun(*tables, data, 0, Size / 8, Chain.Left, Chain.Right);
}

}  // namespace quelvane::blowfish
