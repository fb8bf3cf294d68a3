// SPDX-License-Identifier: MIT
#pragma once
// Module1 (ShowSaveDialog) and Module2 (ShowOpenDialog): ask the user for a
// file to write or to read, through the window system so tests can script it.
#include <QString>
#include <QStringList>
#include <optional>

#include "core/WindowSystem.h"

namespace quelvane {

// The full chosen path, or nothing when the user cancelled (or chose a path
// too long for the file system). Entry 0 of the two lists is the dialog's
// filter when FilterCount is 1 or more (every caller passes 1); with 0 the
// dialog lists every file. A NUL in the answer ends the path.
std::optional<QString> ShowSaveDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount);
std::optional<QString> ShowOpenDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount);

// Where a dialog for files of a kind (the filter's suffix: "QvP", "TxT",
// "QvH") starts: the folder a file of that kind was last chosen in, while it
// is still a folder, else the home folder. Each kind's folder is kept in the
// user's settings, ~/.config/Quelvane/Quelvane.conf.
QString StartFolder(const QString& kind);
// Keeps the folder of a chosen file as its kind's start folder.
void KeepFolder(const QString& kind, const QString& chosenPath);

// How many entries of the filter lists a FilterCount uses: the index runs from
// 0 to FilterCount - 1 (bound in single precision), never past either list.
qsizetype UsedFilterEntries(const QStringList& FilterPatterns, const QStringList& FilterNames, float FilterCount);
// The filters as the dialog shows them, e.g. "TxT (*.TxT)".
QStringList FilterEntries(const QStringList& FilterPatterns, const QStringList& FilterNames, float FilterCount);

// Longest path and longest name (in bytes of the local file name encoding)
// the file system takes; a longer choice comes back as nothing.
inline constexpr qsizetype kMaxPathBytes = 4095;
inline constexpr qsizetype kMaxNameBytes = 255;
bool PathFitsFileSystem(const QString& path);

// The real dialog behind QtWindowSystem::ChooseFile.
std::optional<QString> RunQtFileDialog(const FileDialogRequest& request);

}  // namespace quelvane
