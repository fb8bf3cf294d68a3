// SPDX-License-Identifier: MIT
#pragma once
// The header MAC: HMAC-SHA-256 over the header up to and including "---",
// keyed with HKDF-SHA-256(file key, no salt, "header").
#include <cstdint>
#include <string_view>

#include "age/Keys.h"

namespace quelvane::age {

bool ComputeHeaderMac(const FileKey& fileKey, std::string_view macInput, std::uint8_t mac[32]);
bool VerifyHeaderMac(const FileKey& fileKey, std::string_view macInput, const std::uint8_t mac[32]);

}  // namespace quelvane::age
