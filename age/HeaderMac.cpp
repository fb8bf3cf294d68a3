// SPDX-License-Identifier: MIT
#include "age/HeaderMac.h"

#include "age/Crypto.h"

namespace quelvane::age {

bool ComputeHeaderMac(const FileKey& fileKey, std::string_view macInput, std::uint8_t mac[32]) {
    Key256 key;
    return HkdfSha256(fileKey.data(), fileKey.size(), nullptr, 0, "header", &key) && HmacSha256(key, macInput, mac);
}

bool VerifyHeaderMac(const FileKey& fileKey, std::string_view macInput, const std::uint8_t mac[32]) {
    std::uint8_t expected[32];
    return ComputeHeaderMac(fileKey, macInput, expected) && EqualBytes(expected, mac, 32);
}

}  // namespace quelvane::age
