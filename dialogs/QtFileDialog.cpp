// SPDX-License-Identifier: MIT
// The real file dialog: Qt's own widget dialog rather than the desktop's, so
// it looks and behaves the same everywhere, headless sessions included.
#include <QDir>
#include <QFileDialog>

#include "dialogs/FileDialogs.h"

namespace quelvane {

std::optional<QString> RunQtFileDialog(const FileDialogRequest& request) {
    // No owner window: the dialog is a window of its own.
    QFileDialog dialog(nullptr, request.title, request.initialFolder);
    dialog.setObjectName(request.save ? QStringLiteral("ShowSaveDialog") : QStringLiteral("ShowOpenDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The commands ask about overwriting and add their suffix themselves, and
    // an open may name a file that does not exist (the command reports it).
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(QString());
    // File names are case-sensitive here, but "*.TxT" should also list
    // notes.txt and NOTES.TXT written elsewhere.
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    if (!request.filterPattern.isEmpty())
        dialog.setNameFilter(request.filterName + QStringLiteral(" (") + request.filterPattern + u')');

    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    return files.first();
}

}  // namespace quelvane
