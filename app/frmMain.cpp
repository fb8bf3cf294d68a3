// SPDX-License-Identifier: MIT
#include "app/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>

#include "about/Contrast.h"
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
const QString kFormatKey = QStringLiteral("Encryption/Format");
const QString kAge = QStringLiteral("age");
const QString kLegacy = QStringLiteral("quelvane");

QSettings Settings() { return QSettings(QStringLiteral("Quelvane"), QStringLiteral("Quelvane")); }

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
    // The road runs on the worker: the pointer is the window's, so it is set here.
    formats.OnBusy([this](bool busy) {
        QMetaObject::invokeMethod(
            this, [this, busy] { ws.SetBusyPointer(busy); }, Qt::QueuedConnection);
    });
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
    client->setAutoFillBackground(true);
    // Opens at the designed size and never gets smaller: below it the password
    // row would be cut.
    client->setMinimumSize(kClientSize);
    client->resize(kClientSize);
    client->installEventFilter(this);
    setCentralWidget(client);
    Recolour();

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
    connect(txtKey, &QLineEdit::textEdited, this, [this] { passwordTyped = true; });
    showPassword = new ShowPasswordButton(txtKey);

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

    // The grey strip shows the progress of long work; Escape cancels it.
    background = new BackgroundWork(Label2);
    connect(background, &BackgroundWork::runningChanged, this, &frmMain::WorkStartedOrEnded);
    cancelWork = new QAction(this);
    cancelWork->setObjectName(QStringLiteral("CancelWork"));
    cancelWork->setShortcut(QKeySequence(Qt::Key_Escape));
    cancelWork->setShortcutContext(Qt::WindowShortcut);
    cancelWork->setEnabled(false);
    connect(cancelWork, &QAction::triggered, background, &BackgroundWork::Cancel);
    addAction(cancelWork);
    // Right in the strip, beside the bar while work runs.
    formatShown = new QLabel(Label2);
    formatShown->setObjectName(QStringLiteral("FormatShown"));
    formatShown->setAccessibleName(tr("Encryption format"));
    // The strip's last 4 pixels lie below the window, as designed: a smaller
    // face at its top is read whole.
    QFont small = formatShown->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    formatShown->setFont(small);
    static_cast<QHBoxLayout*>(Label2->layout())->addWidget(formatShown, 0, Qt::AlignRight | Qt::AlignTop);

    PNum = new QLineEdit(client);
    PNum->setObjectName(QStringLiteral("PNum"));
    PNum->setGeometry(Twips(5280, 240, 495, 330));
    PNum->setReadOnly(true);
    PNum->setAlignment(Qt::AlignCenter);
    PNum->setFont(DesignFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                              QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")},
                             9.75, true, QFont::SansSerif));

    // The strength meter beside the password box: the word under the label,
    // the bar under the box, in the room the design leaves above the work text.
    strength = new StrengthMeter(client);
    strength->Word()->setGeometry(Twips(0, 495, 1170, 225));
    strength->Bar()->setGeometry(Twips(1200, 600, 3945, 75));

    // Tab goes from the password to the work text as it always did; the
    // show/hide button comes last, so Shift+Tab from the password reaches it.
    setTabOrder(txtKey, frmText1);
    setTabOrder(frmText1, PNum);
    setTabOrder(PNum, showPassword);
    txtKey->setFocus();

    // What a screen reader says for each control: the label names the
    // password box; the others have no label of their own.
    Label1->setBuddy(txtKey);
    PNum->setAccessibleName(tr("Password length"));
    frmText1->setAccessibleName(tr("Work text"));
    frmText1->setAccessibleDescription(tr("The text to encrypt, or the hex text to decrypt"));
    connect(frmText1, &WorkTextEdit::textChanged, this, [this] {
        ciphertextShown = false;
        workUnkept = true;  // a command that keeps it elsewhere says so after
    });
    // The box's own copies take the menu's road; a plaintext selection is no primary selection.
    frmText1->setCopyRoad({[this](const QString& text) {
                               if (PutOnClipboard(text)) return true;
                               Warn(tr("The clipboard did not take the text; nothing was copied."));
                               return false;
                           },
                           [this] { return !ciphertextShown; }});

    // Files dropped anywhere on the window load as the menu's loads would.
    setAcceptDrops(true);
    txtKey->installEventFilter(this);
    PNum->installEventFilter(this);
    frmText1->installEventFilter(this);
    frmText1->viewport()->installEventFilter(this);

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

void frmMain::Recolour() {
    // The design's grey with black labels where the desktop is light; under a
    // dark palette the body follows the palette, as the boxes always do.
    const Colours colours =
        ReadableColours(QColor(0xC0, 0xC0, 0xC0), QColor(0x00, 0x00, 0x00), QApplication::palette(this));
    QPalette palette = centralWidget()->palette();
    palette.setColor(QPalette::Window, colours.background);
    palette.setColor(QPalette::WindowText, colours.text);
    centralWidget()->setPalette(palette);
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationPaletteChange && centralWidget()) Recolour();
    QMainWindow::changeEvent(event);
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
    // Decrypting needs no choice: it tells the formats apart itself.
    encryptAsAge = item("EncryptAsAge", tr("Encrypt as &age"), nullptr, Key(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    encryptAsAge->setCheckable(true);
    connect(encryptAsAge, &QAction::toggled, this, &frmMain::EncryptAsAge_Toggled);
    const QString about =
        tr("Checked: new encryptions are made in the age format, which the age program also "
           "opens. Unchecked: in Quelvane's own hex format.");
    encryptAsAge->setToolTip(about);
    encryptAsAge->setStatusTip(about);
    encryptAsAge->setWhatsThis(about);
    File1->setToolTipsVisible(true);
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
    // The cipher object is the legacy road's, made with it and fresh for every command.
    hidden.WrongPassword = 0;
    // Anything but "age" is the legacy format, the default.
    ChooseFormat(Settings().value(kFormatKey).toString() == kAge ? kAge : kLegacy);
}

void frmMain::ChooseFormat(const QString& name) {
    formats.Choose(name);
    newFormat = formats.Chosen().Name();
    const bool age = newFormat == kAge;
    const QSignalBlocker quiet(encryptAsAge);
    encryptAsAge->setChecked(age);
    formatShown->setText(age ? tr("Encrypts as: age") : tr("Encrypts as: Quelvane hex"));
    formatShown->setAccessibleDescription(age ? tr("New encryptions are made in the age format")
                                              : tr("New encryptions are made in the Quelvane hex format"));
}

void frmMain::EncryptAsAge_Toggled(bool age) {
    ChooseFormat(age ? kAge : kLegacy);
    Settings().setValue(kFormatKey, newFormat);
}

void frmMain::txtKey_Change() {
    // Characters as a person counts them: a pair of surrogates is one.
    const QString password = txtKey->text();
    PNum->setText(QString::number(password.isEmpty() ? 0 : CharacterNumber(password, password.size()) - 1));
    strength->Show(password);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (background->Running()) {
        AskToEnd(!closing);
        return event->ignore();  // the window ends once the work has stopped
    }
    if (!closing && !MayLoseWork()) return event->ignore();
    int Cancel = 0;
    Form_Unload(Cancel);
    event->accept();
}

bool frmMain::MayLoseWork() {
    if (!WorkWouldBeLost()) return true;
    return ws.MessageBox(tr("The work text holds text that was not saved, copied or encrypted. Quit and lose it?"),
                         kTitle, MessageIcon::Exclamation, MessageButtons::YesNoDefaultNo) == MessageAnswer::Yes;
}

void frmMain::CloseWithoutAsking() {
    if (background->Running()) return AskToEnd(false);
    ClosingSlide();
}

void frmMain::AskToEnd(bool ask) {
    if (endWhenStopped || (ask && !MayLoseWork())) return;
    endWhenStopped = true;
    background->Cancel();
}

void frmMain::WorkStartedOrEnded(bool running) {
    // No second command while one works; Exit stays, and cancels it.
    for (QAction* action : menuBar()->actions().first()->menu()->actions())
        if (action->objectName() != QLatin1String("Exit1") && !action->isSeparator()) action->setEnabled(!running);
    cancelWork->setEnabled(running);
    txtKey->setReadOnly(running);
}

bool frmMain::RunLong(const std::function<void()>& piece, bool busyPointer) {
    if (background->Running() || closing) return false;
    if (busyPointer) ws.SetBusyPointer(true);
    const bool ran = background->Run([this, &piece] {
        if (!background->Cancelled()) piece();
    });
    if (busyPointer) ws.SetBusyPointer(false);
    if (endWhenStopped) {
        ClosingSlide();
        return false;
    }
    return ran;
}

void frmMain::Form_Unload(int& Cancel) {
    (void)Cancel;
    ClosingSlide();
}

void frmMain::Exit1_Click() {
    if (background->Running()) return AskToEnd(!closing);
    if (!closing && !MayLoseWork()) return;
    ClosingSlide();
}

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

    CiphertextFormat& format = formats.Chosen();
    format.SetOverwrite(hidden.chkOverWrite != 0);
    QString hex, error;
    bool encrypted = false;
    const QString text = frmText1->toPlainText();
    if (!RunLong([&] { encrypted = format.EncryptText(password, text, hex, &error); })) return;
    hidden.txtSource = format.SourcePath();
    hidden.txtDestination = format.DestinationPath();
    if (!encrypted) return Warn(error);
    SetWorkText(hex);
    ciphertextShown = true;  // until the work text changes
    workUnkept = false;
    hex.clear();
    if (format.Name() == kAge)
        return void(ws.MessageBox(tr("Done! Here is your text in the age format. You can save it to a file or copy "
                                     "it to the clipboard."),
                                  kTitle, MessageIcon::Information));
    ws.MessageBox(tr("Done! Hear Is Your Quelvane In Hex Format You Can Save To A File Or Copy To Clipboard "), kTitle,
                  MessageIcon::Information);
}

void frmMain::DeQuelvane_Click() {
    const QString password = txtKey->text();
    if (password.isEmpty()) return Warn(tr("PassWord Not Set, Please Set Before Proceding"));
    if (frmText1->isEmpty()) return Warn(tr("Load HBfa File First Or Paste Hex File"));

    // Text that cannot be ciphertext says nothing about the password: it and
    // the work text stay (an unsaved generated password is not lost). A
    // wrong password is tried again in its other Unicode form: the same
    // accents typed composed on one system come decomposed on another.
    const QString work = frmText1->toPlainText();
    CiphertextFormat& format = formats.DetectText(work);
    format.SetOverwrite(hidden.chkOverWrite != 0);
    TextDecryption decrypted;
    QString error, otherForm;
    bool ciphertext = false, ran = false;
    const bool finished = RunLong([&] {
        ciphertext = format.IsCiphertextText(work);
        if (!ciphertext) return;
        ran = format.DecryptText(password, work, decrypted, &error);
        if (!ran || !decrypted.wrongPassword || background->Cancelled()) return;
        for (const auto form : {QString::NormalizationForm_C, QString::NormalizationForm_D}) {
            const QString other = password.normalized(form);
            TextDecryption again;
            QString ignored;
            if (other == password || !format.DecryptText(other, work, again, &ignored) || again.wrongPassword) continue;
            decrypted = std::move(again);
            otherForm = form == QString::NormalizationForm_C ? QStringLiteral("NFC") : QStringLiteral("NFD");
            return;
        }
    });
    if (!finished) {
        decrypted.text.fill(QChar(0));  // nothing of it reaches the box
        return;
    }
    if (!ciphertext)
        return Warn(
            tr("The work text is no Quelvane ciphertext: that is pairs of hex digits, 32 at least "
               "(blanks and line breaks between them do not count). Nothing was decrypted; the "
               "password and the work text are kept."));

    hidden.txtSource = format.SourcePath();
    hidden.txtDestination = format.DestinationPath();
    if (!ran) return Warn(error);
    if (format.Name() == kAge && decrypted.text.contains(QChar(0))) {
        // Valid UTF-8 all the same, but a NUL is no text the box can keep.
        decrypted.text.fill(QChar(0));
        return Warn(tr("The age text holds data that is not UTF-8 text. Decrypt it with quelvane-cli."));
    }
    // The password was right, so only damage explains it: the ciphertext stays to be mended.
    if (decrypted.damaged)
        return Warn(
            tr("The ciphertext is damaged: the text it holds is marked as UTF-8 but is not. Nothing was "
               "decrypted; the password and the work text are kept."));
    LoadFileAndDisplay(decrypted);
    if (hidden.WrongPassword == 1) {
        hidden.WrongPassword = 0;
        txtKey->setText(QString());  // the hex text stays: it is the user's data
        passwordTyped = false;
        return;
    }
    if (!otherForm.isEmpty())
        ws.MessageBox(tr("The password as typed did not open the text, but the same password with its accents "
                         "written the other way (Unicode %1) did. The password box keeps it as typed.")
                          .arg(otherForm),
                      kTitle, MessageIcon::Information);
    ws.MessageBox(tr("Done! Hear Is Your DeQuelvane  You Can Save To A File Or Copy To Clipboard "), kTitle,
                  MessageIcon::Information);
}

void frmMain::LoadFileAndDisplay(const TextDecryption& decrypted) {
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
    if (passwordTyped && !txtKey->text().isEmpty() &&
        ws.MessageBox(tr("Replace the password you typed with a random one? The typed password is lost unless "
                         "it was saved."),
                      kTitle, MessageIcon::Exclamation, MessageButtons::YesNoDefaultNo) != MessageAnswer::Yes)
        return;
    passwordTyped = false;

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

bool frmMain::PutOnClipboard(const QString& text) {
    // Anything but the ciphertext just made may be plaintext, however much it
    // looks like hex (a key, say): no clipboard history keeps it, and it
    // leaves the clipboard after a while and when the program ends.
    const bool secret = !ciphertextShown;
    const bool copied = secret ? ws.SetSecretClipboardText(text) : ws.SetClipboardText(text);
    if (!copied) return false;
    workUnkept = false;
    if (secret)
        clipboardExpiry.start();
    else
        clipboardExpiry.stop();
    return true;
}

void frmMain::CopyTexBoxToClipboard_Click() {
    if (!PutOnClipboard(WorkText())) return Warn(tr("The clipboard did not take the text; nothing was copied."));
    ws.MessageBox(tr(" Your Txt \r\n\r\n Has Been Copyed To Clipboard "), QStringLiteral(" Quelvane "),
                  MessageIcon::Information);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    // While work runs the boxes take no input (the command would overwrite
    // it), and Escape in them cancels.
    if (background && background->Running() && watched != centralWidget()) {
        switch (event->type()) {
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) background->Cancel();
                [[fallthrough]];
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::InputMethod:
            case QEvent::ContextMenu:
            case QEvent::Drop:
                return true;
            default:
                break;
        }
    }
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
