// SPDX-License-Identifier: MIT
#pragma once
// Overwrites memory that held key material or plaintext, in a way the
// optimiser may not drop. Copies made by earlier reallocations are out of
// reach here: secrets that grow belong in SecretBytes.h's types.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace quelvane {

// memset called through a volatile pointer: the compiler cannot prove what it
// calls, so it cannot drop the call as a dead store, and it still runs at
// memset's speed (a byte-wise volatile loop is ten times slower on 16 MiB).
inline void SecureWipe(void* data, std::size_t size) noexcept {
    static void* (*const volatile wipe)(void*, int, std::size_t) = std::memset;
    if (size) wipe(data, 0, size);
}

template <class T>
void SecureWipe(std::vector<T>& v) noexcept {
    SecureWipe(v.data(), v.size() * sizeof(T));
    v.clear();
}

inline void SecureWipe(std::string& s) noexcept {
    SecureWipe(s.data(), s.size());
    s.clear();
}

}  // namespace quelvane
