// SPDX-License-Identifier: MIT
#pragma once
// Where a writer puts its bytes, a chunk at a time.
#include <QByteArrayView>

namespace quelvane {

// False once a write has failed.
class FileSink {
public:
    virtual ~FileSink() = default;
    virtual bool Put(const char* data, qsizetype size) = 0;
    bool Put(QByteArrayView bytes) { return Put(bytes.data(), bytes.size()); }
};

}  // namespace quelvane
