// SPDX-License-Identifier: MIT
#pragma once
// Fresh memory costs a page fault on first touch of every 4 KiB, and an
// encryption of 16 MiB of text touches about 130 MiB of it (the text as
// UTF-16, the hex text, the cipher's buffer): as long as the block
// encryption itself, a third of the run, on the one core that works. So
// every block comes from the heap and freed memory stays for the next one,
// and the pages the next big blocks will take are faulted in on the other
// core while this one decodes.
#include <cstddef>
#include <thread>

namespace quelvane::cli {

// Call first: big blocks from the heap too, and freed memory kept.
void KeepFreedMemory();

// Gives the freed memory back to the system now.
void ReleaseFreedMemory();

// For one encryption of a text file of fileSize bytes: the heap's next bytes
// (where the decoded text lands) and a hole below them (where the cipher's
// read buffer will land), faulted in on another thread meanwhile.
class MemoryAhead {
public:
    explicit MemoryAhead(std::size_t fileSize);
    ~MemoryAhead();
    MemoryAhead(const MemoryAhead&) = delete;
    MemoryAhead& operator=(const MemoryAhead&) = delete;

    // Frees the hole, once the text is decoded: the cipher's buffer fits it.
    void OpenHole();

private:
    void* hole = nullptr;
    std::thread helper;
};

}  // namespace quelvane::cli
