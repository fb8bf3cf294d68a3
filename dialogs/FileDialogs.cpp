// SPDX-License-Identifier: MIT
// Module1 (ShowSaveDialog) and Module2 (ShowOpenDialog). The two differ only
// in the save flag of the request.
#include "dialogs/FileDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace quelvane {

qsizetype UsedFilterEntries(const QStringList& FilterPatterns, const QStringList& FilterNames, float FilterCount) {
    // The index runs from 0 to FilterCount - 1, that bound taken in single
    // precision; entries the lists do not have are never used.
    const float bound = FilterCount - 1.0f;
    if (!(bound >= 0.0f)) return 0;  // also NaN
    const qsizetype have = qMin(FilterPatterns.size(), FilterNames.size());
    if (bound >= static_cast<float>(have)) return have;
    return qMin(have, static_cast<qsizetype>(std::floor(bound)) + 1);
}

QStringList FilterEntries(const QStringList& FilterPatterns, const QStringList& FilterNames, float FilterCount) {
    QStringList entries;
    const qsizetype n = UsedFilterEntries(FilterPatterns, FilterNames, FilterCount);
    for (qsizetype i = 0; i < n; ++i) entries << FilterNames[i] + QStringLiteral(" (") + FilterPatterns[i] + u')';
    return entries;
}

bool PathFitsFileSystem(const QString& path) {
    const QByteArray local = QFile::encodeName(path);
    if (local.isEmpty() || local.size() > kMaxPathBytes) return false;
    for (const QByteArray& part : local.split('/'))
        if (part.size() > kMaxNameBytes) return false;
    return true;
}

QString InitialFolderFor(const QString& programFolder) {
    const QFileInfo info(programFolder);
    if (!programFolder.isEmpty() && info.isDir() && info.isWritable()) return info.absoluteFilePath();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString InitialFolder() { return InitialFolderFor(QCoreApplication::applicationDirPath()); }

namespace {

std::optional<QString> AskForFile(WindowSystem& ws, bool save, const QString& DialogTitle,
                                  const QStringList& FilterPatterns, const QStringList& FilterNames,
                                  float FilterCount) {
    FileDialogRequest request;
    request.save = save;
    request.title = DialogTitle;
    // The request carries one filter; every caller uses exactly one.
    if (UsedFilterEntries(FilterPatterns, FilterNames, FilterCount) > 0) {
        request.filterName = FilterNames[0];
        request.filterPattern = FilterPatterns[0];
    }
    request.initialFolder = InitialFolder();

    std::optional<QString> chosen = ws.ChooseFile(request);
    if (!chosen) return std::nullopt;
    QString path = *chosen;
    const qsizetype nul = path.indexOf(QChar(u'\0'));
    if (nul >= 0) path.truncate(nul);
    // A path the file system cannot take is refused like a cancel: the
    // caller then does nothing rather than fail later on a mangled name.
    if (path.isEmpty() || !PathFitsFileSystem(path)) return std::nullopt;
    return path;
}

}  // namespace

std::optional<QString> ShowSaveDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount) {
    return AskForFile(ws, true, DialogTitle, FilterPatterns, FilterNames, FilterCount);
}

std::optional<QString> ShowOpenDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount) {
    return AskForFile(ws, false, DialogTitle, FilterPatterns, FilterNames, FilterCount);
}

}  // namespace quelvane
