// SPDX-License-Identifier: MIT
#include "formats/ByteSource.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <utility>
#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

#include "text/QtByteText.h"

namespace quelvane {

bool FileSource::Read(qint64 offset, char* to, qsizetype count) const {
#if defined(Q_OS_UNIX)
    while (count > 0) {
        const ssize_t n = ::pread(fd, to, static_cast<std::size_t>(count), static_cast<off_t>(start + offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = 0;
            return false;
        }
        to += n;
        offset += n;
        count -= n;
    }
    return true;
#else
    (void)offset, (void)to, (void)count;
    errno = ENOSYS;
    return false;
#endif
}

bool MemorySource::Read(qint64 offset, char* to, qsizetype count) const {
    if (offset < 0 || count < 0 || offset + count > bytes.size()) {
        errno = 0;
        return false;
    }
    if (count > 0)
        std::memcpy(to, bytes.data() + offset, static_cast<std::size_t>(count));  // an empty view has no data
    return true;
}

MemorySink::~MemorySink() { WipeBytes(bytes); }

bool MemorySink::Put(const char* data, qsizetype size) {
    if (bytes.size() + size > bytes.capacity()) {
        // Grown by hand, so the buffer left behind is overwritten first.
        QByteArray bigger;
        bigger.reserve(qMax(2 * bytes.capacity(), bytes.size() + size));
        bigger.append(bytes);
        WipeBytes(bytes);
        bytes = std::move(bigger);
    }
    bytes.append(data, size);
    return true;
}

}  // namespace quelvane
