// SPDX-License-Identifier: MIT
#pragma once
// A fresh large buffer costs a page fault every 4 KiB as it is first
// written; asked for huge pages, the kernel maps it 2 MiB at a time.
#include <cstddef>
#include <cstdint>
#if defined(__unix__)
#include <sys/mman.h>
#endif

namespace quelvane {

// Advice only: the whole 2 MiB stretches inside [p, p + size) of a buffer of
// 4 MiB or more, before it is written.
inline void AdviseHugePages(void* p, std::size_t size) noexcept {
#if defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHuge = 2 * 1024 * 1024;
    if (size < 2 * kHuge) return;
    const auto start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t from = (start + kHuge - 1) & ~(kHuge - 1), to = (start + size) & ~(kHuge - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)p, (void)size;
#endif
}

}  // namespace quelvane
