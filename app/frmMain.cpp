// SPDX-License-Identifier: MIT
#include "app/frmMain.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "about/Info1.h"
#include "app/PasswordEvents.h"
#include "core/FileLoads.h"
#include "core/PasswordGenerator.h"
#include "dialogs/FileDialogs.h"
#include "system/UserFiles.h"
#include "text/Payload.h"
#include "text/QtByteText.h"
#include "text/TextFileCodec.h"

// The icons live in the static library; the resource must be pulled in by name.
static void InitResources() { Q_INIT_RESOURCE(quelvane); }

namespace quelvane {

namespace {

const QString kTitle = QStringLiteral("Quelvane");
const QString kCaption = QStringLiteral(" Quelvane");
constexpr int kTwipsPerPixel = 15;

QRect Twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

// The client area as designed, and the two controls that follow its size.
const QSize kClientSize(6135 / kTwipsPerPixel, 3315 / kTwipsPerPixel);
const QRect kWorkTextRect = Twips(0, 720, 6135, 2295);
const QRect kStripRect = Twips(0, 3120, 6135, 255);

// Where a font of the design is missing, the next family of the list, then
// the style's kind of face, stands in.
QFont DesignFont(const QStringList& families, double points, bool bold, QFont::StyleHint hint) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(hint);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

}  // namespace

frmMain::frmMain(WindowSystem& windowSystem, QWidget* parent) : QMainWindow(parent), ws(windowSystem) {
    road.OnBusy([this](bool busy) { ws.SetBusyPointer(busy); });
    clipboardExpiry.setSingleShot(true);
    clipboardExpiry.setInterval(kClipboardSeconds * 1000);
    connect(&clipboardExpiry, &QTimer::timeout, this, [this] { ws.ClearSecretClipboard(); });
    BuildWindow();
    BuildMenu();
    Form_Load();
}

frmMain::~frmMain() = default;

void frmMain::BuildWindow() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kCaption);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    InitResources();
    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/quelvane-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The grey is the design's own colour, not the desktop's, so the labels on
    // it keep the design's text colour too: a dark desktop's light text would
    // fade into it. The boxes keep the desktop's colours.
    QPalette grey = client->palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    grey.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x00));
    client->setPalette(grey);
    client->setAutoFillBackground(true);
    // Opens at the designed size and never gets smaller: below it the password
    // row would be cut.
    client->setMinimumSize(kClientSize);
    client->resize(kClientSize);
    client->installEventFilter(this);
    setCentralWidget(client);

    const QStringList sans{QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                           QStringLiteral("DejaVu Sans")};

    txtKey = new QLineEdit(client);
    txtKey->setObjectName(QStringLiteral("txtKey"));
    txtKey->setGeometry(Twips(1200, 240, 3945, 330));
    txtKey->setEchoMode(QLineEdit::Password);
    txtKey->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // '*'
    txtKey->setMaxLength(kPasswordMax);
    txtKey->setFont(DesignFont({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                                QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")},
                               8.25, false, QFont::Monospace));
    txtKey->setToolTip(tr("Enter PassWord  (Max 448 Characters) "));
    MaskPasswordEvents();  // else its accessibility events would give the typed characters away
    connect(txtKey, &QLineEdit::textChanged, this, &frmMain::txtKey_Change);

    Label1 = new QLabel(tr("Password"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Twips(240, 300, 900, 180));
    Label1->setFont(DesignFont(sans, 8.25, true, QFont::SansSerif));

    frmText1 = new WorkTextEdit(client);
    frmText1->setObjectName(QStringLiteral("frmText1"));
    frmText1->setGeometry(kWorkTextRect);
    frmText1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    frmText1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    Label2 = new QLabel(client);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(kStripRect);
    Label2->setToolTip(tr("Quelvane %1: keep your password; without it the text cannot be read again.")
                           .arg(QStringLiteral(QUELVANE_VERSION)));

    PNum = new QLineEdit(client);
    PNum->setObjectName(QStringLiteral("PNum"));
    PNum->setGeometry(Twips(5280, 240, 495, 330));
    PNum->setReadOnly(true);
    PNum->setAlignment(Qt::AlignCenter);
    PNum->setFont(DesignFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")},
                             9.75, true, QFont::SansSerif));

    setTabOrder(txtKey, frmText1);
    setTabOrder(frmText1, PNum);
    txtKey->setFocus();

    // What a screen reader says for each control: the label names the
    // password box; the others have no label of their own.
    Label1->setBuddy(txtKey);
    PNum->setAccessibleName(tr("Password length"));
    frmText1->setAccessibleName(tr("Work text"));
    frmText1->setAccessibleDescription(tr("The text to encrypt, or the hex text to decrypt"));
    connect(frmText1, &WorkTextEdit::textChanged, this, [this] { ciphertextShown = false; });

    // Files dropped anywhere on the window load as the menu's loads would.
    setAcceptDrops(true);
    txtKey->installEventFilter(this);
    PNum->installEventFilter(this);

    resize(sizeHint());
}

void frmMain::PlaceControls() {
    // The password row stays where it was designed, at the top left; the work
    // text box takes all the room the window gained, and the strip stays
    // along the bottom edge, full width.
    const QSize grown = centralWidget()->size() - kClientSize;
    frmText1->setGeometry(kWorkTextRect.adjusted(0, 0, grown.width(), grown.height()));
    Label2->setGeometry(kStripRect.translated(0, grown.height()).adjusted(0, 0, grown.width(), 0));
}

void frmMain::BuildMenu() {
    QMenu* File1 = menuBar()->addMenu(tr("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    File1->menuAction()->setObjectName(QStringLiteral("File1"));
    File1->setSeparatorsCollapsible(false);  // the menu's separators are all drawn, doubled ones too

    auto separator = [&](const char* name) { File1->addSeparator()->setObjectName(QLatin1String(name)); };
    // Shortcuts take no key that the text boxes use (on X11 Qt's boxes take
    // Ctrl+E, Ctrl+D, Ctrl+K and Ctrl+U for moving and deleting).
    auto item = [&](const char* name, const QString& caption, void (frmMain::*handler)(), const QKeySequence& keys) {
        QAction* action = File1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        if (handler) connect(action, &QAction::triggered, this, handler);
        return action;
    };
    using Key = QKeySequence;

    separator("space8");
    item("GenerateRandomPassWord", tr("&Generate Random PassWord"), &frmMain::GenerateRandomPassWord_Click,
         Key(Qt::CTRL | Qt::Key_G));
    item("SavePassWord", tr("&Save PassWord"), &frmMain::SavePassWord_Click, Key(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    item("LoadPassWord", tr("&Load PassWord"), &frmMain::LoadPassWord_Click, Key(Qt::CTRL | Qt::Key_P));
    separator("Space1");
    separator("space");
    item("Quelvane", tr("&Quelvane"), &frmMain::Quelvane_Click, Key(Qt::CTRL | Qt::Key_L));
    item("DeQuelvane", tr("&DeQuelvane"), &frmMain::DeQuelvane_Click, Key(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    item("SaveQuelvane", tr("&Save Quelvane"), &frmMain::SaveQuelvane_Click, Key(Qt::CTRL | Qt::Key_S));
    item("LoadQuelvane", tr("&Load Quelvane"), &frmMain::LoadQuelvane_Click, Key(Qt::CTRL | Qt::Key_O));
    separator("Space5");
    separator("space7");
    item("SaveTexFile", tr("&Save Tex File"), &frmMain::SaveTexFile_Click, Key(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    item("LoadTexFile", tr("&Load Tex File"), &frmMain::LoadTexFile_Click, Key(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    item("CopyTexBoxToClipboard", tr("&Copy Tex  Box To Clipboard"), &frmMain::CopyTexBoxToClipboard_Click,
         Key(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    separator("Space2");
    separator("Space4");
    item("InFo", tr("&InFo"), &frmMain::InFo_Click, Key(Qt::Key_F1));
    separator("Space3");
    item("Exit1", tr("&Exit"), &frmMain::Exit1_Click, Key(Qt::CTRL | Qt::Key_Q));
    separator("Space6");
}

void frmMain::CentreOnScreen() {
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    adjustSize();
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

QString frmMain::WorkText() const { return frmText1->toPlainText(); }

void frmMain::SetWorkText(const QString& text) { frmText1->setPlainText(text); }

void frmMain::Warn(const QString& text) { ws.MessageBox(text, kTitle, MessageIcon::Exclamation); }

// --- start-up and closing -------------------------------------------------

void frmMain::Form_Load() {
    // The cipher object is the road's, made with it and fresh for every command.
    hidden.WrongPassword = 0;
}

void frmMain::txtKey_Change() {
    // Characters as a person counts them: a pair of surrogates is one.
    const QString password = txtKey->text();
    PNum->setText(QString::number(password.isEmpty() ? 0 : CharacterNumber(password, password.size()) - 1));
}

void frmMain::closeEvent(QCloseEvent* event) {
    int Cancel = 0;
    Form_Unload(Cancel);
    event->accept();  // closing is never refused
}

void frmMain::Form_Unload(int& Cancel) {
    (void)Cancel;
    ClosingSlide();
}

void frmMain::Exit1_Click() { ClosingSlide(); }

void frmMain::ClosingSlide() {
    if (closing) return;
    closing = true;
    // The window slides down and right, shrinking, until its top passes the
    // screen's width. A refused move ends it (a minimised window has nothing
    // to show); the steps the slide needs and about a second bound it where
    // the window does not move.
    std::optional<WindowGeometry> geometry = ws.MainWindowGeometry();
    if (geometry) {
        const double screenWidth = ws.ScreenWidth();
        const double steps = std::clamp((screenWidth - geometry->top) / 30.0 + 2.0, 1.0, 1.0e5);
        QElapsedTimer clock;
        clock.start();
        for (double step = 0; step < steps && clock.elapsed() < 1000; ++step) {
            if (!ws.SetMainWindowGeometry(
                    {geometry->left + 30, geometry->top + 30, geometry->width - 60, geometry->height - 60}))
                break;
            const std::optional<WindowGeometry> now = ws.MainWindowGeometry();
            if (!now) break;
            geometry = now;
            if (geometry->top > screenWidth) break;
        }
    }
    ws.ClearSecretClipboard();
    ws.EndProgram();
}

// --- encrypt and decrypt -------------------------------------------------------

void frmMain::Quelvane_Click() {
    const QString password = txtKey->text();
    if (password.isEmpty()) return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    if (frmText1->isEmpty()) return Warn(tr("Enter Some Txt First"));

    road.SetOverwrite(hidden.chkOverWrite != 0);
    QString hex, error;
    const bool encrypted = road.Encrypt(password, frmText1->toPlainText(), hex, &error);
    hidden.txtSource = road.SourcePath();
    hidden.txtDestination = road.DestinationPath();
    if (!encrypted) return Warn(error);
    SetWorkText(hex);
    ciphertextShown = true;  // until the work text changes
    hex.clear();
    ws.MessageBox(tr("Done! Hear Is Your Quelvane In Hex Format You Can Save To A File Or Copy To Clipboard "), kTitle,
                  MessageIcon::Information);
}

void frmMain::DeQuelvane_Click() {
    const QString password = txtKey->text();
    if (password.isEmpty()) return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    if (frmText1->isEmpty()) return Warn(tr("Load HBfa File First Or Paste Hex File"));

    // Text that cannot be ciphertext says nothing about the password: it and
    // the work text stay (an unsaved generated password is not lost).
    const QString work = frmText1->toPlainText();
    if (!TextCipher::IsCiphertext(work))
        return Warn(
            tr("The work text is no Quelvane ciphertext: that is pairs of hex digits, 32 at least "
               "(blanks and line breaks between them do not count). Nothing was decrypted; the "
               "password and the work text are kept."));

    road.SetOverwrite(hidden.chkOverWrite != 0);
    TextCipher::Decryption decrypted;
    QString error;
    const bool ran = road.Decrypt(password, work, decrypted, &error);
    hidden.txtSource = road.SourcePath();
    hidden.txtDestination = road.DestinationPath();
    if (!ran) return Warn(error);
    LoadFileAndDisplay(decrypted);
    if (hidden.WrongPassword == 1) {
        hidden.WrongPassword = 0;
        txtKey->setText(QString());  // the hex text stays: it is the user's data
        return;
    }
    ws.MessageBox(tr("Done! Hear Is Your DeQuelvane  You Can Save To A File Or Copy To Clipboard "), kTitle,
                  MessageIcon::Information);
}

void frmMain::LoadFileAndDisplay(const TextCipher::Decryption& decrypted) {
    // The lines go straight to the work text: no second copy of the plaintext is kept.
    hidden.List1 = QStringList();
    if (decrypted.wrongPassword) {
        ws.MessageBox(tr(" Opps Wrong Password "), kTitle, MessageIcon::None);
        hidden.WrongPassword = 1;
        return;
    }
    SetWorkText(decrypted.text);
}

// --- random password -------------------------------------------------------

void frmMain::GenerateRandomPassWord_Click() {
    const QString answer = ws.InputBox(tr("PassWord Max 448 "), tr("Generate Random PassWord"), QStringLiteral("112"));
    if (answer.isEmpty()) return;
    const std::optional<double> number = ReadNumber(answer);
    if (!number) return void(ws.MessageBox(tr("Error Numbers Only "), kTitle, MessageIcon::Exclamation));
    if (*number < 3 || *number > kPasswordMax)
        return void(ws.MessageBox(tr("Min 3 Max 448"), kTitle, MessageIcon::Information));

    txtKey->setText(QString());
    hidden.Text1.clear();
    PNum->setText(QString());

    // Two batches of at most 248 and 200 characters.
    double rest = 0;
    QString& Text1 = hidden.Text1;
    Text1 = answer;
    if (*number > 248) {
        Text1 = QStringLiteral("248");
        rest = *number - 248;
    }
    txtKey->setText(RandomString(ReadByteCount(Text1).value_or(0), kRandomModeAscii, *randomSource));
    if (rest == 0) return;

    PNum->setText(QString::number(rest, 'g', 15));
    Text1 = PNum->text();
    PNum->setText(QString());
    PNum->setText(RandomString(ReadByteCount(Text1).value_or(0), kRandomModeAscii, *randomSource));
    const QString second = PNum->text();
    txtKey->setText(txtKey->text() + second);
    if (second.isEmpty()) txtKey_Change();  // a rest that rounds to 0 changes no text: the length still shows
}

// --- clipboard -------------------------------------------------------------

void frmMain::CopyTexBoxToClipboard_Click() {
    // Anything but the ciphertext just made may be plaintext, however much it
    // looks like hex (a key, say): no clipboard history keeps it, and it
    // leaves the clipboard after a while and when the program ends.
    const QString text = WorkText();
    const bool secret = !ciphertextShown;
    const bool copied = secret ? ws.SetSecretClipboardText(text) : ws.SetClipboardText(text);
    if (!copied) return Warn(tr("The clipboard did not take the text; nothing was copied."));
    if (secret)
        clipboardExpiry.start();
    else
        clipboardExpiry.stop();
    ws.MessageBox(tr(" Your Txt \r\n\r\n Has Been Copyed To Clipboard "), QStringLiteral(" Quelvane "),
                  MessageIcon::Information);
}

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
    if (!v.password) bytes = EncodeTextFile(source);

    const std::optional<QString> chosen =
        ShowSaveDialog(ws, v.dialogTitle, {v.filterPattern, QString()}, {v.filterName, QString()}, 1);
    if (!chosen) return WipeBytes(bytes);
    QString path = *chosen;
    while (path.startsWith(u' ')) path.remove(0, 1);
    while (path.endsWith(u' ')) path.chop(1);
    if (path.isEmpty()) return WipeBytes(bytes);  // nothing but blanks: nothing chosen
    path += v.suffix;  // always, also after a name that has it: key.QvP -> key.QvP.QvP
    hidden.Text1 = path;
    hidden.txtDestination = path;

    const bool exists = RegularFileExists(path);
    if (exists && ws.MessageBox(tr("Output File Already Exist. Do you want To OVERWRITE It?"), kCaption,
                                MessageIcon::Exclamation, MessageButtons::YesNo) != MessageAnswer::Yes)
        return WipeBytes(bytes);

    // Replaced only after a yes: a file that appears meanwhile is not.
    QString error;
    const bool saved =
        SaveFileAtomically(hidden.txtDestination, bytes, &error, exists ? Existing::Replace : Existing::Refuse);
    WipeBytes(bytes);
    if (!saved) return Warn(error);
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
    if (length > kPasswordMax)
        Warn(tr("%1 holds %2 characters; the password box keeps the first 448.")
                 .arg(ShownName(path), QString::number(length)));
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
    if (!LoadTextFile(path, text, &error)) return Warn(error);
    hidden.txtSource = path;
    hidden.List1 = QStringList();  // no second copy of the text
    SetWorkText(text);
    if (asked == Asked::ByCommand)
        Warn(tr("Your TxT File Is Loaded From") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
}

void frmMain::LoadQuelvane_Click() {
    if (txtKey->text().isEmpty()) return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    const std::optional<QString> path =
        AskFileToLoad(tr("Load Hex QvH File"), QStringLiteral("*.QvH"), QStringLiteral("QvH"));
    if (path) LoadQuelvaneFrom(*path);
}

void frmMain::LoadQuelvaneFrom(const QString& path, Asked asked) {
    // Asked again: the password may have been cleared while the dialog was
    // open. A window opened with the file has none yet; it is asked for next.
    if (asked == Asked::ByCommand && txtKey->text().isEmpty())
        return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    QString hex, error;
    if (!LoadHexFile(path, hex, &error)) return Warn(error);
    hidden.txtSource = path;
    hidden.List1.clear();
    SetWorkText(hex);
    if (asked == Asked::AtStart) return txtKey->setFocus();
    Warn(tr("Your Hex Quelvane Loaded From") + QStringLiteral("\r\n") + ShownName(hidden.txtSource));
}

void frmMain::LoadStartFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!LoadBySuffix(path, Asked::AtStart))
            Warn(tr("%1 is not a file Quelvane opens: it opens .QvH (hex), .TxT (text) and .QvP "
                    "(password) files. Nothing was loaded from it.")
                     .arg(ShownName(path)));
    }
}

bool frmMain::LoadBySuffix(const QString& path, Asked asked) {
    // The same loads as the menu's, chosen by the suffix (in any case, as the dialogs list them).
    if (path.endsWith(QStringLiteral(".QvH"), Qt::CaseInsensitive))
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
    if (urls.size() != 1) {
        Warn(tr("Drop one file at a time: a .QvH, .TxT or .QvP file. Nothing was loaded."));
        return false;
    }
    if (!urls[0].isLocalFile()) {
        Warn(tr("%1 is not a file on this computer. Nothing was loaded.")
                 .arg(ShownName(urls[0].toDisplayString(QUrl::PreferLocalFile))));
        return false;
    }
    const QString path = urls[0].toLocalFile();
    if (LoadBySuffix(path, Asked::ByCommand)) return true;
    Warn(tr("%1 is not a file Quelvane loads. Drop a .QvH (hex), .TxT (text) or .QvP (password) "
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

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        PlaceControls();
        return false;
    }
    // A file dropped on the password or length box loads like one dropped on
    // the window, rather than putting its path into the box.
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasUrls()) break;
            if (event->type() == QEvent::Drop)
                dropEvent(drop);
            else
                drop->acceptProposedAction();
            return true;
        }
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- about ---------------------------------------------------------------------

void frmMain::InFo_Click() {
    if (!about) about = new Info1(this);  // a window of its own, owned here, closed with the program
    static_cast<Info1*>(about)->ShowInfo();
}

}  // namespace quelvane
