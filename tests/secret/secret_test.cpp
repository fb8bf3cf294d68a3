// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "secret/SecretBytes.h"

namespace {

constexpr std::uint8_t kSecret = 0xA5;

// Notes, for every block handed back, whether it came back wiped.
struct FreeLog {
    int allocations = 0;
    std::vector<bool> wiped;
};

template <class T>
struct Recording {
    using value_type = T;
    explicit Recording(FreeLog* log) : log(log) {}
    template <class U>
    Recording(const Recording<U>& other) : log(other.log) {}
    T* allocate(std::size_t n) {
        ++log->allocations;
        return std::allocator<T>{}.allocate(n);
    }
    void deallocate(T* p, std::size_t n) {
        const auto* b = reinterpret_cast<const unsigned char*>(p);
        log->wiped.push_back(std::all_of(b, b + n * sizeof(T), [](unsigned char c) { return c == 0; }));
        std::allocator<T>{}.deallocate(p, n);
    }
    friend bool operator==(const Recording& a, const Recording& b) { return a.log == b.log; }
    FreeLog* log;
};

using Bytes = std::vector<std::uint8_t, quelvane::SecureAllocator<std::uint8_t, Recording<std::uint8_t>>>;

TEST(SecretBytes, EveryBlockIsWipedWhenItIsGivenBack) {
    const struct {
        const char* name;
        std::function<void(Bytes&)> use;
    } cases[] = {
        {"growing a byte at a time",
         [](Bytes& v) {
             for (int i = 0; i < 1000; ++i) v.push_back(kSecret);
         }},
        {"reserve", [](Bytes& v) { v.assign(10, kSecret), v.reserve(1000); }},
        {"shrink_to_fit", [](Bytes& v) { v.assign(1000, kSecret), v.resize(10), v.shrink_to_fit(); }},
        {"a fresh array moved in",
         [](Bytes& v) {
             v.assign(100, kSecret);
             v = Bytes(3, kSecret, v.get_allocator());
         }},
    };
    for (const auto& c : cases) {
        FreeLog log;
        {
            Bytes v{Bytes::allocator_type(Recording<std::uint8_t>(&log))};
            c.use(v);
        }
        EXPECT_GE(log.wiped.size(), 2u) << c.name << ": no reallocation to watch";
        EXPECT_EQ(log.wiped.size(), static_cast<std::size_t>(log.allocations)) << c.name;
        EXPECT_TRUE(std::all_of(log.wiped.begin(), log.wiped.end(), std::identity{})) << c.name;
    }
}

// A short text is kept inside the string object, where no allocator sees
// it: the object's own bytes must hold none of it once it is gone.
TEST(SecretString, LeavesNothingInTheObjectItself) {
    const std::string shortText(15, static_cast<char>(kSecret)), longText(100, static_cast<char>(kSecret));
    const struct {
        const char* name;
        std::function<void(quelvane::SecretString&)> use;
    } cases[] = {
        {"short", [&](quelvane::SecretString& s) { s = shortText; }},
        {"short, then long", [&](quelvane::SecretString& s) { s = shortText, s += longText; }},
        {"long, then short", [&](quelvane::SecretString& s) { s = longText, s = shortText; }},
        {"moved from",
         [&](quelvane::SecretString& s) {
             s = shortText;
             quelvane::SecretString taken(std::move(s));
         }},
    };
    for (const auto& c : cases) {
        alignas(quelvane::SecretString) unsigned char room[sizeof(quelvane::SecretString)] = {};
        auto* s = new (room) quelvane::SecretString;
        c.use(*s);
        s->~SecretString();
        // Two secret bytes in a row: one alone may be part of an address.
        const unsigned char *begin = room, *end = room + sizeof room;
        const unsigned char pair[] = {kSecret, kSecret};
        EXPECT_EQ(std::search(begin, end, pair, pair + 2), end) << c.name;
    }
}

}  // namespace
