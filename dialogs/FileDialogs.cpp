// SPDX-License-Identifier: MIT
// Module1 (ShowSaveDialog) and Module2 (ShowOpenDialog). The two differ only
// in the save flag of the request.
#include "dialogs/FileDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

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

namespace {

// The same file whatever names the running program gave itself.
QSettings Settings() { return QSettings(QStringLiteral("Quelvane"), QStringLiteral("Quelvane")); }

QString FolderKey(const QString& kind) {
    return QStringLiteral("Folders/") + (kind.isEmpty() ? QStringLiteral("Any") : kind);
}

}  // namespace

QString StartFolder(const QString& kind) {
    // Never the program's own folder (/usr/bin for an installed copy): the
    // user's files are not there.
    const QString kept = Settings().value(FolderKey(kind)).toString();
    if (QDir::isAbsolutePath(kept) && QFileInfo(kept).isDir()) return kept;
    return QDir::homePath();
}

void KeepFolder(const QString& kind, const QString& chosenPath) {
    const QFileInfo chosen(chosenPath);
    if (!chosen.isAbsolute() || !QFileInfo(chosen.absolutePath()).isDir()) return;
    Settings().setValue(FolderKey(kind), chosen.absolutePath());
}

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
    // Password, text and hex files each have a folder of their own.
    const QString kind = request.filterPattern.section(u'.', -1);
    request.initialFolder = StartFolder(kind);

    std::optional<QString> chosen = ws.ChooseFile(request);
    if (!chosen) return std::nullopt;
    QString path = *chosen;
    const qsizetype nul = path.indexOf(QChar(u'\0'));
    if (nul >= 0) path.truncate(nul);
    // A path the file system cannot take is refused like a cancel: the
    // caller then does nothing rather than fail later on a mangled name.
    if (path.isEmpty() || !PathFitsFileSystem(path)) return std::nullopt;
    KeepFolder(kind, path);
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
