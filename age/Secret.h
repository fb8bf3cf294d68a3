// SPDX-License-Identifier: MIT
#pragma once
// Storage for keys and plaintext that is wiped when it goes: a fixed-size key
// and a buffer of fixed capacity, neither ever reallocated, so no copy is left
// behind in freed memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "secret/SecureWipe.h"

namespace quelvane::age {

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

using FileKey = SecretArray<16>;
using Key256 = SecretArray<32>;

class SecretBuffer {
public:
    explicit SecretBuffer(std::size_t capacity) : data_(new std::uint8_t[capacity]), capacity_(capacity) {}
    SecretBuffer(std::string_view text) : SecretBuffer(text.size()) {
        if (!text.empty()) std::memcpy(data_.get(), text.data(), text.size());
        size_ = text.size();
    }
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    ~SecretBuffer() { Wipe(); }

    std::uint8_t* data() noexcept { return data_.get(); }
    const std::uint8_t* data() const noexcept { return data_.get(); }
    std::size_t size() const noexcept { return size_; }
    std::size_t capacity() const noexcept { return capacity_; }
    void resize(std::size_t n) noexcept { size_ = n; }  // n <= capacity()
    std::string_view view() const noexcept { return {reinterpret_cast<const char*>(data_.get()), size_}; }
    void Wipe() noexcept {
        SecureWipe(data_.get(), capacity_);
        size_ = 0;
    }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t capacity_;
    std::size_t size_ = 0;
};

}  // namespace quelvane::age
