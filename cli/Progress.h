// SPDX-License-Identifier: MIT
#pragma once
// Progress of a long command on standard error: one line with a bar, the
// bytes done, the rate and the time left, redrawn in place with a carriage
// return. Drawn only when standard error is a terminal and the input is
// large; messages written meanwhile start on a line of their own.
#include <QtGlobal>
#include <memory>

#include "formats/StreamCipher.h"

namespace quelvane::cli::progress {

// Inputs smaller than this are done before a bar would tell anything.
inline constexpr qint64 kLargeInput = 8 * 1024 * 1024;

// Whether a bar may be drawn at all: standard error is a terminal and the
// command is not quiet. Set once at start.
void Allow(bool allowed);

// Starts a bar for work that reads an input of size bytes passes times;
// nothing when it is small or bars are not allowed.
void Begin(qint64 size, qint64 passes);
// Bytes read; from any thread.
void Advance(qint64 bytes);
// The line closed for a message that does not end the work; the bar is
// drawn again below it.
void Aside();
// The bar at its end, and the line closed.
void End();
// Closes the line before a message, and ends the bar where it stood.
void Break();

// Reads from another source and counts what it reads as progress.
class CountingSource : public ByteSource {
public:
    explicit CountingSource(const ByteSource& source) : source(source) {}
    qint64 Size() const override { return source.Size(); }
    bool Read(qint64 offset, char* to, qsizetype size) const override;
    int Descriptor() const override { return source.Descriptor(); }
    void Consumed(qint64 bytes) const override;

private:
    const ByteSource& source;
};

}  // namespace quelvane::cli::progress
