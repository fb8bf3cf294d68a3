// SPDX-License-Identifier: MIT
#pragma once
// Whether the first bytes of a file or text are age: binary (the version
// line's start) or armored (the begin line after whitespace).
#include <string_view>

namespace quelvane::age {

enum class AgeForm { None, Binary, Armored };

// Needs the first 64 bytes or so (all of them when shorter); whitespace
// before an armor's begin line is skipped whatever its length.
AgeForm DetectAge(std::string_view start);

}  // namespace quelvane::age
