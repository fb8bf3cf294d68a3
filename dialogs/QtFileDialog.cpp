// SPDX-License-Identifier: MIT
// The real file dialog: Qt's own widget dialog rather than the desktop's, so
// it looks and behaves the same everywhere, headless sessions included.
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTreeView>

#include "dialogs/FileDialogs.h"

namespace quelvane {

namespace {

// A typed pattern ("*.txt", "notes?.TxT") narrows the list, as in the
// platform's own dialogs, and shows in "Files of type"; it is no file name.
class FileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        QLineEdit* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        const QString typed = name ? name->text().trimmed() : QString();
        if (!typed.contains(u'*') && !typed.contains(u'?')) return QFileDialog::accept();
        QStringList filters = nameFilters();
        if (!filters.contains(typed)) setNameFilters(filters << typed);
        selectNameFilter(typed);
        name->clear();
    }
};

// Wide enough for a file's name, size, type and date side by side, each
// whole; never wider than the screen.
void SizeForDetails(QFileDialog& dialog) {
    const QFontMetrics metrics(dialog.font());
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int width =
        std::min(area.width() * 9 / 10, std::max(dialog.sizeHint().width(), metrics.averageCharWidth() * 120));
    const int height = std::min(area.height() * 9 / 10, std::max(dialog.sizeHint().height(), metrics.height() * 26));
    dialog.resize(width, height);
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        for (int column = 1; column < header->count(); ++column)
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
        header->setMinimumSectionSize(metrics.averageCharWidth() * 6);
    }
    dialog.setViewMode(QFileDialog::Detail);
}

}  // namespace

std::optional<QString> RunQtFileDialog(const FileDialogRequest& request) {
    // No owner window: the dialog is a window of its own.
    FileDialog dialog(nullptr, request.title, request.initialFolder);
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
    // "Files of type" always names what is listed: Qt leaves it blank for an
    // empty filter.
    if (!request.filterPattern.isEmpty()) {
        const QString name = request.filterName.isEmpty() ? request.filterPattern : request.filterName;
        dialog.setNameFilter(name + QStringLiteral(" (") + request.filterPattern + u')');
    } else {
        dialog.setNameFilter(QCoreApplication::translate("quelvane::FileDialog", "All Files (*)"));
    }
    SizeForDetails(dialog);

    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    return files.first();
}

}  // namespace quelvane
