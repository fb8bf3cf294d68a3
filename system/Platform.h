// SPDX-License-Identifier: MIT
#pragma once
// The few operating-system calls of this layer that Qt does not offer:
// keeping a process's memory to itself, and owner-only file creation.
#include <QString>

namespace quelvane {

// Call first thing in main(): no core file (it would hold the password and
// the text) and, on Linux, no attaching or memory reading by other processes
// of the same user. False with *error naming what could not be set; the
// program may go on without it.
bool ProtectProcessMemory(QString* error);

// Overwrites the stack below the caller's frame, where the calls it made
// left their locals, and where the dynamic linker saved the vector registers
// (which may hold the last bytes a copy moved) whenever it bound a function;
// then clears those registers, so no later binding (at exit, say) saves them.
void ScrubStack() noexcept;

// Zeroes the vector registers (SSE, AVX and AVX-512, as the processor has
// them): the C library's copies and conversions leave their last bytes there.
void ClearVectorRegisters() noexcept;

// While one lives, files and folders this process creates are owner-only
// (umask 077): for writers such as QSaveFile that take no mode. The umask is
// the process's, so only for short stretches in which no other thread of
// ours creates files.
class OwnerOnlyFiles {
public:
    OwnerOnlyFiles();
    ~OwnerOnlyFiles();
    OwnerOnlyFiles(const OwnerOnlyFiles&) = delete;
    OwnerOnlyFiles& operator=(const OwnerOnlyFiles&) = delete;

private:
    unsigned previous = 0;
};

}  // namespace quelvane
