// SPDX-License-Identifier: MIT
#pragma once
// Plain restatements of the rules the fast code must follow, written for
// clarity rather than speed, and the checks the fuzz targets share.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

#include "tests/cipher/Probe.h"

// A failed check is a crash, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace reference {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t LittleEndian(const Bytes& a, std::size_t o) {
    return std::uint32_t{a[o]} | std::uint32_t{a[o + 1]} << 8 | std::uint32_t{a[o + 2]} << 16 |
           std::uint32_t{a[o + 3]} << 24;
}

// DecryptByte, one block at a time: full blocks decrypted, an incomplete last
// block left alone, and the data cut out of the frame only when its size
// descriptor leaves 12 to 19 bytes for the rest.
inline Bytes DecryptByte(const clsBlowfish& c, const Bytes& cipher) {
    Bytes a = testutil::PlainCbcDecrypt(c, cipher);
    const std::size_t T = a.size();
    if (T % 8 != 0 || T < 12) return a;
    const auto N = static_cast<std::int32_t>(LittleEndian(a, 8));
    const long long spare = static_cast<long long>(T) - N;
    if (N < 0 || spare < 12 || spare > 19) return a;
    return Bytes(a.begin() + 12, a.begin() + 12 + N);
}

// The Progress events of a byte operation on an array of T bytes: at the
// first block whose offset reaches the next whole percent.
inline std::vector<std::int32_t> ProgressEvents(std::size_t T) {
    std::vector<std::int32_t> events;
    unsigned long long next = 0;
    for (unsigned long long offset = 0; offset + 8 <= T; offset += 8) {
        if (offset < next) continue;
        const auto percent = static_cast<std::int32_t>(offset * 100 / T);
        events.push_back(percent);
        // (percent + 1) / 100 * T + 1, rounded half to even.
        const unsigned long long num = (static_cast<unsigned long long>(percent) + 1) * T + 100;
        next = num / 100;
        const unsigned long long rem = num % 100;
        if (rem > 50 || (rem == 50 && next % 2 == 1)) ++next;
    }
    return events;
}

// The pair rule: blanks, tabs and line breaks are dropped, the rest is read
// in pairs, each pair as hex digits from the left up to the first non-digit.
inline int DigitValue(char32_t c) {
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
    return -1;
}

template <class Ch>
std::string HexDecode(const std::basic_string<Ch>& text) {
    std::vector<char32_t> kept;
    for (const Ch ch : text) {
        const auto c = static_cast<char32_t>(static_cast<std::make_unsigned_t<Ch>>(ch));
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') kept.push_back(c);
    }
    std::string out;
    for (std::size_t i = 0; i < kept.size(); i += 2) {
        int value = 0;
        const int hi = DigitValue(kept[i]);
        if (hi >= 0) {
            value = hi;
            if (i + 1 < kept.size() && DigitValue(kept[i + 1]) >= 0) value = hi * 16 + DigitValue(kept[i + 1]);
        }
        out.push_back(static_cast<char>(value));
    }
    return out;
}

}  // namespace reference
