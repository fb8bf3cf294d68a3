// SPDX-License-Identifier: MIT
// The main window's commands through the scripted window system: exact
// messages, answers and the state they leave.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStyle>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/WorkTextEdit.h"
#include "app/frmMain.h"
#include "cipher/clsBlowfish.h"
#include "tests/support/ScriptedWindowSystem.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

namespace {

const QString kDoneEncrypt =
    QStringLiteral("Done! Hear Is Your Quelvane In Hex Format You Can Save To A File Or Copy To Clipboard ");
const QString kDoneDecrypt =
    QStringLiteral("Done! Hear Is Your DeQuelvane  You Can Save To A File Or Copy To Clipboard ");
const QString kNoPassword = QStringLiteral("PassWord Not Set, Please Set Before Proceding");

struct Window : WindowFixture {
    QLineEdit* Num() const { return NumBox(); }
    void Run(const char* name) const { Action(name)->trigger(); }
    // Files left in the temporary parent, in any folder below it.
    QStringList LeftOnDisk() const {
        QStringList found;
        QDirIterator it(tmp.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        return found.filter(
            QRegularExpression(QStringLiteral("/(?!Quelvane\\.lock$)[^/]*$")));  // the run's own mark stays
    }
    QString Encrypt(const QString& text, const QString& password) {
        Key()->setText(password);
        w->SetWorkText(text);
        Run("Quelvane");
        return w->WorkText();
    }
};

bool IsHexText(const QString& s) { return QRegularExpression(QStringLiteral("^[0-9A-F]*$")).match(s).hasMatch(); }

// The plain bytes behind a hex text, decrypted apart from the window.
QByteArray DecryptApart(const QString& hex, const QByteArray& key) {
    clsBlowfish cipher;
    std::string text = hex.toStdString();
    return QByteArray::fromStdString(cipher.DecryptString(text, key.toStdString(), true));
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void designAndMenu();
    void passwordBoxAndLength();
    void preconditionsChangeNothing();
    void encryptWritesTheFramedTextAsHex();
    void roundTripIsExact_data();
    void roundTripIsExact();
    void wrongPasswordKeepsTheHexText();
    void aDamagedTextKeepsTheCiphertextAndThePassword();
    void badHexTextIsJudgedByTheFrame_data();
    void badHexTextIsJudgedByTheFrame();
    void looseHexTextStillDecrypts();
    void everyLanguage_data();
    void everyLanguage();
    void loneSurrogatesAreRefused();
    void temporaryFolderThatCannotBeMade();
    void randomPassword_data();
    void randomPassword();
    void randomPasswordRefusals_data();
    void randomPasswordRefusals();
    void randomPasswordReplacesAndIsSeedable();
    void clipboard();
    void closingSlide();
    void closingSlideWhenTheWindowCannotMove();
};

void WindowTest::designAndMenu() {
    Window t;
    frmMain& w = *t.w;
    QCOMPARE(w.windowTitle(), QStringLiteral(" Quelvane"));
    QVERIFY(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    const QList<QSize> iconSizes = w.windowIcon().availableSizes();
    QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));
    QCOMPARE(w.centralWidget()->size(), QSize(409, 221));
    QCOMPARE(w.centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
    for (const char* name : {"txtKey", "PNum", "frmText1", "Label1", "Label2"})
        QVERIFY2(w.findChild<QWidget*>(QLatin1String(name)), name);
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Password"));
    QCOMPARE(w.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QString());

    QLineEdit* key = t.Key();
    QCOMPARE(key->echoMode(), QLineEdit::Password);
    QCOMPARE(key->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, key), int('*'));
    QCOMPARE(key->maxLength(), 448);
    QCOMPARE(key->toolTip(), QStringLiteral("Enter PassWord  (Max 448 Characters) "));
    QCOMPARE(key->geometry(), QRect(80, 16, 263, 22));
    QVERIFY(t.Num()->isReadOnly());
    QCOMPARE(t.Num()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    auto* text = w.findChild<WorkTextEdit*>(QStringLiteral("frmText1"));
    QCOMPARE(text->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(text->geometry(), QRect(0, 48, 409, 153));

    // Start state: everything empty, the overwrite box checked.
    QCOMPARE(key->text(), QString());
    QCOMPARE(t.Num()->text(), QString());
    QCOMPARE(w.WorkText(), QString());
    QVERIFY(w.Hidden().Text1.isEmpty() && w.Hidden().txtSource.isEmpty() && w.Hidden().txtDestination.isEmpty() &&
            w.Hidden().List1.isEmpty());
    QCOMPARE(w.Hidden().chkOverWrite, 1);
    QCOMPARE(w.Hidden().WrongPassword, qint16(0));

    auto* file = w.findChild<QMenu*>(QStringLiteral("File1"));
    QVERIFY(file);
    QCOMPARE(file->title(), QStringLiteral("&File"));
    QVERIFY(!file->separatorsCollapsible());
    QCOMPARE(w.menuBar()->actions().size(), 1);
    const QList<QPair<QString, QString>> expected{{"space8", "-"},
                                                  {"GenerateRandomPassWord", "&Generate Random PassWord"},
                                                  {"SavePassWord", "&Save PassWord"},
                                                  {"LoadPassWord", "&Load PassWord"},
                                                  {"Space1", "-"},
                                                  {"space", "-"},
                                                  {"Quelvane", "&Quelvane"},
                                                  {"DeQuelvane", "&DeQuelvane"},
                                                  {"SaveQuelvane", "&Save Quelvane"},
                                                  {"LoadQuelvane", "&Load Quelvane"},
                                                  {"EncryptAsAge", "Encrypt as &age"},
                                                  {"Space5", "-"},
                                                  {"space7", "-"},
                                                  {"SaveTexFile", "&Save Tex File"},
                                                  {"LoadTexFile", "&Load Tex File"},
                                                  {"CopyTexBoxToClipboard", "&Copy Tex  Box To Clipboard"},
                                                  {"Space2", "-"},
                                                  {"Space4", "-"},
                                                  {"InFo", "&InFo"},
                                                  {"Space3", "-"},
                                                  {"Exit1", "&Exit"},
                                                  {"Space6", "-"}};
    const QList<QAction*> actions = file->actions();
    QCOMPARE(actions.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(actions[i]->objectName(), expected[i].first);
        if (expected[i].second == "-")
            QVERIFY(actions[i]->isSeparator());
        else
            QCOMPARE(actions[i]->text(), expected[i].second);
        QVERIFY(actions[i]->isEnabled() && actions[i]->isVisible());
    }
}

void WindowTest::passwordBoxAndLength() {
    Window t;
    t.Key()->setText(QStringLiteral("abc"));
    QCOMPARE(t.Num()->text(), QStringLiteral("3"));
    t.Key()->setText(QString());
    QCOMPARE(t.Num()->text(), QStringLiteral("0"));
    t.Key()->setText(QString(448, u'x'));
    QCOMPARE(t.Num()->text(), QStringLiteral("448"));
    t.Key()->setText(QString(500, u'y'));
    QCOMPARE(t.Key()->text(), QString(448, u'y'));
    QCOMPARE(t.Num()->text(), QStringLiteral("448"));
    // Typing stops at 448 characters.
    t.Key()->clear();
    QTest::keyClicks(t.Key(), QString(450, u'k'));
    QCOMPARE(t.Key()->text().size(), 448);
    QCOMPARE(t.Num()->text(), QStringLiteral("448"));
    QVERIFY(t.ws.messages.isEmpty());
}

void WindowTest::preconditionsChangeNothing() {
    Window t;
    // No password: the password message, even with no work text either.
    t.Run("Quelvane");
    t.w->SetWorkText(QStringLiteral("keep me"));
    t.Run("Quelvane");
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 3);
    for (const auto& m : t.ws.messages) {
        QCOMPARE(m.text, kNoPassword);
        QCOMPARE(m.title, QStringLiteral("Quelvane"));
        QCOMPARE(m.icon, MessageIcon::Exclamation);
        QCOMPARE(m.buttons, MessageButtons::Ok);
    }
    QCOMPARE(t.w->WorkText(), QStringLiteral("keep me"));

    t.ws.messages.clear();
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QString());
    t.Run("Quelvane");
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 2);
    QCOMPARE(t.ws.messages[0].text, QStringLiteral("Enter Some Txt First"));
    QCOMPARE(t.ws.messages[1].text, QStringLiteral("Load HBfa File First Or Paste Hex File"));
    for (const auto& m : t.ws.messages) QCOMPARE(m.icon, MessageIcon::Exclamation);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    QCOMPARE(t.ws.busyChanges, 0);
    QVERIFY(t.LeftOnDisk().isEmpty());
}

void WindowTest::encryptWritesTheFramedTextAsHex() {
    Window t;
    const QString hex = t.Encrypt(QStringLiteral("abc"), QStringLiteral("pw"));
    QCOMPARE(hex.size(), 48);  // 3 + marker + CR LF + 12 bytes of frame = 24 bytes
    QVERIFY(IsHexText(hex));
    QCOMPARE(DecryptApart(hex, "pw"), QByteArray("abc\xFE\r\n"));
    QCOMPARE(t.ws.messages.size(), 1);
    QCOMPARE(t.ws.messages[0].text, kDoneEncrypt);
    QCOMPARE(t.ws.messages[0].title, QStringLiteral("Quelvane"));
    QCOMPARE(t.ws.messages[0].icon, MessageIcon::Information);
    QCOMPARE(t.ws.busyDepth, 0);
    QCOMPARE(t.ws.busyChanges, 2);

    // The temporary files keep their names, in a private folder of this run, and are gone.
    QVERIFY(t.w->Hidden().txtSource.endsWith(QStringLiteral("/DumpSTempFile$$$")));
    QVERIFY(t.w->Hidden().txtDestination.endsWith(QStringLiteral("/DumpDTempFile$$$")));
    const QString folder = QFileInfo(t.w->Hidden().txtSource).absolutePath();
    QCOMPARE(QFileInfo(folder).absolutePath(), QFileInfo(t.tmp.path()).absoluteFilePath());
    QCOMPARE(QFile::permissions(folder) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
                                           QFile::WriteOther | QFile::ExeOther),
             QFileDevice::Permissions());
    QVERIFY(t.LeftOnDisk().isEmpty());

    // Line breaks are CR LF in the bytes, also a final one.
    const QString multi = t.Encrypt(QStringLiteral("a\nb\n"), QStringLiteral("pw"));
    QCOMPARE(DecryptApart(multi, "pw"), QByteArray("a\r\nb\r\n\xFE\r\n"));
    // Random frame words: the same text twice gives other hex of the same length.
    const QString again = t.Encrypt(QStringLiteral("abc"), QStringLiteral("pw"));
    QCOMPARE(again.size(), hex.size());
    QVERIFY(again != hex);
}

void WindowTest::roundTripIsExact_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("password");
    QTest::newRow("lines") << "first\nsecond"
                           << "pw";
    QTest::newRow("commas quotes blanks") << "  Hello, world\n\"quoted, text\"\n   lead"
                                          << "pw";
    QTest::newRow("final break and empty lines") << "a\n\n\nb\n"
                                                 << "pw";
    QTest::newRow("code page") << QString::fromUtf8("€ þ ß æ\u00A0nbsp ÿ") << "pw";
    QTest::newRow("marker inside") << QString::fromUtf8("þþ end þ") << "pw";
    QTest::newRow("password of blanks") << "text"
                                        << "   ";
    QTest::newRow("control characters in password") << "text" << QString::fromUtf8("\x1E\x1F\x7F ab");
    QTest::newRow("longest password") << "text" << QString(448, u'Z');
    QTest::newRow("one character") << "x"
                                   << "p";
}

void WindowTest::roundTripIsExact() {
    QFETCH(QString, text);
    QFETCH(QString, password);
    Window t;
    const QString hex = t.Encrypt(text, password);
    QVERIFY(IsHexText(hex));
    QCOMPARE(hex.size() % 16, 0);
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), text);
    QVERIFY(t.w->Hidden().List1.isEmpty());  // no second copy of the plaintext
    QCOMPARE(t.Key()->text(), password);
    QCOMPARE(t.ws.messages.size(), 2);
    QCOMPARE(t.ws.messages[1].text, kDoneDecrypt);
    QCOMPARE(t.ws.messages[1].icon, MessageIcon::Information);
    QCOMPARE(t.ws.busyDepth, 0);
    QVERIFY(t.LeftOnDisk().isEmpty());
}

void WindowTest::wrongPasswordKeepsTheHexText() {
    Window t;
    const QString hex = t.Encrypt(QStringLiteral("secret text"), QStringLiteral("right"));
    t.Key()->setText(QStringLiteral("wrong"));
    t.ws.messages.clear();
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 1);
    QCOMPARE(t.ws.messages[0].text, QStringLiteral(" Opps Wrong Password "));
    QCOMPARE(t.ws.messages[0].title, QStringLiteral("Quelvane"));
    QCOMPARE(t.ws.messages[0].icon, MessageIcon::None);
    QCOMPARE(t.Key()->text(), QString());
    QCOMPARE(t.Num()->text(), QStringLiteral("0"));
    QCOMPARE(t.w->WorkText(), hex);
    QCOMPARE(t.w->Hidden().WrongPassword, qint16(0));
    QVERIFY(t.LeftOnDisk().isEmpty());
    // The window goes on: the right password now works.
    t.Key()->setText(QStringLiteral("right"));
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), QStringLiteral("secret text"));
    QCOMPARE(t.ws.messages.last().text, kDoneDecrypt);
}

void WindowTest::aDamagedTextKeepsTheCiphertextAndThePassword() {
    Window t;
    clsBlowfish cipher;
    // The UTF-8 mark before a byte that is no UTF-8: never shown as byte text.
    const QString hex =
        QString::fromStdString(cipher.EncryptString("\xEF\xBB\xBF"
                                                    "caf\xE9\xFE\r\n",
                                                    "pw", true));
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(hex);
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.ws.messages[0].text.startsWith(QStringLiteral("The ciphertext is damaged")),
             qPrintable(t.ws.messages[0].text));
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    QCOMPARE(t.w->WorkText(), hex);
    QVERIFY(t.LeftOnDisk().isEmpty());
}

void WindowTest::badHexTextIsJudgedByTheFrame_data() {
    QTest::addColumn<QString>("work");
    QTest::addColumn<bool>("ciphertext");  // can be ciphertext: a real wrong password, judged as today
    QTest::newRow("not hex") << "this is not hex at all" << false;
    QTest::newRow("odd length") << QString(33, u'A') << false;
    QTest::newRow("blanks only") << "   \n\t " << false;
    QTest::newRow("hyphens") << "----" << false;
    QTest::newRow("non-Latin") << QString::fromUtf8("日本語") << false;
    QTest::newRow("one block of zeros") << "0000000000000000" << false;
    QTest::newRow("a hex key, 32 digits") << "0123456789ABCDEF0123456789ABCDEF" << true;
    QTest::newRow("two blocks of zeros, wrapped") << "00000000 00000000\n0000000000000000" << true;
}

void WindowTest::badHexTextIsJudgedByTheFrame() {
    QFETCH(QString, work);
    QFETCH(bool, ciphertext);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(work);
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 1);
    if (ciphertext) {
        QCOMPARE(t.ws.messages[0].text, QStringLiteral(" Opps Wrong Password "));
        QCOMPARE(t.Key()->text(), QString());
    } else {
        // Says so, and keeps the password: it may be an unsaved generated one.
        QVERIFY2(t.ws.messages[0].text.startsWith(QStringLiteral("The work text is no Quelvane ciphertext")),
                 qPrintable(t.ws.messages[0].text));
        QCOMPARE(t.ws.messages[0].icon, MessageIcon::Exclamation);
        QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
        QCOMPARE(t.ws.busyChanges, 0);
    }
    QCOMPARE(t.w->WorkText(), work);
    QCOMPARE(t.ws.busyDepth, 0);
    QVERIFY(t.LeftOnDisk().isEmpty());
    // Still usable.
    t.Encrypt(QStringLiteral("next"), QStringLiteral("pw"));
    QCOMPARE(t.ws.messages.last().text, kDoneEncrypt);
    // Pressed twice: the plaintext that came back is no ciphertext either.
    t.Run("DeQuelvane");
    t.Run("DeQuelvane");
    QVERIFY(t.ws.messages.last().text.startsWith(QStringLiteral("The work text is no Quelvane ciphertext")));
    QCOMPARE(t.w->WorkText(), QStringLiteral("next"));
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
}

void WindowTest::looseHexTextStillDecrypts() {
    Window t;
    const QString hex = t.Encrypt(QStringLiteral("loose"), QStringLiteral("pw"));
    // Lower case, and blanks, tabs and line breaks anywhere, as after pasting wrapped hex.
    QString loose;
    for (int i = 0; i < hex.size(); ++i) {
        loose += hex[i].toLower();
        if (i % 7 == 3) loose += QStringLiteral(" ");
        if (i % 11 == 5) loose += QStringLiteral("\n\t");
    }
    t.w->SetWorkText(QStringLiteral("  ") + loose + QStringLiteral("\n"));
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), QStringLiteral("loose"));
    QCOMPARE(t.ws.messages.last().text, kDoneDecrypt);
}

void WindowTest::everyLanguage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("length");  // what the length box shows
    QTest::newRow("Russian, Greek") << QString::fromUtf8(
                                           "\u041f\u0440\u0438\u0432\u0435\u0442\n\u039a\u03b1\u03bb\u03b7")
                                    << QString::fromUtf8("\u043a\u043b\u044e\u0447") << QStringLiteral("4");
    QTest::newRow("Chinese, Arabic, Hindi")
        << QString::fromUtf8("\u4f60\u597d \u0645\u0631\u062d\u0628\u0627 \u0928\u092e\u0938\u094d\u0924\u0947")
        << QString::fromUtf8("\u5bc6\u7801") << QStringLiteral("2");
    QTest::newRow("Polish, Turkish, Vietnamese")
        << QString::fromUtf8("\u017c\u0142 \u015f\u0131 Vi\u1ec7t") << QStringLiteral("pw") << QStringLiteral("2");
    QTest::newRow("emoji") << QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467\U0001F1E9\U0001F1EA")
                           << QString::fromUtf8("\U0001F511x") << QStringLiteral("2");
}

void WindowTest::everyLanguage() {
    QFETCH(QString, text);
    QFETCH(QString, password);
    QFETCH(QString, length);
    Window t;
    t.Key()->setText(password);
    QCOMPARE(t.Num()->text(), length);
    t.w->SetWorkText(text);
    t.Run("Quelvane");
    QCOMPARE(t.ws.messages.last().text, kDoneEncrypt);
    QVERIFY(IsHexText(t.w->WorkText()));
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.last().text, kDoneDecrypt);
    QCOMPARE(t.w->WorkText(), text);
    QVERIFY(t.LeftOnDisk().isEmpty());
}

// Half of a surrogate pair has no UTF-8: refused, by its place in the text
// and by its position alone in the password, which the box masks.
void WindowTest::loneSurrogatesAreRefused() {
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    const QString text = QStringLiteral("snow\nman ") + QChar(0xDC00);
    t.w->SetWorkText(text);
    t.Run("Quelvane");
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.ws.messages[0].text.contains(QStringLiteral("line 2, column 5")), qPrintable(t.ws.messages[0].text));
    QVERIFY(t.ws.messages[0].text.startsWith(QStringLiteral("The work text")));
    QCOMPARE(t.ws.messages[0].icon, MessageIcon::Exclamation);
    QCOMPARE(t.w->WorkText(), text);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));

    const QString password = QStringLiteral("p") + QChar(0xD800) + QStringLiteral("ss");
    t.Key()->setText(password);
    t.w->SetWorkText(QStringLiteral("plain"));
    t.Run("Quelvane");
    t.w->SetWorkText(QString(32, u'0'));
    t.Run("DeQuelvane");
    QCOMPARE(t.ws.messages.size(), 3);
    for (int i = 1; i < 3; ++i) {
        QVERIFY(t.ws.messages[i].text.startsWith(QStringLiteral("The password")));
        // The position, never the character: the password box masks it.
        QVERIFY(t.ws.messages[i].text.contains(QStringLiteral("character number 2 ")));
        QVERIFY(!t.ws.messages[i].text.contains(QChar(0xD800)) && !t.ws.messages[i].text.contains(u"D800"));
    }
    QCOMPARE(t.w->WorkText(), QString(32, u'0'));
    QCOMPARE(t.Key()->text(), password);
    QCOMPARE(t.ws.busyChanges, 0);
    QVERIFY(t.LeftOnDisk().isEmpty());
}

void WindowTest::temporaryFolderThatCannotBeMade() {
    Window t;
    QFile blocker(t.tmp.filePath(QStringLiteral("plainfile")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    t.w->SetTemporaryParent(blocker.fileName() + QStringLiteral("/below"));  // parent is a regular file
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("stay"));
    t.Run("Quelvane");
    t.w->SetWorkText(QString(32, u'0'));
    t.Run("DeQuelvane");
    t.w->SetWorkText(QStringLiteral("stay"));
    QCOMPARE(t.ws.messages.size(), 2);
    for (const auto& m : t.ws.messages) {
        QVERIFY2(m.text.startsWith(QStringLiteral("Cannot make a private temporary folder")), qPrintable(m.text));
        QCOMPARE(m.icon, MessageIcon::Exclamation);
    }
    QCOMPARE(t.w->WorkText(), QStringLiteral("stay"));
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    // Once the folder can be made the commands work again.
    t.w->SetTemporaryParent(t.tmp.path());
    t.Run("Quelvane");
    QCOMPARE(t.ws.messages.last().text, kDoneEncrypt);
}

void WindowTest::randomPassword_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("text1");
    QTest::newRow("default") << QString() << 112 << "112";
    QTest::newRow("3") << "3" << 3 << "3";
    QTest::newRow("248") << "248" << 248 << "248";
    QTest::newRow("249") << "249" << 249 << "1";
    QTest::newRow("448") << "448" << 448 << "200";
    QTest::newRow("3.5") << "3.5" << 4 << "3.5";
    QTest::newRow("4.5") << "4.5" << 4 << "4.5";
    QTest::newRow("248.5") << "248.5" << 248 << "0.5";
    QTest::newRow("249.5") << "249.5" << 250 << "1.5";
    QTest::newRow("blanks around") << " 10 " << 10 << " 10 ";
}

void WindowTest::randomPassword() {
    QFETCH(QString, answer);
    QFETCH(int, length);
    QFETCH(QString, text1);
    Window t;
    t.ws.inputAnswers.push_back(answer.isNull() ? std::nullopt : std::optional<QString>(answer));
    t.Run("GenerateRandomPassWord");
    QCOMPARE(t.ws.inputs.size(), 1);
    QCOMPARE(t.ws.inputs[0].prompt, QStringLiteral("PassWord Max 448 "));
    QCOMPARE(t.ws.inputs[0].title, QStringLiteral("Generate Random PassWord"));
    QCOMPARE(t.ws.inputs[0].defaultAnswer, QStringLiteral("112"));
    const QString password = t.Key()->text();
    QCOMPARE(password.size(), length);
    for (const QChar c : password) QVERIFY(c.unicode() >= 32 && c.unicode() <= 126);  // all typeable
    QCOMPARE(t.Num()->text(), QString::number(length));
    QCOMPARE(t.w->Hidden().Text1, text1);
    QVERIFY(t.ws.messages.isEmpty());
}

void WindowTest::randomPasswordRefusals_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("message");
    const QString range = QStringLiteral("Min 3 Max 448");
    const QString numbers = QStringLiteral("Error Numbers Only ");
    for (const char* a : {"2", "0", "-5", "449", "2.9", "448.1"}) QTest::newRow(a) << a << range;
    for (const char* a : {"abc", "12x", "1e2", "3,5", "--4"}) QTest::newRow(a) << a << numbers;
    QTest::newRow("cancel") << ""
                            << "";
}

void WindowTest::randomPasswordRefusals() {
    QFETCH(QString, answer);
    QFETCH(QString, message);
    Window t;
    t.ws.inputAnswers.push_back(QStringLiteral("5"));
    t.Run("GenerateRandomPassWord");  // leaves "5" in Text1
    t.Key()->setText(QStringLiteral("old password"));
    t.ws.inputAnswers.push_back(answer);
    t.Run("GenerateRandomPassWord");
    QCOMPARE(t.Key()->text(), QStringLiteral("old password"));
    QCOMPARE(t.Num()->text(), QStringLiteral("12"));
    QCOMPARE(t.w->Hidden().Text1, QStringLiteral("5"));
    if (message.isEmpty()) {
        QVERIFY(t.ws.messages.isEmpty());
        return;
    }
    QCOMPARE(t.ws.messages.size(), 1);
    QCOMPARE(t.ws.messages[0].text, message);
    QCOMPARE(t.ws.messages[0].title, QStringLiteral("Quelvane"));
    QCOMPARE(t.ws.messages[0].icon,
             message.startsWith(QStringLiteral("Min")) ? MessageIcon::Information : MessageIcon::Exclamation);
}

void WindowTest::randomPasswordReplacesAndIsSeedable() {
    QRandomGenerator a(42), b(42);
    Window one, two;
    one.w->SetRandomSource(&a);
    two.w->SetRandomSource(&b);
    one.Key()->setText(QString(400, u'o'));
    one.ws.inputAnswers.push_back(QStringLiteral("300"));
    two.ws.inputAnswers.push_back(QStringLiteral("300"));
    one.Run("GenerateRandomPassWord");
    two.Run("GenerateRandomPassWord");
    QCOMPARE(one.Key()->text().size(), 300);
    QVERIFY(!one.Key()->text().contains(QString(20, u'o')));
    QCOMPARE(one.Key()->text(), two.Key()->text());
    // The second batch is not a repeat of the first one's start.
    QVERIFY(one.Key()->text().mid(248, 52) != one.Key()->text().left(52));
    // A generated password encrypts and decrypts, control characters and all.
    one.w->SetWorkText(QStringLiteral("with a random key"));
    one.Run("Quelvane");
    one.Run("DeQuelvane");
    QCOMPARE(one.w->WorkText(), QStringLiteral("with a random key"));
}

void WindowTest::clipboard() {
    Window t;
    const QString message = QStringLiteral(" Your Txt \r\n\r\n Has Been Copyed To Clipboard ");
    const QString hex = t.Encrypt(QStringLiteral("to copy"), QStringLiteral("pw"));
    t.ws.messages.clear();
    t.Run("CopyTexBoxToClipboard");
    QCOMPARE(t.ws.clipboard, std::optional<QString>(hex));
    QCOMPARE(t.ws.messages.size(), 1);
    QCOMPARE(t.ws.messages[0].text, message);
    QCOMPARE(t.ws.messages[0].title, QStringLiteral(" Quelvane "));
    QCOMPARE(t.ws.messages[0].icon, MessageIcon::Information);

    t.w->SetWorkText(QStringLiteral("two\nlines"));
    t.Run("CopyTexBoxToClipboard");
    QCOMPARE(t.ws.clipboard, std::optional<QString>(QStringLiteral("two\nlines")));
    t.w->SetWorkText(QString());
    t.Run("CopyTexBoxToClipboard");
    QCOMPARE(t.ws.clipboard, std::optional<QString>(QString()));
    QCOMPARE(t.ws.messages.size(), 3);
    QCOMPARE(t.ws.messages[2].text, message);

    // A clipboard that does not take the text is told, and no success is shown.
    t.ws.clipboardWorks = false;
    t.Run("CopyTexBoxToClipboard");
    QCOMPARE(t.ws.messages.size(), 4);
    QVERIFY(t.ws.messages[3].text.startsWith(QStringLiteral("The clipboard did not take the text")));
    QCOMPARE(t.ws.messages[3].icon, MessageIcon::Exclamation);
}

void WindowTest::closingSlide() {
    for (const bool viaMenu : {true, false}) {
        Window t;
        t.ws.geometry = WindowGeometry{1000, 1000, 6135, 4000};
        t.ws.screenWidth = 19200;
        if (viaMenu) {
            t.Run("Exit1");
            t.w->close();  // the end of the program: no second slide
        } else {
            t.w->show();
            t.w->close();
        }
        QVERIFY(t.ws.ended);
        QVERIFY(t.ws.messages.isEmpty());
        // 30 twips right and down, 60 smaller, until the top passes the screen's width.
        QCOMPARE(t.ws.moves.size(), 607);
        for (int i = 0; i < t.ws.moves.size(); ++i) {
            const WindowGeometry& g = t.ws.moves[i];
            QCOMPARE(g.left, 1000 + 30.0 * (i + 1));
            QCOMPARE(g.top, 1000 + 30.0 * (i + 1));
            QCOMPARE(g.width, 6135 - 60.0 * (i + 1));
            QCOMPARE(g.height, 4000 - 60.0 * (i + 1));
        }
        QVERIFY(t.ws.moves.last().top > 19200);
        QVERIFY(t.ws.moves[605].top <= 19200);
    }
    // A window already past the end still takes one step.
    Window t;
    t.ws.geometry = WindowGeometry{0, 30000, 6135, 4000};
    t.ws.screenWidth = 19200;
    t.Run("Exit1");
    QCOMPARE(t.ws.moves.size(), 1);
    QVERIFY(t.ws.ended);
}

void WindowTest::closingSlideWhenTheWindowCannotMove() {
    Window t;
    t.ws.geometry = WindowGeometry{0, 0, 6135, 4000};
    t.ws.screenWidth = 1.0e9;  // a huge screen: the step bound still ends it
    t.ws.refuseMoves = true;
    t.Run("Exit1");
    QVERIFY(t.ws.ended);
    QVERIFY(t.ws.moves.isEmpty());

    Window none;  // no geometry at all
    none.Run("Exit1");
    QVERIFY(none.ws.ended);
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
