// SPDX-License-Identifier: MIT
#pragma once
// The 1042 initial words of the cipher tables: P-array then S-box material.
#include <array>
#include <cstdint>

namespace quelvane {

extern const std::array<std::uint32_t, 1042> kPiWords;

}  // namespace quelvane
