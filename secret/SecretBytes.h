// SPDX-License-Identifier: MIT
#pragma once
// Containers for key material and plaintext whose storage is wiped whenever
// it is given back: on destruction, and on every reallocation, which frees
// the old block after copying out of it. Bytes left past a shrinking size
// stay until then, so a holder that must forget a secret at once gets a
// fresh container moved into it (the old storage goes, wiped).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "secret/SecureWipe.h"

namespace quelvane {

// Allocates through Upstream and wipes every block before handing it back.
template <class T, class Upstream = std::allocator<T>>
class SecureAllocator {
    using Traits = std::allocator_traits<Upstream>;

public:
    using value_type = T;
    using propagate_on_container_copy_assignment = typename Traits::propagate_on_container_copy_assignment;
    using propagate_on_container_move_assignment = typename Traits::propagate_on_container_move_assignment;
    using propagate_on_container_swap = typename Traits::propagate_on_container_swap;
    using is_always_equal = typename Traits::is_always_equal;
    template <class U>
    struct rebind {
        using other = SecureAllocator<U, typename Traits::template rebind_alloc<U>>;
    };

    SecureAllocator() = default;
    explicit SecureAllocator(const Upstream& upstream) noexcept : upstream_(upstream) {}
    template <class U, class V>
    SecureAllocator(const SecureAllocator<U, V>& other) noexcept : upstream_(other.upstream()) {}

    T* allocate(std::size_t n) { return Traits::allocate(upstream_, n); }
    void deallocate(T* p, std::size_t n) noexcept {
        SecureWipe(p, n * sizeof(T));
        Traits::deallocate(upstream_, p, n);
    }

    const Upstream& upstream() const noexcept { return upstream_; }
    friend bool operator==(const SecureAllocator& a, const SecureAllocator& b) noexcept {
        return a.upstream_ == b.upstream_;
    }

private:
    [[no_unique_address]] Upstream upstream_;
};

using SecretBytes = std::vector<std::uint8_t, SecureAllocator<std::uint8_t>>;

inline std::string_view AsText(const SecretBytes& bytes) noexcept {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// A byte text whose characters are wiped wherever they were kept. A short
// text lives inside the string object itself, out of the allocator's reach,
// so the destructor first moves whatever it holds there (shrink_to_fit of an
// empty string) and wipes that buffer too. What returns the base string
// (operator+, substr) is a copy this type does not guard: append instead.
class SecretString : public std::basic_string<char, std::char_traits<char>, SecureAllocator<char>> {
    using Base = std::basic_string<char, std::char_traits<char>, SecureAllocator<char>>;

public:
    using Base::Base;
    using Base::operator=;
    SecretString() = default;
    SecretString(const SecretString&) = default;
    SecretString(SecretString&&) noexcept = default;
    SecretString& operator=(const SecretString&) = default;
    SecretString& operator=(SecretString&&) noexcept = default;
    ~SecretString() {
        // Back into the object's own buffer: the freed block is wiped by the
        // allocator, and filling the buffer to its capacity makes all of it
        // ours to overwrite.
        clear();
        shrink_to_fit();
        resize(capacity());
        SecureWipe(data(), size());
    }
};

// One T in wiped storage, for fixed-size secrets such as key schedules.
// T must be trivially destructible: its bytes are all there is to wipe.
template <class T>
class SecretBox {
public:
    SecretBox() : value_(SecureAllocator<T>{}.allocate(1)) { std::construct_at(value_); }
    ~SecretBox() {
        static_assert(std::is_trivially_destructible_v<T>);
        SecureAllocator<T>{}.deallocate(value_, 1);
    }
    SecretBox(const SecretBox&) = delete;
    SecretBox& operator=(const SecretBox&) = delete;

    T& operator*() const noexcept { return *value_; }
    T* operator->() const noexcept { return value_; }

private:
    T* value_;
};

// A fixed-size secret kept by value (a key), wiped when it goes; copies are
// secrets of their own.
template <std::size_t N>
struct SecretArray {
    std::array<std::uint8_t, N> bytes{};
    SecretArray() = default;
    SecretArray(const SecretArray&) = default;
    SecretArray& operator=(const SecretArray&) = default;
    ~SecretArray() { SecureWipe(bytes.data(), N); }
    std::uint8_t* data() noexcept { return bytes.data(); }
    const std::uint8_t* data() const noexcept { return bytes.data(); }
    static constexpr std::size_t size() noexcept { return N; }
};

// Forgets a secret text at once, wherever its characters are kept.
inline void Forget(SecretString& text) noexcept {
    SecureWipe(text.data(), text.size());
    text.clear();
}

}  // namespace quelvane
