// SPDX-License-Identifier: MIT
#include "cli/MemoryAhead.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdlib>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif

namespace quelvane::cli {

namespace {

constexpr std::size_t kSlack = 64 * 1024;  // headers and the small blocks carved off a free block

// Faults the pages in writable without writing to them, so the owner may
// already be filling them. An older kernel refuses: then the owner faults them.
void Populate(std::uintptr_t start, std::size_t size) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = (start + page - 1) / page * page;
    const auto to = (start + size) / page * page;
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}  // namespace

void KeepFreedMemory() {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

void ReleaseFreedMemory() { malloc_trim(0); }

MemoryAhead::MemoryAhead(std::size_t fileSize) {
    // The text as UTF-16 takes at most two bytes a file byte; the cipher
    // reads it back as Windows-1252 with CR LF, at most two bytes a file
    // byte too, mostly little more than one.
    const std::size_t text = 2 * fileSize + kSlack;
    const std::size_t holeSize = 2 * fileSize + kSlack;
    const std::size_t likelyRead = fileSize + fileSize / 8 + kSlack;
    hole = std::malloc(holeSize);
    void* next = std::malloc(text);
    const auto ahead = reinterpret_cast<std::uintptr_t>(next);
    std::free(next);  // back to the top of the heap: the decoded text starts there
    if (!hole || !ahead) return;
    const auto below = reinterpret_cast<std::uintptr_t>(hole);
    helper = std::thread([=] {
        Populate(ahead, text);
        Populate(below, likelyRead);
    });
}

void MemoryAhead::OpenHole() {
    std::free(hole);
    hole = nullptr;
}

MemoryAhead::~MemoryAhead() {
    if (helper.joinable()) helper.join();
    std::free(hole);
}

}  // namespace quelvane::cli
