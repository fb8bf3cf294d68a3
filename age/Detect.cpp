// SPDX-License-Identifier: MIT
#include "age/Detect.h"

#include "age/Armor.h"

namespace quelvane::age {

AgeForm DetectAge(std::string_view start) {
    if (start.starts_with("age-encryption.org/")) return AgeForm::Binary;
    const std::size_t first = start.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && start.substr(first).starts_with(kArmorBegin)) return AgeForm::Armored;
    return AgeForm::None;
}

}  // namespace quelvane::age
