// SPDX-License-Identifier: MIT
#include "os/CleanupList.h"

#include <array>
#include <atomic>
#include <cstring>

#if !defined(_WIN32)
#include <signal.h>
#include <unistd.h>
#endif

namespace quelvane::safefile {

namespace cleanup {

namespace {

constexpr std::size_t kSlots = 32;
constexpr std::size_t kPathMax = 4096;

enum : int { kFree = 0, kFilling = 1, kFile = 2, kFolder = 3 };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathMax];
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

std::array<Slot, kSlots> gSlots;

}  // namespace

int Add(const std::string& path, bool folder) noexcept {
    if (path.size() >= kPathMax) return -1;
    for (std::size_t i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!gSlots[i].state.compare_exchange_strong(expected, kFilling)) continue;
        std::memcpy(gSlots[i].path, path.c_str(), path.size() + 1);
        gSlots[i].state.store(folder ? kFolder : kFile);
        return static_cast<int>(i);
    }
    return -1;
}

void Drop(int slot) noexcept {
    if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) gSlots[static_cast<std::size_t>(slot)].state.store(kFree);
}

void RemoveAll() noexcept {
#if !defined(_WIN32)
    for (const int kind : {kFile, kFolder}) {
        for (Slot& slot : gSlots) {
            if (slot.state.load() != kind) continue;
            if (kind == kFile)
                ::unlink(slot.path);
            else
                ::rmdir(slot.path);
        }
    }
#endif
}

#if !defined(_WIN32)
namespace {

void RemoveAndEnd(int signal) {
    RemoveAll();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void RemoveOnSignals() noexcept {
    struct sigaction action {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&action.sa_mask, signal);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction previous {};
        // A signal the caller's parent ignores (nohup) stays ignored.
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}
#else
void RemoveOnSignals() noexcept {}
#endif

}  // namespace cleanup

}  // namespace quelvane::safefile
