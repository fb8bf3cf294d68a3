// SPDX-License-Identifier: MIT
#include "os/SafeFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#if !defined(_WIN32)
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <fstream>
#endif

namespace quelvane::safefile {

namespace {

Status Failed(Fault fault, const std::string& where, int error = 0) { return Status{fault, error, where}; }

std::string Parent(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FreshName(const std::string& target) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~%016llx.tmp", static_cast<unsigned long long>(random()));
    return target + suffix;
}

}  // namespace

// --- writing a file -----------------------------------------------------------

#if !defined(_WIN32)

namespace {

// What is at the target now: nothing, or a regular file (its mode and group).
Status Inspect(const std::string& target, bool& exists, unsigned& mode, long long& group) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return Failed(Fault::System, target, errno);
        exists = false;
        return {};
    }
    if (S_ISLNK(st.st_mode)) return Failed(Fault::Link, target);
    if (S_ISDIR(st.st_mode)) return Failed(Fault::Folder, target);
    if (!S_ISREG(st.st_mode)) return Failed(Fault::Special, target);
    exists = true;
    mode = st.st_mode & 07777;
    group = st.st_gid;
    return {};
}

// Puts the file in place only where nothing is: EEXIST otherwise.
int RenameNoReplace(const char* from, const char* to) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    // A file system without it: a hard link is exclusive too.
    if (::link(from, to) != 0) return -1;
    ::unlink(from);
    return 0;
}

}  // namespace

Status AtomicFile::Open(const std::string& path, Existing existing, bool ownerOnly) {
    Abandon();
    error = 0;
    written = flushed = 0;
    flushError.store(0);
    target = path;
    mode = 0600;
    group = -1;
    if (Status found = Inspect(target, existed, mode, group); !found.ok()) return found;
    if (existed && existing == Existing::Refuse) return Failed(Fault::Exists, target);
    if (!existed || ownerOnly) mode = 0600;  // it may hold a password or a text
    // Named to the cleanup list before it exists: a signal right after the
    // file is made must find it there.
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = FreshName(target);
        slot = cleanup::Add(temp, false);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) break;
        const int code = errno;
        cleanup::Drop(slot);  // someone else's name, or none made
        slot = -1;
        temp.clear();
        if (code != EEXIST) return Failed(Fault::System, target, code);
    }
    if (fd < 0) return Failed(Fault::System, target, EEXIST);
    return {};
}

bool AtomicFile::Write(const void* data, std::size_t size) noexcept {
    if (fd < 0 || error) return false;
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = ENOSPC;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        written += static_cast<unsigned long long>(n);
    }
    // A large file is flushed a part at a time while the rest is written, so
    // the flush at the commit waits for its last part only.
    constexpr unsigned long long kFlushStep = 16u << 20;
    if (written - flushed >= kFlushStep && !flushing.load()) {
        JoinFlusher();
        flushed = written;
        flushing.store(true);
        try {
            flusher = std::thread([this, file = fd] {
                if (::fdatasync(file) != 0) flushError.store(errno);
                flushing.store(false);
            });
        } catch (...) {
            flushing.store(false);  // no thread: the commit flushes it all
        }
    }
    return true;
}

void AtomicFile::JoinFlusher() noexcept {
    if (flusher.joinable()) flusher.join();
}

Status AtomicFile::Commit() {
    if (fd < 0) return Failed(Fault::System, target, EBADF);
    JoinFlusher();
    // A write-back error is told to one flush only: the earlier one's counts.
    if (!error) error = flushError.load();
    if (error) {
        const int code = error;
        Abandon();
        return Failed(Fault::System, target, code);
    }
    // The old mode only now, so the part written was never open to others.
    // The group first, as changing it may clear mode bits; where the file
    // cannot have the old group, the group gets no access rather than ours.
    unsigned finalMode = mode;
    if (group >= 0 && static_cast<gid_t>(group) != ::getegid() &&
        ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0)
        finalMode &= ~0070u;
    int code = 0;
    if (::fchmod(fd, static_cast<mode_t>(finalMode)) != 0 || ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    fd = -1;
    if (code != 0) {
        Abandon();
        return Failed(Fault::System, target, code);
    }
    // Looked at again just before the rename: the target may have changed.
    bool exists = false;
    unsigned nowMode = 0;
    long long nowGroup = -1;
    Status now = Inspect(target, exists, nowMode, nowGroup);
    if (now.ok() && exists && !existed) now = Failed(Fault::Exists, target);
    if (now.ok() &&
        (existed ? ::rename(temp.c_str(), target.c_str()) : RenameNoReplace(temp.c_str(), target.c_str())) != 0)
        now = errno == EEXIST ? Failed(Fault::Exists, target) : Failed(Fault::System, target, errno);
    if (!now.ok()) {
        Abandon();
        return now;
    }
    cleanup::Drop(slot);
    slot = -1;
    temp.clear();
    // The rename itself is durable once the folder is flushed; some file
    // systems cannot flush a folder, and the data is safe all the same.
    const int folder = ::open(Parent(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return {};
}

void AtomicFile::Abandon() noexcept {
    JoinFlusher();
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temp.empty()) ::unlink(temp.c_str());
    temp.clear();
    cleanup::Drop(slot);
    slot = -1;
}

#else  // the rest of the world: the standard library's view of it

Status AtomicFile::Open(const std::string& path, Existing existing, bool) {
    Abandon();
    error = 0;
    target = path;
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    existed = std::filesystem::exists(status);
    if (std::filesystem::is_symlink(status)) return Failed(Fault::Link, path);
    if (std::filesystem::is_directory(status)) return Failed(Fault::Folder, path);
    if (existed && !std::filesystem::is_regular_file(status)) return Failed(Fault::Special, path);
    if (existed && existing == Existing::Refuse) return Failed(Fault::Exists, path);
    do temp = FreshName(path);
    while (std::filesystem::exists(temp, ec));
    std::FILE* f = std::fopen(temp.c_str(), "wbx");
    if (!f) return Failed(Fault::System, path, errno);
    fd = 1;
    std::fclose(f);
    return {};
}

bool AtomicFile::Write(const void* data, std::size_t size) noexcept {
    std::FILE* f = std::fopen(temp.c_str(), "ab");
    const bool ok = f && std::fwrite(data, 1, size, f) == size;
    if (f) std::fclose(f);
    if (!ok) error = EIO;
    return ok;
}

Status AtomicFile::Commit() {
    std::error_code ec;
    if (error) {
        Abandon();
        return Failed(Fault::System, target, EIO);
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        Abandon();
        return Failed(Fault::System, target, ec.value());
    }
    temp.clear();
    fd = -1;
    return {};
}

void AtomicFile::Abandon() noexcept {
    std::error_code ec;
    if (!temp.empty()) std::filesystem::remove(temp, ec);
    temp.clear();
    fd = -1;
}

#endif

Status WriteFile(const std::string& path, const void* data, std::size_t size, Existing existing) {
    AtomicFile file;
    if (Status opened = file.Open(path, existing); !opened.ok()) return opened;
    if (!file.Write(data, size)) {
        const int code = file.Error();
        file.Abandon();
        return Failed(Fault::System, file.Target(), code);
    }
    return file.Commit();
}

}  // namespace quelvane::safefile
