// SPDX-License-Identifier: MIT
// libFuzzer: the field reader on any bytes ends, stays inside the text and
// never yields more than the text holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/FieldReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quelvane::FieldReader reader(bytes);
    std::size_t fields = 0, total = 0;
    while (!reader.AtEnd()) {
        total += reader.ReadNextField().size();
        if (++fields > size || total > size) std::abort();
    }
    return 0;
}
