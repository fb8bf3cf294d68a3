// SPDX-License-Identifier: MIT
// The window's file commands: the three saves through their one procedure,
// the three loads, files named at start and files dropped on the window.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <algorithm>

#include "app/frmMain.h"
#include "core/FileLoads.h"
#include "core/PasswordGenerator.h"
#include "dialogs/FileDialogs.h"
#include "formats/AgeText.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

namespace quelvane {

namespace {
const QString kCaption = QStringLiteral(" Quelvane");
}  // namespace

// --- file commands -----------------------------------------------------------

void frmMain::SavePassWord_Click() {
    SaveFile({true, tr("Enter PassWord First"), tr("Save Quelvane PassWord"), QStringLiteral("*.QvP"),
              QStringLiteral("QvP"), QStringLiteral(".QvP"), tr("PassWord Saved As ")});
}

void frmMain::SaveTexFile_Click() {
    SaveFile({false, tr("Enter Some TxT First"), tr("Save TxT File"), QStringLiteral("*.TxT"), QStringLiteral("TxT"),
              QStringLiteral(".TxT"), tr("Your TxT File Saved As ")});
}

void frmMain::SaveQuelvane_Click() {
    if (AgeText::IsAge(QStringView(WorkText())))
        return SaveFile({false, tr("Enter Some Txt First"), tr("Save age File"), QStringLiteral("*.age"),
                         QStringLiteral("age"), QStringLiteral(".age"), tr("Your age text saved as "), true});
    SaveFile({false, tr("Enter Some Txt First"), tr("Save Hex QvH File"), QStringLiteral("*.QvH"),
              QStringLiteral("QvH"), QStringLiteral(".QvH"), tr("Your Quelvane Saved As ")});
}

// The one save procedure of the three save commands.
void frmMain::SaveFile(const SaveValues& v) {
    const QString source = v.password ? txtKey->text() : WorkText();
    if (source.isEmpty()) return Warn(v.emptyMessage);

    // A password file holds byte text, or the UTF-8 mark and UTF-8 for a
    // password beyond Windows-1252; a work text is whatever the text file's
    // encoding makes of it.
    QByteArray bytes;
    qsizetype bad = 0;
    if (v.password && !MarkedBytes(source, false, bytes, &bad))
        return Warn(KeyFaultMessage(KeyFault::LoneSurrogate, CharacterNumber(source, bad), tr("it cannot be saved")));

    const std::optional<QString> chosen =
        ShowSaveDialog(ws, v.dialogTitle, {v.filterPattern, QString()}, {v.filterName, QString()}, 1);
    if (!chosen) return WipeBytes(bytes);
    QString path = *chosen;
    while (path.startsWith(u' ')) path.remove(0, 1);
    while (path.endsWith(u' ')) path.chop(1);
    if (path.isEmpty()) return WipeBytes(bytes);  // nothing but blanks: nothing chosen
    // Always, also after a name that has it: key.QvP -> key.QvP.QvP; age's
    // files are named as the age program names them.
    if (!v.age || !path.endsWith(v.suffix, Qt::CaseInsensitive)) path += v.suffix;
    hidden.Text1 = path;
    hidden.txtDestination = path;

    const bool exists = RegularFileExists(path);
    if (exists && ws.MessageBox(tr("Output File Already Exist. Do you want To OVERWRITE It?"), kCaption,
                                MessageIcon::Exclamation, MessageButtons::YesNo) != MessageAnswer::Yes)
        return WipeBytes(bytes);

    // Replaced only after a yes: a file that appears meanwhile is not. A
    // large text is encoded and written on the worker, a piece at a time, so
    // Escape stops it before anything is put in place.
    QString error;
    bool saved = false;
    const QString target = path;
    const Existing existing = exists ? Existing::Replace : Existing::Refuse;
    const bool finished = RunLong(
        [&] {
            if (v.age && std::all_of(source.cbegin(), source.cend(), [](QChar c) { return c.unicode() < 0x80; }))
                bytes = source.toLatin1();
            else if (!v.password)
                bytes = EncodeTextFile(source);
            const qsizetype total = bytes.size();
            const auto produce = [&](FileSink& out) {
                constexpr qsizetype kPiece = qsizetype(1) << 20;
                for (qsizetype at = 0; at < total; at += kPiece)
                    if (!background->Report(at, total) || !out.Put(bytes.constData() + at, qMin(kPiece, total - at)))
                        return false;
                return true;
            };
            if (!background->Cancelled()) saved = WriteFileAtomically(target, produce, &error, existing);
        },
        true);
    WipeBytes(bytes);
    if (closing || (!finished && !saved)) return;  // cancelled: nothing was written
    if (!saved) return Warn(error);
    if (v.password)
        passwordTyped = false;
    else
        workUnkept = false;
    Warn(v.donePrefix + QStringLiteral("\r\n") + ShownName(hidden.txtDestination));
}

std::optional<QString> frmMain::AskFileToLoad(const QString& title, const QString& pattern, const QString& name) {
    return ShowOpenDialog(ws, title, {pattern, QString()}, {name, QString()}, 1);
}

void frmMain::LoadPassWord_Click() {
    const std::optional<QString> path =
        AskFileToLoad(tr("Load Quelvane PassWord"), QStringLiteral("*.QvP"), QStringLiteral("QvP"));
    if (path) LoadPassWordFrom(*path);
}

void frmMain::LoadPassWordFrom(const QString& path, Asked asked) {
    QString password, error;
    qsizetype length = 0;
    if (!LoadPasswordFile(path, password, &length, &error))
        return Warn(tr("%1. The password was not changed.").arg(error));

    const QString before = txtKey->text();
    txtKey->setText(password);
    if (txtKey->text() != password) {
        txtKey->setText(before);
        return Warn(tr("The password box cannot take the characters of %1. The password was not changed.")
                        .arg(ShownName(path)));
    }
    hidden.txtSource = path;
    passwordTyped = false;
    loadedOne = true;
    if (length > kPasswordMax)
        Warn(tr("%1 holds %2 characters; the password box keeps the first 448.")
                 .arg(ShownName(path), QString::number(length)));
    else if (password.endsWith(u'\n') || password.endsWith(u'\r'))
        Warn(tr("%1 ends with a line break, which is part of the password; a password file made with an editor "
                "may hold one it was not meant to.")
                 .arg(ShownName(path)));
    if (asked == Asked::ByCommand)
        Warn(tr("PassWord Loaded From ") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
}

void frmMain::LoadTexFile_Click() {
    const std::optional<QString> path =
        AskFileToLoad(tr("Load TxT File"), QStringLiteral("*.TxT"), QStringLiteral("TxT"));
    if (path) LoadTexFileFrom(*path);
}

void frmMain::LoadTexFileFrom(const QString& path, Asked asked) {
    QString text, error;
    bool loaded = false;
    if (!RunLong([&] { loaded = LoadTextFile(path, text, &error); }, true)) {
        text.fill(QChar(0));  // cancelled: the box keeps what it held
        return;
    }
    if (!loaded) return Warn(error);
    loadedOne = true;
    hidden.txtSource = path;
    hidden.List1 = QStringList();  // no second copy of the text
    SetWorkText(text);
    workUnkept = false;  // it is in its file
    if (asked == Asked::ByCommand)
        Warn(tr("Your TxT File Is Loaded From") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
}

void frmMain::LoadQuelvane_Click() {
    if (txtKey->text().isEmpty()) return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    const std::optional<QString> path =
        AskFileToLoad(tr("Load Hex QvH File"), QStringLiteral("*.age *.QvH"), QStringLiteral("age, QvH"));
    if (path) LoadQuelvaneFrom(*path);
}

void frmMain::LoadQuelvaneFrom(const QString& path, Asked asked) {
    // Asked again: the password may have been cleared while the dialog was
    // open. A window opened with the file has none yet; it is asked for next.
    if (asked == Asked::ByCommand && txtKey->text().isEmpty())
        return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    QString hex, error;
    bool loaded = false;
    if (!RunLong([&] { loaded = LoadHexFile(path, hex, &error); }, true)) return;
    if (!loaded) return Warn(error);
    loadedOne = true;
    hidden.txtSource = path;
    hidden.List1.clear();
    SetWorkText(hex);
    workUnkept = false;
    if (asked == Asked::AtStart) return txtKey->setFocus();
    if (AgeText::IsAge(QStringView(WorkText())))
        return Warn(tr("Your age text was loaded from") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
    Warn(tr("Your Hex Quelvane Loaded From") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
}

void frmMain::LoadStartFiles(const QStringList& paths) {
    // Each in order, as before; the work text and the password box hold one
    // file each, so when several load into one the user is told which stays.
    QStringList works, passwords;
    for (const QString& path : paths) {
        loadedOne = false;
        if (!LoadBySuffix(path, Asked::AtStart))
            Warn(tr("%1 is not a file Quelvane opens: it opens .QvH (hex), .age, .TxT (text) and .QvP "
                    "(password) files. Nothing was loaded from it.")
                     .arg(ShownName(path)));
        else if (loadedOne)
            (path.endsWith(QStringLiteral(".QvP"), Qt::CaseInsensitive) ? passwords : works) << path;
        if (closing) return;
    }
    WarnIfSeveral(works, false);
    WarnIfSeveral(passwords, true);
}

void frmMain::WarnIfSeveral(const QStringList& loaded, bool password) {
    if (loaded.size() < 2) return;
    QStringList earlier;
    for (qsizetype i = 0; i + 1 < loaded.size(); ++i) earlier << ShownName(loaded[i]);
    const QString list = earlier.join(QStringLiteral(", "));
    Warn(password ? tr("Several password files were named, and the password box holds one: it keeps the last, %1; %2 "
                       "was replaced by it.")
                        .arg(ShownName(loaded.last()), list)
                  : tr("Several files were named for the work text, which holds one at a time: it keeps the last, %1; "
                       "%2 was replaced by it.")
                        .arg(ShownName(loaded.last()), list));
}

bool frmMain::LoadBySuffix(const QString& path, Asked asked) {
    // The same loads as the menu's, chosen by the suffix (in any case, as the
    // dialogs list them). A ciphertext file's format is told by its content.
    if (path.endsWith(QStringLiteral(".QvH"), Qt::CaseInsensitive) ||
        path.endsWith(QStringLiteral(".age"), Qt::CaseInsensitive))
        LoadQuelvaneFrom(path, asked);
    else if (path.endsWith(QStringLiteral(".TxT"), Qt::CaseInsensitive))
        LoadTexFileFrom(path, asked);
    else if (path.endsWith(QStringLiteral(".QvP"), Qt::CaseInsensitive))
        LoadPassWordFrom(path, asked);
    else
        return false;
    return true;
}

// --- drag and drop ---------------------------------------------------------------

bool frmMain::LoadDroppedFiles(const QList<QUrl>& urls) {
    if (background->Running()) return false;  // no second command while one works
    if (urls.size() != 1) {
        Warn(tr("Drop one file at a time: a .QvH, .age, .TxT or .QvP file. Nothing was loaded."));
        return false;
    }
    if (!urls[0].isLocalFile()) {
        Warn(tr("%1 is not a file on this computer. Nothing was loaded.")
                 .arg(ShownName(urls[0].toDisplayString(QUrl::PreferLocalFile))));
        return false;
    }
    // From the URL's bytes: a name that is not UTF-8 stays the file's own.
    const QString path = NameFromBytes(QByteArray::fromPercentEncoding(urls[0].path(QUrl::FullyEncoded).toLatin1()));
    if (LoadBySuffix(path, Asked::ByCommand)) return true;
    Warn(tr("%1 is not a file Quelvane loads. Drop a .QvH (hex), .age, .TxT (text) or .QvP (password) "
            "file. Nothing was loaded.")
             .arg(ShownName(path)));
    return false;
}

void frmMain::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void frmMain::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls()) return;
    event->acceptProposedAction();
    const QList<QUrl> urls = event->mimeData()->urls();
    // After the drop has finished: the file manager is not kept waiting on a message box.
    QTimer::singleShot(0, this, [this, urls] { LoadDroppedFiles(urls); });
}

}  // namespace quelvane
