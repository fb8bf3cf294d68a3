// SPDX-License-Identifier: MIT
// The "&File" menu's file commands and the about window, on real files in a
// temporary folder, with scripted dialog answers.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "about/Info1.h"
#include "app/frmMain.h"
#include "core/FileLoads.h"
#include "tests/support/ScriptedWindowSystem.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

namespace {

struct Window : WindowFixture {
    QString Num() const { return NumBox()->text(); }
    // Runs a menu item with the given dialog answer (nothing: Cancel).
    void Run(const char* name, std::optional<QString> answer = std::nullopt) {
        ws.fileAnswers.push_back(answer);
        Action(name)->trigger();
        ws.fileAnswers.clear();
    }
    ScriptedWindowSystem::Message Last() const {
        return ws.messages.isEmpty() ? ScriptedWindowSystem::Message{} : ws.messages.last();
    }
};

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void ExpectDone(const ScriptedWindowSystem::Message& m, const QString& text) {
    QCOMPARE(m.text, text);
    QCOMPARE(m.title, QStringLiteral("Quelvane"));
    QCOMPARE(m.icon, MessageIcon::Exclamation);
    QCOMPARE(m.buttons, MessageButtons::Ok);
}

}  // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void savePassword();
    void overwriteQuestion();
    void saveFailuresAreTold();
    void loadPassword();
    void loadPasswordRefusals();
    void loadRefusesWhatIsNoTextOrTooLarge_data();
    void loadRefusesWhatIsNoTextOrTooLarge();
    void textFiles();
    void textFileLoadsExactly();
    void hexFiles();
    void loadsThatFailChangeNothing_data();
    void loadsThatFailChangeNothing();
    void cancelChangesNothing();
    void dialogsStartWhereTheirKindWasLastChosen();
    void aboutWindowOnce();
};

void FileCommandsTest::savePassword() {
    Window t;
    t.Run("SavePassWord", t.Path("key"));
    QCOMPARE(t.ws.fileRequests.size(), 0);  // no password: no dialog
    ExpectDone(t.Last(), QStringLiteral("Enter PassWord First"));

    t.Key()->setText(QStringLiteral("abc"));
    t.Run("SavePassWord", t.Path("key"));
    QCOMPARE(t.ws.fileRequests.size(), 1);
    const FileDialogRequest& r = t.ws.fileRequests[0];
    QVERIFY(r.save);
    QCOMPARE(r.title, QStringLiteral("Save Quelvane PassWord"));
    QCOMPARE(r.filterName, QStringLiteral("QvP"));
    QCOMPARE(r.filterPattern, QStringLiteral("*.QvP"));
    QCOMPARE(Read(t.Path("key.QvP")), QByteArray("abc"));
    ExpectDone(t.Last(), QStringLiteral("PassWord Saved As \r\n") + t.Path("key.QvP"));
    QCOMPARE(t.w->Hidden().Text1, t.Path("key.QvP"));
    QCOMPARE(t.w->Hidden().txtDestination, t.Path("key.QvP"));

    // The suffix is always appended; blanks around the chosen name go.
    t.Run("SavePassWord", t.Path("key.QvP"));
    QCOMPARE(Read(t.Path("key.QvP.QvP")), QByteArray("abc"));
    t.Run("SavePassWord", QStringLiteral("  ") + t.Path("spaced") + QStringLiteral("  "));
    QCOMPARE(Read(t.Path("spaced.QvP")), QByteArray("abc"));

    // Control characters and code-page characters are the bytes of the password.
    t.Key()->setText(QString::fromUtf8("\x1E\x7F þ€"));
    t.Run("SavePassWord", t.Path("odd"));
    QCOMPARE(Read(t.Path("odd.QvP")), QByteArray("\x1E\x7F \xFE\x80"));
    t.Key()->clear();
    t.Run("LoadPassWord", t.Path("odd.QvP"));
    QCOMPARE(t.Key()->text(), QString::fromUtf8("\x1E\x7F þ€"));
}

void FileCommandsTest::overwriteQuestion() {
    Window t;
    Write(t.Path("key.QvP"), "0123456789");
    t.Key()->setText(QStringLiteral("xyz"));
    t.w->SetWorkText(QStringLiteral("work"));

    t.ws.messageAnswers.push_back(MessageAnswer::No);
    t.Run("SavePassWord", t.Path("key"));
    QCOMPARE(t.ws.messages.size(), 1);
    const auto question = t.ws.messages[0];
    QCOMPARE(question.text, QStringLiteral("Output File Already Exist. Do you want To OVERWRITE It?"));
    QCOMPARE(question.title, QStringLiteral(" Quelvane"));
    QCOMPARE(question.icon, MessageIcon::Exclamation);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    QCOMPARE(Read(t.Path("key.QvP")), QByteArray("0123456789"));
    QCOMPARE(t.w->Hidden().txtDestination, t.Path("key.QvP"));

    t.ws.messageAnswers.push_back(MessageAnswer::Yes);
    t.Run("SavePassWord", t.Path("key"));
    QCOMPARE(t.ws.messages.size(), 3);
    QCOMPARE(Read(t.Path("key.QvP")), QByteArray("xyz"));  // 3 bytes, nothing of the old 10 left
    ExpectDone(t.Last(), QStringLiteral("PassWord Saved As \r\n") + t.Path("key.QvP"));
    QVERIFY(QDir(t.tmp.path()).entryList(QDir::Files | QDir::Hidden).size() == 1);  // no stray temporary file
}

void FileCommandsTest::saveFailuresAreTold() {
    Window t;
    Write(t.Path("plain"), "x");
    QVERIFY(QDir(t.tmp.path()).mkdir(QStringLiteral("folder.TxT")));
    t.w->SetWorkText(QStringLiteral("text"));
    // A path below a regular file, and a folder where the file should be.
    for (const QString& chosen : {t.Path("plain") + QStringLiteral("/below"), t.Path("folder")}) {
        const int before = t.ws.messages.size();
        t.Run("SaveTexFile", chosen);
        QCOMPARE(t.ws.messages.size(), before + 1);
        QVERIFY2(t.Last().text.startsWith(QStringLiteral("Cannot save")), qPrintable(t.Last().text));
        QCOMPARE(t.Last().icon, MessageIcon::Exclamation);
    }
    QCOMPARE(Read(t.Path("plain")), QByteArray("x"));
    // The window goes on.
    t.Run("SaveTexFile", t.Path("fine"));
    ExpectDone(t.Last(), QStringLiteral("Your TxT File Saved As \r\n") + t.Path("fine.TxT"));
}

void FileCommandsTest::loadPassword() {
    Window t;
    t.w->SetWorkText(QStringLiteral("the work text stays"));
    Write(t.Path("three.QvP"), "abc");
    t.Run("LoadPassWord", t.Path("three.QvP"));
    const FileDialogRequest& r = t.ws.fileRequests[0];
    QVERIFY(!r.save);
    QCOMPARE(r.title, QStringLiteral("Load Quelvane PassWord"));
    QCOMPARE(r.filterPattern, QStringLiteral("*.QvP"));
    QCOMPARE(t.Key()->text(), QStringLiteral("abc"));
    QCOMPARE(t.Num(), QStringLiteral("3"));
    QCOMPARE(t.w->WorkText(), QStringLiteral("the work text stays"));
    QCOMPARE(t.w->Hidden().txtSource, t.Path("three.QvP"));
    ExpectDone(t.Last(), QStringLiteral("PassWord Loaded From \r\n") + t.Path("three.QvP"));

    // An empty file: an empty password, and the closing message.
    Write(t.Path("empty.QvP"), "");
    t.Run("LoadPassWord", t.Path("empty.QvP"));
    QCOMPARE(t.Key()->text(), QString());
    QCOMPARE(t.Num(), QStringLiteral("0"));
    ExpectDone(t.Last(), QStringLiteral("PassWord Loaded From \r\n") + t.Path("empty.QvP"));

    // More than 448 bytes: the first 448, told before the closing message.
    QByteArray big;
    for (int i = 0; i < 500; ++i) big.append(char('a' + i % 26));
    Write(t.Path("big.QvP"), big);
    const int before = t.ws.messages.size();
    t.Run("LoadPassWord", t.Path("big.QvP"));
    QCOMPARE(t.Key()->text(), QString::fromLatin1(big.left(448)));
    QCOMPARE(t.Num(), QStringLiteral("448"));
    QCOMPARE(t.ws.messages.size(), before + 2);
    QVERIFY(t.ws.messages[before].text.contains(QStringLiteral("keeps the first 448")));
    ExpectDone(t.Last(), QStringLiteral("PassWord Loaded From \r\n") + t.Path("big.QvP"));
}

void FileCommandsTest::loadPasswordRefusals() {
    Window t;
    t.Key()->setText(QStringLiteral("kept"));
    Write(t.Path("nul.QvP"), QByteArray("ab\0cd", 5));
    t.Run("LoadPassWord", t.Path("nul.QvP"));
    QCOMPARE(t.Key()->text(), QStringLiteral("kept"));
    QVERIFY2(t.Last().text.contains(QStringLiteral("NUL byte")), qPrintable(t.Last().text));
    QCOMPARE(t.ws.messages.size(), 1);
}

void FileCommandsTest::loadRefusesWhatIsNoTextOrTooLarge_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QByteArray>("bytes");  // empty: a sparse file just past what the box holds
    QTest::addColumn<QString>("told");  // empty: it loads
    const QString nul = QStringLiteral("it holds a NUL byte, so it is no text");
    const QString large = QStringLiteral("and the work text holds at most 2147483647 characters");
    QTest::newRow("NUL in byte text") << "LoadTexFile" << QByteArray("ab\0cd", 5) << nul;
    QTest::newRow("NUL in UTF-16") << "LoadTexFile"
                                   << QByteArray(
                                          "\xFF\xFE"
                                          "a\0\0\0b\0",
                                          8)
                                   << nul;
    QTest::newRow("UTF-16 without NUL") << "LoadTexFile"
                                        << QByteArray(
                                               "\xFF\xFE"
                                               "a\0b\0",
                                               6)
                                        << QString();
    QTest::newRow("text too large") << "LoadTexFile" << QByteArray() << large;
    QTest::newRow("hex too large") << "LoadQuelvane" << QByteArray() << large;
}

void FileCommandsTest::loadRefusesWhatIsNoTextOrTooLarge() {
    QFETCH(QString, item);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, told);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("kept"));
    const QString path = t.Path("file");
    Write(path, bytes);
    if (bytes.isEmpty()) {
        QFile sparse(path);  // holes: no disk space, and never read
        QVERIFY(sparse.resize(kWorkTextMax + 1));
    }
    t.Run(qPrintable(item), path);
    if (told.isEmpty()) {
        QCOMPARE(t.w->WorkText(), QStringLiteral("ab"));
        return;
    }
    QCOMPARE(t.w->WorkText(), QStringLiteral("kept"));
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.Last().text.startsWith(QStringLiteral("Cannot read ") + path) && t.Last().text.contains(told),
             qPrintable(t.Last().text));

    // A password file that ends in a line break loads, and the user is told.
    Write(t.Path("key.QvP"), "from an editor\n");
    t.Run("LoadPassWord", t.Path("key.QvP"));
    QCOMPARE(t.Key()->text(), QStringLiteral("from an editor\n"));
    QVERIFY2(t.ws.messages[1].text.contains(QStringLiteral("ends with a line break")),
             qPrintable(t.ws.messages[1].text));
}

void FileCommandsTest::textFiles() {
    Window t;
    t.Run("SaveTexFile", t.Path("notes"));
    ExpectDone(t.Last(), QStringLiteral("Enter Some TxT First"));
    QVERIFY(t.ws.fileRequests.isEmpty());

    t.w->SetWorkText(QStringLiteral("first\nsecond"));
    t.Run("SaveTexFile", t.Path("notes"));
    QCOMPARE(t.ws.fileRequests.last().title, QStringLiteral("Save TxT File"));
    QCOMPARE(t.ws.fileRequests.last().filterPattern, QStringLiteral("*.TxT"));
    QCOMPARE(Read(t.Path("notes.TxT")), QByteArray("first\r\nsecond"));  // 13 bytes
    ExpectDone(t.Last(), QStringLiteral("Your TxT File Saved As \r\n") + t.Path("notes.TxT"));

    t.w->SetWorkText(QString());
    t.Run("LoadTexFile", t.Path("notes.TxT"));
    QCOMPARE(t.ws.fileRequests.last().title, QStringLiteral("Load TxT File"));
    QVERIFY(!t.ws.fileRequests.last().save);
    QCOMPARE(t.w->WorkText(), QStringLiteral("first\nsecond"));
    QVERIFY(t.w->Hidden().List1.isEmpty());  // no second copy of the text
    QCOMPARE(t.w->Hidden().txtSource, t.Path("notes.TxT"));
    ExpectDone(t.Last(), QStringLiteral("Your TxT File Is Loaded From\r\n") + t.Path("notes.TxT"));

    t.Run("SaveTexFile", t.Path("notes.TxT"));
    QVERIFY(QFile::exists(t.Path("notes.TxT.TxT")));

    // A text the code page cannot hold is saved as UTF-8 and comes back whole.
    const QString snow = QString::fromUtf8("snow \u2603 and caf\u00E9\nline");
    t.w->SetWorkText(snow);
    t.Run("SaveTexFile", t.Path("snow"));
    QCOMPARE(Read(t.Path("snow.TxT")), QString(snow).replace(u'\n', QStringLiteral("\r\n")).toUtf8());
    t.w->SetWorkText(QString());
    t.Run("LoadTexFile", t.Path("snow.TxT"));
    QCOMPARE(t.w->WorkText(), snow);
    // A password beyond the code page too, after the UTF-8 mark; a lone
    // surrogate half has no UTF-8 and is refused by its position.
    for (const QString& password : {QString::fromUtf8("\u2603 k\u00E9y"), QString::fromUtf8("\u00EF\u00BB\u00BFkey")}) {
        t.Key()->setText(password);
        t.Run("SavePassWord", t.Path("snowkey"));
        QCOMPARE(Read(t.Path("snowkey.QvP")), QByteArray("\xEF\xBB\xBF") + password.toUtf8());
        t.Run("LoadPassWord", t.Path("snowkey.QvP"));
        QCOMPARE(t.Key()->text(), password);
        QFile::remove(t.Path("snowkey.QvP"));
    }
    t.Key()->setText(QChar(0xD800));
    t.Run("SavePassWord", t.Path("snowkey"));
    QVERIFY(t.Last().text.contains(QStringLiteral("character number 1 ")));
    QVERIFY(!t.Last().text.contains(QChar(0xD800)) && !t.Last().text.contains(u"D800"));
    QVERIFY(!QFile::exists(t.Path("snowkey.QvP")));
}

void FileCommandsTest::textFileLoadsExactly() {
    Window t;
    Write(t.Path("exact.TxT"), "Hello, world\r\n\"quoted, text\"\r\n   leading\r\n\r\nlf only\nlone cr\rend\r\n");
    t.Run("LoadTexFile", t.Path("exact.TxT"));
    QCOMPARE(t.w->WorkText(), QStringLiteral("Hello, world\n\"quoted, text\"\n   leading\n\nlf only\nlone cr\nend\n"));
    Write(t.Path("cp.TxT"), "caf\xE9 \x80");
    t.Run("LoadTexFile", t.Path("cp.TxT"));
    QCOMPARE(t.w->WorkText(), QString::fromUtf8("café €"));
    Write(t.Path("empty.TxT"), "");
    t.Run("LoadTexFile", t.Path("empty.TxT"));
    QCOMPARE(t.w->WorkText(), QString());
    ExpectDone(t.Last(), QStringLiteral("Your TxT File Is Loaded From\r\n") + t.Path("empty.TxT"));
    // Loading never asks for a password nor decrypts.
    QVERIFY(t.Key()->text().isEmpty());
}

void FileCommandsTest::hexFiles() {
    Window t;
    t.Run("SaveQuelvane", t.Path("data"));
    ExpectDone(t.Last(), QStringLiteral("Enter Some Txt First"));
    t.Run("LoadQuelvane", t.Path("data.QvH"));
    ExpectDone(t.Last(), QStringLiteral("PassWord Not Set, Please Set Before Proceding"));
    QVERIFY(t.ws.fileRequests.isEmpty());

    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("the plain text, with a comma"));
    t.w->findChild<QAction*>(QStringLiteral("Quelvane"))->trigger();
    const QString hex = t.w->WorkText();
    t.Key()->clear();  // saving needs no password
    t.Run("SaveQuelvane", t.Path("data"));
    QCOMPARE(t.ws.fileRequests.last().title, QStringLiteral("Save Hex QvH File"));
    QCOMPARE(t.ws.fileRequests.last().filterName, QStringLiteral("QvH"));
    QCOMPARE(Read(t.Path("data.QvH")), hex.toLatin1());
    ExpectDone(t.Last(), QStringLiteral("Your Quelvane Saved As \r\n") + t.Path("data.QvH"));

    Write(t.Path("x.TxT"), "x");
    t.Run("LoadTexFile", t.Path("x.TxT"));  // leaves one line in List1
    t.w->SetWorkText(QStringLiteral("something else"));
    t.Key()->setText(QStringLiteral("pw"));
    t.Run("LoadQuelvane", t.Path("data.QvH"));
    QCOMPARE(t.ws.fileRequests.last().title, QStringLiteral("Load Hex QvH File"));
    QCOMPARE(t.w->WorkText(), hex);
    QVERIFY(t.w->Hidden().List1.isEmpty());
    ExpectDone(t.Last(), QStringLiteral("Your Hex Quelvane Loaded From\r\n") + t.Path("data.QvH"));
    t.w->findChild<QAction*>(QStringLiteral("DeQuelvane"))->trigger();
    QCOMPARE(t.w->WorkText(), QStringLiteral("the plain text, with a comma"));

    // Hex text split over three lines and by a comma loads as one run.
    const QByteArray h = hex.toLatin1();
    const qsizetype third = h.size() / 3;
    Write(t.Path("split.QvH"), h.left(third) + "\r\n  " + h.mid(third, third) + "," + h.mid(2 * third) + "\r\n");
    t.Run("LoadQuelvane", t.Path("split.QvH"));
    QCOMPARE(t.w->WorkText(), hex);
    t.Run("SaveQuelvane", t.Path("data.QvH"));
    QVERIFY(QFile::exists(t.Path("data.QvH.QvH")));
}

void FileCommandsTest::loadsThatFailChangeNothing_data() {
    QTest::addColumn<QString>("item");
    for (const char* item : {"LoadPassWord", "LoadTexFile", "LoadQuelvane"}) {
        QTest::newRow(QByteArray(item).append(" missing").constData()) << item;
        QTest::newRow(QByteArray(item).append(" folder").constData()) << item;
        QTest::newRow(QByteArray(item).append(" below a file").constData()) << item;
    }
}

void FileCommandsTest::loadsThatFailChangeNothing() {
    QFETCH(QString, item);
    Window t;
    QVERIFY(QDir(t.tmp.path()).mkdir(QStringLiteral("folder")));
    Write(t.Path("plain"), "x");
    const QString kind = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 1);
    const QString path = kind == "missing"  ? t.Path("missing.QvP")
                         : kind == "folder" ? t.Path("folder")
                                            : t.Path("plain") + QStringLiteral("/below");
    t.Key()->setText(QStringLiteral("pw"));
    Write(t.Path("before.TxT"), "work");
    t.Run("LoadTexFile", t.Path("before.TxT"));  // leaves its path in txtSource
    t.ws.messages.clear();
    t.Run(item.toLatin1().constData(), path);
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.Last().text.startsWith(QStringLiteral("Cannot read ") + path), qPrintable(t.Last().text));
    QCOMPARE(t.Last().icon, MessageIcon::Exclamation);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    QCOMPARE(t.w->WorkText(), QStringLiteral("work"));
    QCOMPARE(t.w->Hidden().txtSource, t.Path("before.TxT"));
}

void FileCommandsTest::cancelChangesNothing() {
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("work"));
    for (const char* item :
         {"SavePassWord", "LoadPassWord", "SaveTexFile", "LoadTexFile", "SaveQuelvane", "LoadQuelvane"})
        t.Run(item);  // Cancel
    QCOMPARE(t.ws.fileRequests.size(), 6);
    QVERIFY(t.ws.messages.isEmpty());
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    QCOMPARE(t.w->WorkText(), QStringLiteral("work"));
    QVERIFY(t.w->Hidden().Text1.isEmpty() && t.w->Hidden().txtDestination.isEmpty() &&
            t.w->Hidden().txtSource.isEmpty());
    QVERIFY(QDir(t.tmp.path()).isEmpty());
}

void FileCommandsTest::dialogsStartWhereTheirKindWasLastChosen() {
    Window t;
    QVERIFY(QDir(t.tmp.path()).mkpath(QStringLiteral("keys")) && QDir(t.tmp.path()).mkpath(QStringLiteral("texts")));
    Write(t.Path("keys/k.QvP"), "key");
    Write(t.Path("texts/n.TxT"), "text");
    t.Run("LoadPassWord", t.Path("keys/k.QvP"));
    t.Run("LoadTexFile", t.Path("texts/n.TxT"));
    t.Run("SaveTexFile");  // the next dialog of the same window
    QCOMPARE(t.ws.fileRequests.last().initialFolder, t.Path("texts"));

    // A new window, as after the program started again.
    Window again;
    again.Key()->setText(QStringLiteral("pw"));
    again.w->SetWorkText(QStringLiteral("work"));
    for (const char* item : {"SavePassWord", "LoadTexFile", "LoadQuelvane"}) again.Run(item);  // Cancel
    QCOMPARE(again.ws.fileRequests.size(), 3);
    QCOMPARE(again.ws.fileRequests[0].initialFolder, t.Path("keys"));
    QCOMPARE(again.ws.fileRequests[1].initialFolder, t.Path("texts"));
    const QString hex = again.ws.fileRequests[2].initialFolder;
    QVERIFY2(hex != t.Path("keys") && hex != t.Path("texts"), qPrintable(hex));
}

void FileCommandsTest::aboutWindowOnce() {
    Window t;
    t.w->show();
    QAction* info = t.w->findChild<QAction*>(QStringLiteral("InFo"));
    info->trigger();
    info->trigger();
    QList<Info1*> windows = t.w->findChildren<Info1*>();
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows[0]->isVisible());
    QVERIFY(windows[0]->isWindow());
    QCOMPARE(windows[0]->windowTitle(), QStringLiteral("Info"));
    QCOMPARE(Info1::Lines().size(), 10);
    // Closed and opened again: the same window, shown.
    windows[0]->close();
    QVERIFY(!windows[0]->isVisible());
    info->trigger();
    QCOMPARE(t.w->findChildren<Info1*>().size(), 1);
    QVERIFY(windows[0]->isVisible());
    // The main window still takes commands while it is open.
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("x"));
    t.w->findChild<QAction*>(QStringLiteral("Quelvane"))->trigger();
    QCOMPARE(t.Last().text,
             QStringLiteral("Done! Hear Is Your Quelvane In Hex Format You Can Save To A File Or Copy To Clipboard "));
    QVERIFY(t.ws.messages.size() == 1);
}

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
