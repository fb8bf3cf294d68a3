// SPDX-License-Identifier: MIT
#include "os/SafeFile.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#if !defined(_WIN32)
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
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

// A fresh file's name: short and the same length whatever the target's, so
// a target of any legal length can be written, and recognisable, so the next
// write into the folder can sweep one a killed run left behind.
constexpr char kFreshPrefix[] = ".quelvane-";
constexpr char kFreshSuffix[] = ".tmp";
constexpr std::size_t kFreshDigits = 16;

std::string FreshName(const std::string& folder) {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char name[48];
    std::snprintf(name, sizeof name, "%s%016llx%s", kFreshPrefix, static_cast<unsigned long long>(random()),
                  kFreshSuffix);
    std::string path = folder;
    if (path.back() != '/') path += '/';
    return path += name;
}

bool IsFreshName(const char* name) {
    const std::size_t prefix = sizeof kFreshPrefix - 1, suffix = sizeof kFreshSuffix - 1;
    if (std::strlen(name) != prefix + kFreshDigits + suffix) return false;
    if (std::strncmp(name, kFreshPrefix, prefix) != 0 || std::strcmp(name + prefix + kFreshDigits, kFreshSuffix) != 0)
        return false;
    for (std::size_t i = prefix; i < prefix + kFreshDigits; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i])) || std::isupper(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

std::atomic<bool> gUnnamed{true};

}  // namespace

// --- writing a file -----------------------------------------------------------

#if !defined(_WIN32)

namespace {

struct Found {
    bool exists = false;
    unsigned mode = 0600;
    long long group = -1;
    bool ours = false;  // owned by the user this process runs as
};

// What is at the target now: nothing, or a regular file.
Status Inspect(const std::string& target, Found& found) {
    struct stat st {};
    found = Found();
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return Failed(Fault::System, target, errno);
        return {};
    }
    if (S_ISLNK(st.st_mode)) return Failed(Fault::Link, target);
    if (S_ISDIR(st.st_mode)) return Failed(Fault::Folder, target);
    if (!S_ISREG(st.st_mode)) return Failed(Fault::Special, target);
    found.exists = true;
    found.mode = st.st_mode & 07777;
    found.group = st.st_gid;
    found.ours = st.st_uid == ::geteuid();
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

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True while name in the folder is still the file open at fd.
bool NamedAs(int folder, const char* name, int fd) {
    struct stat atName {
    }, opened{};
    return ::fstatat(folder, name, &atName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &opened) == 0 &&
           SameFile(atName, opened);
}

// Removes the fresh files a killed run left in the folder: our own regular
// files of the fresh name whose lock nobody holds (a running writer holds
// its file's lock from the moment it is made until it is in place).
void SweepAbandoned(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const int at = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsFreshName(entry->d_name)) continue;
        struct stat st {};
        // Looked at before it is opened: opening a device or a pipe may do something.
        if (::fstatat(at, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        const int fd = ::openat(at, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {};
        if (::fstat(fd, &opened) == 0 && SameFile(st, opened) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            NamedAs(at, entry->d_name, fd))
            ::unlinkat(at, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

// The path by which an unnamed file is given its name.
std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// An unnamed file in the folder, where the file system has them and the
// process can name it later; -1 otherwise.
int OpenUnnamed(const std::string& folder) {
#if defined(__linux__) && defined(O_TMPFILE)
    if (!gUnnamed.load()) return -1;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat viaProc {
    }, opened{};
    // Without /proc it could never be put in place.
    if (::stat(ProcPath(fd).c_str(), &viaProc) == 0 && ::fstat(fd, &opened) == 0 && SameFile(viaProc, opened) &&
        ::flock(fd, LOCK_EX) == 0)
        return fd;
    ::close(fd);
#else
    (void)folder;
#endif
    return -1;
}

}  // namespace

Status AtomicFile::Open(const std::string& path, Existing existing, bool ownerOnly) {
    Abandon();
    error = 0;
    written = flushed = 0;
    flushError.store(0);
    target = path;
    folder = Parent(path);
    mode = 0600;
    group = -1;
    Found found;
    if (Status inspected = Inspect(target, found); !inspected.ok()) return inspected;
    existed = found.exists;
    if (existed && existing == Existing::Refuse) return Failed(Fault::Exists, target);
    // The old mode and group only from a file of one's own: a file someone
    // else planted with open modes must not open the text to them. A new
    // file or a password file is owner-only.
    if (existed && found.ours && !ownerOnly) {
        mode = found.mode;
        group = found.group;
    }
    SweepAbandoned(folder);
    fd = OpenUnnamed(folder);
    if (fd >= 0) return {};
    // Named to the cleanup list before it exists: a signal right after the
    // file is made must find it there.
    for (int tries = 0; tries < 100; ++tries) {
        temp = FreshName(folder);
        slot = cleanup::Add(temp, false);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            const int code = errno;
            Forget();  // someone else's name, or none made
            if (code != EEXIST) return Failed(Fault::System, target, code);
            continue;
        }
        // Locked against the sweep of another run, and still ours once locked.
        const int at = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool held =
            at >= 0 && ::flock(fd, LOCK_EX) == 0 && NamedAs(at, temp.c_str() + temp.find_last_of('/') + 1, fd);
        if (at >= 0) ::close(at);
        if (held) return {};
        ::close(fd);
        fd = -1;
        Forget();  // swept meanwhile: the name is no longer ours
    }
    return Failed(Fault::System, target, EEXIST);
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

int AtomicFile::Descriptor() const noexcept { return error || written ? -1 : fd; }

void AtomicFile::JoinFlusher() noexcept {
    if (flusher.joinable()) flusher.join();
}

// Gives the unnamed file its name: the target itself when it is new (a link
// is exclusive), else a fresh name beside it that is renamed over it.
Status AtomicFile::PutUnnamed() {
    const std::string proc = ProcPath(fd);
    if (!existed) {
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) return {};
        return errno == EEXIST ? Failed(Fault::Exists, target) : Failed(Fault::System, target, errno);
    }
    for (int tries = 0; temp.empty() && tries < 100; ++tries) {
        temp = FreshName(folder);
        slot = cleanup::Add(temp, false);
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
        const int code = errno;
        Forget();
        if (code != EEXIST) return Failed(Fault::System, target, code);
    }
    if (temp.empty()) return Failed(Fault::System, target, EEXIST);
    if (::rename(temp.c_str(), target.c_str()) != 0) return Failed(Fault::System, target, errno);
    return {};
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
    const bool named = !temp.empty();
    if (named) {
        if (::close(fd) != 0 && code == 0) code = errno;
        fd = -1;  // an unnamed file is named through its descriptor
    }
    if (code != 0) {
        Abandon();
        return Failed(Fault::System, target, code);
    }
    // Looked at again just before it is put in place: the target may have changed.
    Found now;
    Status status = Inspect(target, now);
    if (status.ok() && now.exists && !existed) status = Failed(Fault::Exists, target);
    if (status.ok() && !named) status = PutUnnamed();
    if (status.ok() && named &&
        (existed ? ::rename(temp.c_str(), target.c_str()) : RenameNoReplace(temp.c_str(), target.c_str())) != 0)
        status = errno == EEXIST ? Failed(Fault::Exists, target) : Failed(Fault::System, target, errno);
    if (!status.ok()) {
        Abandon();
        return status;
    }
    if (fd >= 0) ::close(fd);
    fd = -1;
    Forget();
    // The new name is durable once the folder is flushed; some file
    // systems cannot flush a folder, and the data is safe all the same.
    const int at = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at >= 0) {
        (void)::fsync(at);
        ::close(at);
    }
    return {};
}

void AtomicFile::Forget() noexcept {
    temp.clear();
    cleanup::Drop(slot);
    slot = -1;
}

void AtomicFile::Abandon() noexcept {
    JoinFlusher();
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (!temp.empty()) ::unlink(temp.c_str());
    Forget();
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
    do temp = FreshName(Parent(path));
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

int AtomicFile::Descriptor() const noexcept { return -1; }

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

void PreferUnnamed(bool prefer) { gUnnamed.store(prefer); }

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
