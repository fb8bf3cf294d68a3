// SPDX-License-Identifier: MIT
#include "formats/LegacyFrame.h"

#include <cstddef>

#include "cipher/clsBlowfish.h"

namespace quelvane {

bool IsWholeText(qint64 cipherSize, QByteArrayView plain) { return IsWholeText(cipherSize, plain.size(), plain); }

bool IsWholeText(qint64 cipherSize, qint64 plainSize, QByteArrayView plainEnd) {
    return cipherSize >= 0 && clsBlowfish::SizeDescriptorFits(static_cast<std::size_t>(cipherSize), plainSize) &&
           plainEnd.endsWith(kEndLine);
}

}  // namespace quelvane
