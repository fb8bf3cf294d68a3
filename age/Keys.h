// SPDX-License-Identifier: MIT
#pragma once
// The format's keys, held in storage that is wiped when it goes.
#include "secret/SecretBytes.h"

namespace quelvane::age {

using FileKey = SecretArray<16>;
using Key256 = SecretArray<32>;

}  // namespace quelvane::age
