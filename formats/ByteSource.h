// SPDX-License-Identifier: MIT
#pragma once
// Where the streams read their input (by position, so two threads can read
// at once) and a sink that collects in memory.
#include <QByteArray>
#include <QByteArrayView>

#include "text/FileSink.h"

namespace quelvane {

// Bytes read by position; Read may be called from two threads at once.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual qint64 Size() const = 0;
    // Exactly size bytes from offset on; false with errno set otherwise.
    virtual bool Read(qint64 offset, char* to, qsizetype size) const = 0;
    // The open regular file whose bytes from its start these are, for a
    // reader that reads it itself, from threads of its own; -1 where there
    // is none. Such a reader tells what it read with Consumed.
    virtual int Descriptor() const { return -1; }
    virtual void Consumed(qint64 bytes) const { (void)bytes; }
};

// A regular file's bytes from start on, size of them. The descriptor stays
// the caller's.
class FileSource : public ByteSource {
public:
    FileSource(int fd, qint64 start, qint64 size) : fd(fd), start(start), size(size) {}
    qint64 Size() const override { return size; }
    bool Read(qint64 offset, char* to, qsizetype count) const override;
    int Descriptor() const override { return start == 0 ? fd : -1; }

private:
    int fd;
    qint64 start, size;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(QByteArrayView bytes) : bytes(bytes) {}
    qint64 Size() const override { return bytes.size(); }
    bool Read(qint64 offset, char* to, qsizetype count) const override;

private:
    QByteArrayView bytes;
};

// Collects what it is given. A buffer it outgrows is wiped first, and so is
// the last when it goes.
class MemorySink : public FileSink {
public:
    MemorySink() = default;
    ~MemorySink() override;
    MemorySink(const MemorySink&) = delete;
    MemorySink& operator=(const MemorySink&) = delete;
    bool Put(const char* data, qsizetype size) override;
    using FileSink::Put;
    QByteArray bytes;
};

}  // namespace quelvane
