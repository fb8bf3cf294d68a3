// SPDX-License-Identifier: MIT
// The private folder of the temporary files: where it is made, that it is
// owner-only and locked while its run lives, and that a later start removes
// what killed runs left (and nothing else), on real folders and processes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "system/TemporaryFolder.h"

namespace {

using namespace quelvane;

void Spit(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QStringList Folders(const QString& place) {
    return QDir(place).entryList({QStringLiteral("Quelvane-*")}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
}

// Whether another open file description can take the folder's lock now.
bool Lockable(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// A run killed in the middle of a command: its folder stays with the text in it.
void KilledMidCommand(const QString& place) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TemporaryFolder folder;
        folder.SetParent(place);
        QString path;
        if (folder.Path(path, nullptr)) {
            QFile text(path + QStringLiteral("/DumpSTempFile$$$"));
            if (text.open(QIODevice::WriteOnly)) text.write("the plaintext");
            text.close();
        }
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
}

class Folder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(place.isValid()); }
    QTemporaryDir place;
};

TEST(ChooseParent, MemoryFirstAndOnlyFoldersThatExist) {
    QTemporaryDir runtime, shm, tmp;
    EXPECT_EQ(TemporaryFolder::ChooseParent(runtime.path(), shm.path(), tmp.path()), runtime.path());
    EXPECT_EQ(TemporaryFolder::ChooseParent(QString(), shm.path(), tmp.path()), shm.path());
    EXPECT_EQ(TemporaryFolder::ChooseParent(runtime.path() + QStringLiteral("/gone"), shm.path(), tmp.path()),
              shm.path());
    EXPECT_EQ(TemporaryFolder::ChooseParent(QString(), QString(), tmp.path()), tmp.path());
    // A TMPDIR that does not exist, or is no absolute folder, counts as unset: /tmp, never "" (the root).
    for (const QString& bad : {QStringLiteral("/no/such/folder"), QString(), QStringLiteral("relative"),
                               tmp.filePath(QStringLiteral("file"))}) {
        if (bad.endsWith(QStringLiteral("file"))) Spit(bad, "x");
        EXPECT_EQ(TemporaryFolder::ChooseParent(QString(), QStringLiteral("/no/shm"), bad), QStringLiteral("/tmp"))
            << bad.toStdString();
    }
    // A runtime folder that is not ours is no place for ours.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(runtime.path()).constData(), 65534, 65534), 0);
        EXPECT_EQ(TemporaryFolder::ChooseParent(runtime.path(), shm.path(), tmp.path()), shm.path());
    }
}

TEST(ChooseParent, TheDefaultIgnoresAMissingTmpdir) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR"), tmpdir = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", "/no/such/folder");
    const QString parent = TemporaryFolder::DefaultParent();
    TemporaryFolder folder;
    QString path, error;
    const bool made = folder.Path(path, &error);
    runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
    tmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmpdir);
    EXPECT_TRUE(QFileInfo(parent).isDir()) << parent.toStdString();
    EXPECT_NE(parent, QStringLiteral("/"));
    ASSERT_TRUE(made) << error.toStdString();
    EXPECT_EQ(QFileInfo(path).path(), parent);
}

TEST_F(Folder, OwnerOnlyLockedAndGoneWithItsRun) {
    QString path, error;
    {
        TemporaryFolder folder;
        folder.SetParent(place.path());
        ASSERT_TRUE(folder.Path(path, &error)) << error.toStdString();
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                          QFile::WriteOther | QFile::ExeOther;
        EXPECT_EQ(QFileInfo(path).permissions() & others, QFile::Permissions());
        EXPECT_FALSE(Lockable(path)) << "a running copy's folder must be locked";
        QString again;
        ASSERT_TRUE(folder.Path(again, &error));
        EXPECT_EQ(again, path);
        // Removed behind its back (a cleaner, a logout): made again.
        ASSERT_TRUE(QDir(path).removeRecursively());
        ASSERT_TRUE(folder.Path(again, &error)) << error.toStdString();
        EXPECT_TRUE(QFileInfo(again).isDir());
        path = again;
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(Folders(place.path()).isEmpty());
}

// A run killed in the middle of a command leaves its folder with the text
// in it; the next start removes it, and never the folder of a running copy.
TEST_F(Folder, AStartRemovesWhatKilledRunsLeft) {
    KilledMidCommand(place.path());
    const QStringList killed = Folders(place.path());
    ASSERT_EQ(killed.size(), 1);

    TemporaryFolder running;
    running.SetParent(place.path());
    QString runningPath, error;
    ASSERT_TRUE(running.Path(runningPath, &error)) << error.toStdString();
    Spit(runningPath + QStringLiteral("/DumpSTempFile$$$"), "in use");

    EXPECT_EQ(TemporaryFolder::RemoveAbandoned({place.path()}), 1);
    EXPECT_EQ(Folders(place.path()), QStringList{QFileInfo(runningPath).fileName()});
    EXPECT_TRUE(QFileInfo::exists(runningPath + QStringLiteral("/DumpSTempFile$$$")));
    EXPECT_EQ(TemporaryFolder::RemoveAbandoned({place.path()}), 0);
}

// Only a folder named exactly as ours and carrying our mark goes, and with
// it only its files: an unpacked "quelvane-master" or a "Quelvane-backup" of
// the user's is never touched, whatever it holds.
TEST_F(Folder, OnlyOurOwnAbandonedFoldersGo) {
    QDir root(place.path());
    KilledMidCommand(place.path());  // a real abandoned folder, whose mark the look-alikes below copy
    const QStringList made = Folders(place.path());
    ASSERT_EQ(made.size(), 1);
    const QString mark = place.filePath(made[0] + QStringLiteral("/Quelvane.lock"));
    ASSERT_TRUE(QFileInfo(mark).isFile());
    const auto lookAlike = [&](const QString& name, bool marked) {
        ASSERT_TRUE(root.mkdir(name));
        Spit(place.filePath(name + QStringLiteral("/DumpDTempFile$$$")), "the user's");
        if (marked) {
            ASSERT_TRUE(QFile::copy(mark, place.filePath(name + QStringLiteral("/Quelvane.lock"))));
        }
    };
    lookAlike(QStringLiteral("Quelvane-old123"), false);  // no mark: not ours
    lookAlike(QStringLiteral("quelvane-master"), true);  // not our name, marked or not
    lookAlike(QStringLiteral("QUELVANE-ABCDEF"), true);
    lookAlike(QStringLiteral("Quelvane-backup"), false);
    lookAlike(QStringLiteral("Quelvane-wrong1"), false);
    Spit(place.filePath(QStringLiteral("Quelvane-wrong1/Quelvane.lock")), "another program's lock");
    // Not ours to touch either: a link to a folder, a plain file, other names.
    QTemporaryDir elsewhere;
    Spit(elsewhere.filePath(QStringLiteral("Quelvane.lock")), "keep");
    ASSERT_TRUE(QFile::link(elsewhere.path(), place.filePath(QStringLiteral("Quelvane-link12"))));
    Spit(place.filePath(QStringLiteral("Quelvane-file12")), "x");
    // Another user's (only root can make one).
    if (::geteuid() == 0) {
        lookAlike(QStringLiteral("Quelvane-other1"), true);
        ASSERT_EQ(
            ::chown(QFile::encodeName(place.filePath(QStringLiteral("Quelvane-other1"))).constData(), 65534, 65534), 0);
    }

    EXPECT_EQ(TemporaryFolder::RemoveAbandoned({place.path(), place.path() + QStringLiteral("/.")}), 1);
    QStringList left = root.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    left.removeAll(QStringLiteral("Quelvane-other1"));
    left.sort(Qt::CaseSensitive);
    EXPECT_EQ(left, (QStringList{"QUELVANE-ABCDEF", "Quelvane-backup", "Quelvane-file12", "Quelvane-link12",
                                 "Quelvane-old123", "Quelvane-wrong1", "quelvane-master"}));
    for (const QString& name : left) {
        if (QFileInfo(place.filePath(name)).isDir() && !QFileInfo(place.filePath(name)).isSymLink()) {
            EXPECT_TRUE(QFileInfo::exists(place.filePath(name + QStringLiteral("/DumpDTempFile$$$"))))
                << name.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo::exists(elsewhere.filePath(QStringLiteral("Quelvane.lock"))));
    if (::geteuid() == 0) {
        EXPECT_TRUE(QFileInfo::exists(place.filePath(QStringLiteral("Quelvane-other1/DumpDTempFile$$$"))));
    }
}

}  // namespace
