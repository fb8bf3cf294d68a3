// SPDX-License-Identifier: MIT
#pragma once
// The block cipher: published Blowfish rounds and key schedule, with this
// program's two departures, the entry-major S-box fill and the OR-packed key
// words. Every stored ciphertext depends on both.
#include <array>
#include <cstdint>
#include <string_view>

namespace quelvane::blowfish {

using Word = std::uint32_t;

struct Tables {
    std::array<Word, 18> PBox;
    std::array<std::array<Word, 256>, 4> SBox;
};

// The pi words, S-boxes filled entry by entry.
void LoadInitialTables(Tables& t) noexcept;

// Initial tables, then the key mixed in. Key is not empty.
void ScheduleKey(Tables& t, std::string_view Key) noexcept;

Word RoundFunction(const Tables& t, Word Value) noexcept;
void EncryptBlock(const Tables& t, Word& Left, Word& Right) noexcept;
void DecryptBlock(const Tables& t, Word& Left, Word& Right) noexcept;

}  // namespace quelvane::blowfish
