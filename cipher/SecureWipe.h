#pragma once
// Overwrites memory that held key material or plaintext, in a way the
// optimiser may not drop. Copies made by earlier reallocations are out of reach.
#include <cstddef>
#include <string>
#include <vector>

namespace quelvane {

inline void SecureWipe(void* data, std::size_t size) noexcept {
    auto* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) p[i] = 0;
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
