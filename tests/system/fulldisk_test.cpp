// SPDX-License-Identifier: MIT
// A full disk under the temporary folder, on a real one: a tmpfs of a few
// hundred KiB mounted in a mount namespace of the test's own (no root
// needed where user namespaces are open). Every failure names its cause.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include "formats/TextCipher.h"
#include "system/UserFiles.h"

namespace {

using namespace quelvane;

const QString kFull = QStringLiteral("No space left on device");

bool WriteTo(const char* path, const QByteArray& text) {
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size();
    ::close(fd);
    return ok;
}

// A mount namespace of our own: as root directly, else inside a user
// namespace where we are root. The process must have one thread.
bool OwnMountNamespace() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0 && ::unshare(CLONE_NEWNS) == 0)
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    return WriteTo("/proc/self/setgroups", "deny") &&
           WriteTo("/proc/self/uid_map", QByteArray("0 ") + QByteArray::number(uid) + " 1") &&
           WriteTo("/proc/self/gid_map", QByteArray("0 ") + QByteArray::number(gid) + " 1");
}

// A small disk, mounted once per process; empty when none can be had.
struct SmallDisk {
    QString path;
    SmallDisk() {
        QByteArray where = QFile::encodeName(QDir::tempPath()) + "/fulldisk-XXXXXX";
        if (!::mkdtemp(where.data())) return;
        if (OwnMountNamespace() && ::mount("tmpfs", where.constData(), "tmpfs", 0, "size=512k,mode=0700") == 0)
            path = QFile::decodeName(where);
        else
            ::rmdir(where.constData());
    }
    ~SmallDisk() {
        if (path.isEmpty()) return;
        const QByteArray where = QFile::encodeName(path);
        ::umount2(where.constData(), MNT_DETACH);
        ::rmdir(where.constData());
    }
};

QString SmallDiskPath() {
    static const SmallDisk disk;
    return disk.path;
}

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        disk = SmallDiskPath();
        if (disk.isEmpty()) GTEST_SKIP() << "no mount namespace here for a small disk";
        for (const QString& name : QDir(disk).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            QDir(disk + u'/' + name).removeRecursively() || QFile::remove(disk + u'/' + name);
        road.SetTemporaryParent(disk);
    }
    // Leaves about free bytes of room on the disk.
    void Leave(qint64 free) {
        QFile filler(disk + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const qint64 size = 512 * 1024 - free;
        ASSERT_EQ(filler.write(QByteArray(size, 'f')), size);
    }
    void ExpectFullDisk(const QString& error) {
        EXPECT_TRUE(error.contains(kFull)) << error.toStdString();
        EXPECT_FALSE(error.contains(QStringLiteral("Unknown error"))) << error.toStdString();
        EXPECT_TRUE(error.contains(disk)) << "the message names the folder: " << error.toStdString();
    }
    QStringList Left() const {
        QStringList files;
        for (const QString& folder : QDir(disk).entryList({QStringLiteral("Quelvane-*")}, QDir::Dirs))
            files += QDir(disk + u'/' + folder).entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("Quelvane.lock"));  // the run's own mark stays with its folder
        return files;
    }

    QString disk;
    TextCipher road;
};

TEST_F(FullDisk, EncryptionNamesTheCause) {
    const QString text(150 * 1024, u't');
    QString hex, error;
    Leave(200 * 1024);  // room for the text, not for its ciphertext as well
    EXPECT_FALSE(road.Encrypt(QStringLiteral("pw"), text, hex, &error));
    ExpectFullDisk(error);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u' ').toStdString();

    QFile::remove(disk + QStringLiteral("/filler"));
    Leave(100 * 1024);  // not even room for the text
    EXPECT_FALSE(road.Encrypt(QStringLiteral("pw"), text, hex, &error));
    ExpectFullDisk(error);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u' ').toStdString();
}

TEST_F(FullDisk, DecryptionNamesTheCause) {
    QString hex, error;
    {
        QTemporaryDir roomy;
        TextCipher elsewhere;
        elsewhere.SetTemporaryParent(roomy.path());
        ASSERT_TRUE(elsewhere.Encrypt(QStringLiteral("pw"), QString(150 * 1024, u't'), hex, &error));
    }
    Leave(200 * 1024);  // room for the ciphertext, not for the text as well
    TextCipher::Decryption result;
    EXPECT_FALSE(road.Decrypt(QStringLiteral("pw"), hex, result, &error));
    ExpectFullDisk(error);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u' ').toStdString();
}

TEST_F(FullDisk, SavesNameTheCause) {
    Leave(64 * 1024);
    const QString target = disk + QStringLiteral("/notes.TxT");
    QString error;
    EXPECT_FALSE(SaveFileAtomically(target, QByteArray(100 * 1024, 'n'), &error));
    ExpectFullDisk(error);
    EXPECT_FALSE(QFile::exists(target));
}

}  // namespace
