// SPDX-License-Identifier: MIT
#pragma once
// Reaches the cipher's private tables and single-block operations.
#include <cstdint>
#include <string>
#include <vector>

#include "cipher/clsBlowfish.h"

struct clsBlowfishProbe {
    static std::uint32_t P(const clsBlowfish& c, int i) { return c.tables->PBox[i]; }
    static std::uint32_t S(const clsBlowfish& c, int box, int entry) { return c.tables->SBox[box][entry]; }
    static bool SameTables(const clsBlowfish& a, const clsBlowfish& b) {
        return a.tables->PBox == b.tables->PBox && a.tables->SBox == b.tables->SBox;
    }
    static void Encrypt(const clsBlowfish& c, std::uint32_t& l, std::uint32_t& r) { c.EncryptBlock(l, r); }
    static void Decrypt(const clsBlowfish& c, std::uint32_t& l, std::uint32_t& r) { c.DecryptBlock(l, r); }
    static std::string ToHex(clsBlowfish& c, const std::string& t) { return c.StringToHex(t); }
    static std::string FromHex(clsBlowfish& c, const std::string& t) { return c.HexToString(t); }
};

namespace testutil {

inline std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::uint32_t BigEndian(const std::vector<std::uint8_t>& a, std::size_t o) {
    return std::uint32_t{a[o]} << 24 | std::uint32_t{a[o + 1]} << 16 | std::uint32_t{a[o + 2]} << 8 | a[o + 3];
}

inline void PutBigEndian(std::vector<std::uint8_t>& a, std::size_t o, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) a[o + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

// CBC decryption one block at a time through the single-block operation,
// without any framing: what the interleaved path must agree with.
inline std::vector<std::uint8_t> PlainCbcDecrypt(const clsBlowfish& c, std::vector<std::uint8_t> a) {
    std::uint32_t cl = 0, cr = 0;
    for (std::size_t o = 0; o + 8 <= a.size(); o += 8) {
        std::uint32_t l = BigEndian(a, o), r = BigEndian(a, o + 4);
        const std::uint32_t nl = l, nr = r;
        clsBlowfishProbe::Decrypt(c, l, r);
        PutBigEndian(a, o, l ^ cl);
        PutBigEndian(a, o + 4, r ^ cr);
        cl = nl;
        cr = nr;
    }
    return a;
}

inline std::vector<std::uint8_t> PlainCbcEncrypt(const clsBlowfish& c, std::vector<std::uint8_t> a) {
    std::uint32_t cl = 0, cr = 0;
    for (std::size_t o = 0; o + 8 <= a.size(); o += 8) {
        std::uint32_t l = BigEndian(a, o) ^ cl, r = BigEndian(a, o + 4) ^ cr;
        clsBlowfishProbe::Encrypt(c, l, r);
        PutBigEndian(a, o, l);
        PutBigEndian(a, o + 4, r);
        cl = l;
        cr = r;
    }
    return a;
}

}  // namespace testutil
