// SPDX-License-Identifier: MIT
#pragma once
// The one way this program writes a user's file.
//
// A file is written as an unnamed file in the target's folder (O_TMPFILE)
// and given its name only when complete, so a failure, or a run killed
// meanwhile, leaves the old file whole and nothing half written, not even a
// name. Where the file system has no unnamed files, it is written under a
// fresh name, short and recognisable, created exclusively and locked while
// it is written; the next write into that folder removes such a file that
// a killed run of the same user left. No planted link or
// special file turns the write elsewhere:
// - a symbolic link at the target is refused, whoever made it: it is
//   replaced by nothing and written through never (the kernel's
//   protected_symlinks does not apply to a link that is renamed over);
// - a folder, FIFO, device or socket at the target is refused, whatever the
//   caller allows;
// - a target that must be new is put in place only if nothing appeared there
//   meanwhile (no gap between the check and the write).
// A new file is owner-only; a replaced regular file keeps its mode and group
// only when it was the user's own: another user's file, which may have been
// planted open to all, gives way to an owner-only one.
#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include "os/CleanupList.h"

namespace quelvane::safefile {

enum class Fault {
    None,
    Link,  // a symbolic link at the target
    Folder,  // a folder at the target
    Special,  // a FIFO, device or socket at the target
    Exists,  // the target exists and may not be replaced
    System,  // the system refused: error tells why
};

struct Status {
    Fault fault = Fault::None;
    int error = 0;  // errno, for System
    std::string where;  // the path the fault is about
    bool ok() const { return fault == Fault::None; }
};

enum class Existing { Refuse, Replace };

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile() { Abandon(); }
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target and creates the fresh file beside it. ownerOnly
    // makes the file owner-only even where it replaces one (a password file).
    Status Open(const std::string& path, Existing existing, bool ownerOnly = false);
    // False once a write failed (Error() tells why).
    bool Write(const void* data, std::size_t size) noexcept;
    // The fresh file, open for writing at its start, for a writer that writes
    // it itself instead (by place, from threads of its own); -1 once Write
    // wrote or failed, or where there is no such descriptor.
    int Descriptor() const noexcept;
    // Flushes the data to the disk and puts the file in place. A large file is
    // flushed in parts as it is written, so this waits for its last part only.
    Status Commit();
    // Removes the fresh file; the target stays as it was.
    void Abandon() noexcept;

    int Error() const { return error; }
    const std::string& Target() const { return target; }

private:
    int fd = -1;
    int slot = -1;  // in the cleanup list
    bool existed = false;
    unsigned mode = 0600;
    long long group = -1;
    int error = 0;
    unsigned long long written = 0, flushed = 0;  // bytes written, and up to where a flush was started
    std::thread flusher;  // flushes what is written so far while more is written
    std::atomic<bool> flushing{false};
    std::atomic<int> flushError{0};  // a failed flush's errno: the commit must not miss it
    void JoinFlusher() noexcept;
    Status PutUnnamed();
    void Forget() noexcept;  // the fresh name is no longer ours to remove
    std::string target, folder;
    std::string temp;  // the fresh file's name, while it has one
};

// Whether unnamed files are used where the file system has them (the
// default); false makes every file take the named way, as tests need.
void PreferUnnamed(bool prefer);

// Writes the whole data to path as AtomicFile does; true when it is in place.
Status WriteFile(const std::string& path, const void* data, std::size_t size, Existing existing);

}  // namespace quelvane::safefile
