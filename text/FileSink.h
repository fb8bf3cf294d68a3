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
    // The fresh, empty regular file this sink fills, for a writer that writes
    // it itself (by place, from threads of its own); -1 where there is none
    // or something was put already. Such a writer tells a refused write with
    // Refused(errno), and puts nothing more.
    virtual int Descriptor() { return -1; }
    virtual void Refused(int code) { (void)code; }
};

}  // namespace quelvane
