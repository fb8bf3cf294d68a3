// SPDX-License-Identifier: MIT
#pragma once
// The private folder of one run for the temporary files of the encrypt and
// decrypt commands: owner-only, made on first use, removed with the object.
// It is made on memory-backed storage where there is one, so plaintext does
// not reach a disk: $XDG_RUNTIME_DIR, else /dev/shm, else the temporary
// folder ($TMPDIR when it exists, else /tmp).
//
// A run that is killed cannot remove its folder, and the folder may hold the
// plaintext of the command it was in. So each run keeps its folder locked
// (flock on the folder) and marked (a file Quelvane.lock naming the program)
// while it lives; a later start removes the marked folders whose lock nobody
// holds (RemoveAbandoned), and nothing else. A signal that ends the process
// (INT, TERM, HUP) removes the folder and the files named to RemoveOnSignal.
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QTemporaryDir;

namespace quelvane {

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // Where the folder is made from now on; empty for the default place.
    void SetParent(const QString& folder);

    // The folder, made on first use (again when something removed it). False
    // with *error when it cannot be made.
    bool Path(QString& path, QString* error);

    // The default place of the folder.
    static QString DefaultParent();
    // The rule behind it: the runtime folder when it is a folder of ours we
    // can write in, else the shared-memory folder, else the temporary folder
    // (tmpDir when it is a folder we can write in, else /tmp).
    static QString ChooseParent(const QString& runtimeDir, const QString& sharedMemory, const QString& tmpDir);
    // Every place a run of this user may have made its folder in.
    static QStringList Places();

    // A file of the folder that a signal ending the process removes too.
    void RemoveOnSignal(const QString& name);

    // Removes, in the given places, the folders of this user's runs that
    // ended without removing them: named exactly as ours, carrying our mark,
    // their lock free. A folder whose lock is held belongs to a running copy
    // and stays. Only the folder's files go with it. Returns how many went.
    static int RemoveAbandoned(const QStringList& places = Places());

private:
    void Release();

    QString parent;
    std::unique_ptr<QTemporaryDir> dir;
    int lockFd = -1;
    QList<int> removeOnSignal;  // slots of the cleanup list
};

}  // namespace quelvane
