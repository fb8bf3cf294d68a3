// SPDX-License-Identifier: MIT
#pragma once
// The private folder of one run for the temporary files of the encrypt and
// decrypt commands: owner-only, made on first use, removed with the object.
// It is made on memory-backed storage where there is one, so plaintext does
// not reach a disk: $XDG_RUNTIME_DIR, else /dev/shm, else the temporary folder.
#include <QString>
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

    // The folder, made on first use. False with *error when it cannot be made.
    bool Path(QString& path, QString* error);

    // The default place of the folder.
    static QString DefaultParent();

private:
    QString parent;
    std::unique_ptr<QTemporaryDir> dir;
};

}  // namespace quelvane
