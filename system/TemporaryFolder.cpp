// SPDX-License-Identifier: MIT
#include "system/TemporaryFolder.h"

#include <QCoreApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include "os/CleanupList.h"

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace quelvane {

namespace {

const QString kPattern = QStringLiteral("Quelvane-??????");  // what QTemporaryDir makes of "Quelvane-XXXXXX"
// The mark of a folder this program made: a file of this name holding this text.
const QString kMarkName = QStringLiteral("Quelvane.lock");
constexpr QByteArrayView kMarkText = "Quelvane's temporary folder: the files of one running command\n";

// A folder we may make our folder in; mustBeOurs for one that should be ours
// alone (the runtime folder; one of another user's is no place for ours).
bool Usable(const QString& folder, bool mustBeOurs) {
    if (folder.isEmpty() || QDir::isRelativePath(folder)) return false;
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable()) return false;
#if defined(Q_OS_UNIX)
    if (mustBeOurs && info.ownerId() != ::geteuid()) return false;
#else
    (void)mustBeOurs;
#endif
    return true;
}

#if defined(Q_OS_UNIX)

// True when the folder carries this program's mark: the mark file, a
// regular file of ours holding the mark text.
bool Marked(int folder) {
    const int fd = ::openat(folder, QFile::encodeName(kMarkName).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    char text[128];
    const bool ours = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                      ::read(fd, text, sizeof text) == kMarkText.size() &&
                      QByteArrayView(text, kMarkText.size()) == kMarkText;
    ::close(fd);
    return ours;
}

// Removes the folder when it is one of ours whose run has ended: it carries
// our mark and nobody holds its lock. Only its files go, then the folder
// itself: anything else in it keeps it.
bool RemoveIfAbandoned(const QString& path) {
    const QByteArray folder = QFile::encodeName(path);
    struct stat st;
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat opened;
    bool removed = false;
    // Held while we look and remove, so its run cannot start using it meanwhile.
    if (::fstat(fd, &opened) == 0 && opened.st_dev == st.st_dev && opened.st_ino == st.st_ino && Marked(fd) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        const QStringList files = QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : files)
            if (name != kMarkName) ::unlinkat(fd, QFile::encodeName(name).constData(), 0);
        ::unlinkat(fd, QFile::encodeName(kMarkName).constData(), 0);  // last: a folder without it is not touched
        removed = ::rmdir(folder.constData()) == 0;
    }
    ::close(fd);
    return removed;
}

// Marks the folder as ours, once its lock is held.
bool Mark(const QString& path, QString* error) {
    const QByteArray name = QFile::encodeName(path + u'/' + kMarkName);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool written = fd >= 0 && ::write(fd, kMarkText.data(), kMarkText.size()) == kMarkText.size();
    const int code = errno;
    if (fd >= 0) ::close(fd);
    if (!written && error)
        *error = QCoreApplication::translate("quelvane::TemporaryFolder", "cannot mark %1: %2")
                     .arg(path, qt_error_string(code));
    return written;
}

// Locks the folder for as long as this run uses it. Waits for a starting
// copy that is looking into it, which takes a moment.
bool Lock(const QString& path, int& fd, QString* error) {
    fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX) == 0) return true;
    const int code = errno;
    if (fd >= 0) ::close(fd);
    fd = -1;
    if (error)
        *error = QCoreApplication::translate("quelvane::TemporaryFolder", "cannot lock %1: %2")
                     .arg(path, qt_error_string(code));
    return false;
}

#else

bool RemoveIfAbandoned(const QString&) { return false; }
bool Mark(const QString&, QString*) { return true; }
bool Lock(const QString&, int& fd, QString*) {
    fd = -1;
    return true;
}

#endif

}  // namespace

TemporaryFolder::TemporaryFolder() = default;
TemporaryFolder::~TemporaryFolder() { Release(); }

void TemporaryFolder::Release() {
    for (const int slot : std::as_const(removeOnSignal)) safefile::cleanup::Drop(slot);
    removeOnSignal.clear();
    dir.reset();  // the lock goes with the folder, and is let go after it
#if defined(Q_OS_UNIX)
    if (lockFd >= 0) ::close(lockFd);
#endif
    lockFd = -1;
}

void TemporaryFolder::SetParent(const QString& folder) {
    parent = folder;
    Release();
}

QString TemporaryFolder::ChooseParent(const QString& runtimeDir, const QString& sharedMemory, const QString& tmpDir) {
    if (Usable(runtimeDir, true)) return runtimeDir;
    if (Usable(sharedMemory, false)) return sharedMemory;
    // A TMPDIR that does not exist counts as unset: Qt would make it "".
    if (Usable(tmpDir, false)) return tmpDir;
#if defined(Q_OS_UNIX)
    return QStringLiteral("/tmp");
#else
    return QDir::tempPath();
#endif
}

QString TemporaryFolder::DefaultParent() {
#if defined(Q_OS_UNIX)
    return ChooseParent(qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/dev/shm"),
                        qEnvironmentVariable("TMPDIR"));
#else
    return ChooseParent(QString(), QString(), QDir::tempPath());
#endif
}

QStringList TemporaryFolder::Places() {
    return {qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/dev/shm"), qEnvironmentVariable("TMPDIR"),
            QStringLiteral("/tmp"), QDir::tempPath()};
}

int TemporaryFolder::RemoveAbandoned(const QStringList& places) {
    int removed = 0;
    QSet<QString> seen;
    for (const QString& place : places) {
        if (place.isEmpty()) continue;
        const QString canonical = QFileInfo(place).canonicalFilePath();
        if (canonical.isEmpty() || seen.contains(canonical)) continue;
        seen.insert(canonical);
        // Exactly our names: "quelvane-master" or "QUELVANE-backup" are never ours.
        const QStringList names =
            QDir(canonical).entryList({kPattern}, QDir::Dirs | QDir::NoSymLinks | QDir::Hidden | QDir::System |
                                                      QDir::NoDotAndDotDot | QDir::CaseSensitive);
        for (const QString& name : names)
            if (RemoveIfAbandoned(canonical + u'/' + name)) ++removed;
    }
    return removed;
}

bool TemporaryFolder::Path(QString& path, QString* error) {
    if (dir && QFileInfo(dir->path()).isDir()) {
        path = dir->path();
        return true;
    }
    Release();
    const QString where = parent.isEmpty() ? DefaultParent() : parent;
    auto made = std::make_unique<QTemporaryDir>(where + QStringLiteral("/Quelvane-XXXXXX"));
    if (!made->isValid()) {
        if (error) *error = QStringLiteral("%1: %2").arg(where, made->errorString());
        return false;
    }
    // A signal that ends the process takes the folder with it (its files
    // first), from the moment it exists.
    removeOnSignal << safefile::cleanup::Add(QFile::encodeName(made->path()).toStdString(), true)
                   << safefile::cleanup::Add(QFile::encodeName(made->path() + u'/' + kMarkName).toStdString(), false);
    QFile::setPermissions(made->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Locked before it is marked: a marked folder without a lock is an abandoned one.
    if (!Lock(made->path(), lockFd, error) || !Mark(made->path(), error)) {
        Release();
        return false;  // made goes with its destructor
    }
    dir = std::move(made);
    path = dir->path();
    return true;
}

void TemporaryFolder::RemoveOnSignal(const QString& name) {
    if (!dir) return;
    removeOnSignal << safefile::cleanup::Add(QFile::encodeName(dir->path() + u'/' + name).toStdString(), false);
}

}  // namespace quelvane
