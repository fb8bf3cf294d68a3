// SPDX-License-Identifier: MIT
#include "core/TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace quelvane {

namespace {

// A folder we may make our own folder in.
bool Usable(const QString& folder) {
    if (folder.isEmpty()) return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

}  // namespace

TemporaryFolder::TemporaryFolder() = default;
TemporaryFolder::~TemporaryFolder() = default;

void TemporaryFolder::SetParent(const QString& folder) {
    parent = folder;
    dir.reset();
}

QString TemporaryFolder::DefaultParent() {
    for (const QString& candidate : {qEnvironmentVariable("XDG_RUNTIME_DIR"), QStringLiteral("/dev/shm")})
        if (Usable(candidate)) return candidate;
    return QDir::tempPath();
}

bool TemporaryFolder::Path(QString& path, QString* error) {
    if (!dir || !dir->isValid()) {
        const QString where = parent.isEmpty() ? DefaultParent() : parent;
        dir = std::make_unique<QTemporaryDir>(where + QStringLiteral("/Quelvane-XXXXXX"));
        if (!dir->isValid()) {
            if (error) *error = dir->errorString();
            dir.reset();
            return false;
        }
        QFile::setPermissions(dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    path = dir->path();
    return true;
}

}  // namespace quelvane
