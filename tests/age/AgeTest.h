// SPDX-License-Identifier: MIT
#pragma once
// Whole-buffer encryption and decryption over the streaming classes, fed in
// pieces of a chosen size, for the age tests.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "age/Decryptor.h"
#include "age/Encryptor.h"

namespace agetest {

using namespace quelvane::age;

inline std::string RandomText(std::size_t n, unsigned seed = 7) {
    std::mt19937 rnd(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rnd());
    return s;
}

inline const std::uint8_t* U(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// Work factor 1 keeps the tests quick; real files use 18.
// positional: through the sink that takes places, written as a file is.
inline std::string Encrypt(const std::string& plain, const std::string& pass, bool armor, std::size_t piece = 1 << 20,
                           int workFactor = 1, bool positional = false) {
    std::string out;
    auto place = [&](std::uint64_t at, const std::uint8_t* p, std::size_t n) {
        if (out.size() < at + n) out.resize(at + n, '\0');
        std::memcpy(out.data() + at, p, n);
        return true;
    };
    auto append = [&](const std::uint8_t* p, std::size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
    };
    Encryptor e = positional ? Encryptor({armor, workFactor}, PositionalSink(place))
                             : Encryptor({armor, workFactor}, Sink(append));
    Error error;
    bool ok = e.Start(pass, &error);
    for (std::size_t at = 0; ok && at < plain.size(); at += piece)
        ok = e.Write(U(plain) + at, std::min(piece, plain.size() - at), &error);
    ok = ok && e.Finish(&error);
    return ok ? out : "failed: " + error.message;
}

struct Opened {
    bool ok = false;
    Error error;
    std::string plain;
};

inline Opened Decrypt(const std::string& file, const std::string& pass, std::size_t piece = 1 << 20) {
    Opened r;
    Decryptor d(pass, [&](const std::uint8_t* p, std::size_t n) {
        r.plain.append(reinterpret_cast<const char*>(p), n);
        return true;
    });
    r.ok = true;
    for (std::size_t at = 0; r.ok && at < file.size(); at += piece)
        r.ok = d.Write(U(file) + at, std::min(piece, file.size() - at), &r.error);
    r.ok = r.ok && d.Finish(&r.error);
    return r;
}

}  // namespace agetest
