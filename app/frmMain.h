// SPDX-License-Identifier: MIT
#pragma once
// The main window: the password box with its length beside it, the work text,
// and the "&File" menu whose items run the commands. Every modal box, the busy
// pointer, the clipboard and the window's geometry go through WindowSystem, so
// each command runs headless in tests.
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <optional>

#include "app/BackgroundWork.h"
#include "app/PasswordControls.h"
#include "app/WorkTextEdit.h"
#include "core/WindowSystem.h"
#include "formats/FormatRegistry.h"

namespace quelvane {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(WindowSystem& ws, QWidget* parent = nullptr);
    ~frmMain() override;

    // The work text with "\n" line breaks, and its replacement.
    QString WorkText() const;
    void SetWorkText(const QString& text);

    // Centres the window on its screen (first position).
    void CentreOnScreen();

    // The hidden controls: plain state of the window that the commands share.
    struct HiddenControls {
        QString Text1;  // scratch: the random password's batch length, the saved path
        QString txtSource;  // the file a command reads from
        QString txtDestination;  // the file a command writes to
        QStringList List1;  // the lines or fields last read
        int chkOverWrite = 1;  // "Overwrite existing.": 0 unchecked, 1 checked, 2 grayed
        qint16 WrongPassword = 0;
    };
    const HiddenControls& Hidden() const { return hidden; }

    // Where the private temporary folder of this run is made (tests choose it).
    void SetTemporaryParent(const QString& folder) { formats.SetTemporaryParent(folder); }
    // The random password generator's source (tests pass a seeded one).
    void SetRandomSource(QRandomGenerator* source) { randomSource = source; }
    // How long a plaintext copied to the clipboard stays there.
    static constexpr int kClipboardSeconds = 30;
    void SetClipboardExpiry(std::chrono::milliseconds after) { clipboardExpiry.setInterval(after); }

public slots:
    void Form_Load();
    void txtKey_Change();
    void Exit1_Click();
    void Quelvane_Click();
    void DeQuelvane_Click();
    void GenerateRandomPassWord_Click();
    void CopyTexBoxToClipboard_Click();
    void SavePassWord_Click();
    void LoadPassWord_Click();
    void SaveTexFile_Click();
    void LoadTexFile_Click();
    void SaveQuelvane_Click();
    void LoadQuelvane_Click();
    void InFo_Click();
    // The checkable "Encrypt as &age": the format of new encryptions, kept
    // in the user's settings (Encryption/Format).
    void EncryptAsAge_Toggled(bool age);

public:
    // Who asked for a load: a command (the menu or a drop), with its checks and
    // its closing message; or the command line, which a file manager uses to
    // open files in a new window: a hex file loads without a password, and
    // only what goes wrong is told.
    enum class Asked { ByCommand, AtStart };
    // The loads of the menu without their dialogs: the same rules and messages
    // for a path chosen in the dialog or dropped on the window.
    void LoadPassWordFrom(const QString& path, Asked asked = Asked::ByCommand);
    void LoadTexFileFrom(const QString& path, Asked asked = Asked::ByCommand);
    void LoadQuelvaneFrom(const QString& path, Asked asked = Asked::ByCommand);
    // Files dropped on the window: one .QvH, .TxT or .QvP file loads as its
    // menu item would; anything else is told and changes nothing. True when
    // a load ran.
    bool LoadDroppedFiles(const QList<QUrl>& urls);
    // Files named on the command line, loaded one after the other as their
    // menu items read them; a file of another kind is told and skipped. After
    // a hex file the password box has the focus, ready for the password.
    void LoadStartFiles(const QStringList& paths);

    // Whether quitting now would lose text typed or decrypted into the work
    // text that was not saved, copied or encrypted since.
    bool WorkWouldBeLost() const { return workUnkept && !frmText1->isEmpty(); }
    // Ends as "&Exit" does, without asking: a signal has nobody to answer.
    // Work that runs is cancelled first; the window ends once it has stopped.
    void CloseWithoutAsking();
    // The name of the format new encryptions are made in ("quelvane", "age").
    QString NewFormat() const { return newFormat; }
    // The worker of the long commands, with its progress bar and Escape.
    BackgroundWork& Background() { return *background; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // What the three save commands differ in.
    struct SaveValues {
        bool password;  // the source is the password, else the work text
        QString emptyMessage, dialogTitle, filterPattern, filterName, suffix, donePrefix;
        // An age text: its suffix is added only where the name lacks it, and
        // its ASCII is written as it is (LF), as age itself writes armor.
        bool age = false;
    };
    void SaveFile(const SaveValues& values);
    std::optional<QString> AskFileToLoad(const QString& title, const QString& pattern, const QString& name);

    void BuildWindow();
    void BuildMenu();
    void PlaceControls();
    void Recolour();
    void Form_Unload(int& Cancel);
    void ClosingSlide();
    void LoadFileAndDisplay(const TextDecryption& decrypted);
    bool LoadBySuffix(const QString& path, Asked asked);
    void ChooseFormat(const QString& name);
    // Whether a load of a file named at start put something in place.
    bool loadedOne = false;
    void Warn(const QString& text);
    // Puts text from the work text on the clipboard: marked secret and taken
    // back after a while and at exit, unless it is of the ciphertext just made.
    bool PutOnClipboard(const QString& text);
    bool MayLoseWork();
    // Runs the middle of a command on the worker (busy pointer on where the
    // road does not set it itself). False when it was cancelled, or the
    // window is closing: then the command changes nothing.
    bool RunLong(const std::function<void()>& piece, bool busyPointer = false);
    void WorkStartedOrEnded(bool running);
    void AskToEnd(bool ask);
    void WarnIfSeveral(const QStringList& loaded, bool password);

    WindowSystem& ws;
    CiphertextFormats formats;  // each holds its own road (the legacy one, the window's cipher object)
    HiddenControls hidden;
    QRandomGenerator* randomSource = QRandomGenerator::system();
    bool closing = false;
    bool ciphertextShown = false;  // the work text is the ciphertext of the last encryption, unchanged
    bool workUnkept = false;  // typed or decrypted, and not saved, copied or encrypted since
    bool passwordTyped = false;  // typed into the box, not made, loaded or saved
    bool endWhenStopped = false;  // closing was asked while work ran
    BackgroundWork* background = nullptr;
    QAction* cancelWork = nullptr;  // Escape, while work runs
    QTimer clipboardExpiry;  // removes a secret copy from the clipboard
    QString newFormat;
    QAction* encryptAsAge = nullptr;
    QLabel* formatShown = nullptr;  // in the strip: the format new encryptions are made in

    QLineEdit* txtKey = nullptr;
    QLineEdit* PNum = nullptr;
    ShowPasswordButton* showPassword = nullptr;
    StrengthMeter* strength = nullptr;
    WorkTextEdit* frmText1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QWidget* about = nullptr;  // the about window, made on first use and kept
};

}  // namespace quelvane
