#pragma once
// Module1 (ShowSaveDialog) and Module2 (ShowOpenDialog): ask the user for a
// file to write or to read, through the window system so tests can script it.
#include <QString>
#include <QStringList>
#include <optional>

#include "WindowSystem.h"

namespace quelvane {

// The full chosen path, or nothing when the user cancelled. FilterCount
// entries of the two lists are used, from entry 0.
std::optional<QString> ShowSaveDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount);
std::optional<QString> ShowOpenDialog(WindowSystem& ws, const QString& DialogTitle, const QStringList& FilterPatterns,
                                      const QStringList& FilterNames, float FilterCount);

// The program's folder when it can be written, otherwise the user's documents folder.
QString InitialFolder();

// The real dialog behind QtWindowSystem::ChooseFile.
std::optional<QString> RunQtFileDialog(const FileDialogRequest& request);

}  // namespace quelvane
