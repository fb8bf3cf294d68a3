// SPDX-License-Identifier: MIT
// What the window keeps from others and keeps exact: the clipboard marks
// every copy but hex ciphertext as a secret, texts saved with "&Save Tex
// File" load back unchanged, and hex files with a byte-order mark decrypt.
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

#include "app/QtWindowSystem.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

namespace {

const QString kCopied = QStringLiteral(" Your Txt \r\n\r\n Has Been Copyed To Clipboard ");
const QString kDoneDecrypt =
    QStringLiteral("Done! Hear Is Your DeQuelvane  You Can Save To A File Or Copy To Clipboard ");

struct Window : WindowFixture {
    void Run(const char* name, std::optional<QString> file = std::nullopt) {
        if (file) ws.fileAnswers.push_back(file);
        Action(name)->trigger();
        ws.fileAnswers.clear();
    }
    // Copies the work text; whether the copy was marked secret.
    bool CopyIsSecret() {
        ws.clipboardSecret = !ws.clipboardSecret;  // the copy must set it either way
        Run("CopyTexBoxToClipboard");
        return ws.clipboardSecret;
    }
};

QByteArray Slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

}  // namespace

class SecurityTest : public QObject {
    Q_OBJECT
private slots:
    void clipboardMarksAllButCiphertext();
    void qtClipboardCarriesTheHint();
    void savedTextLoadsBackExactly();
    void hexWithAByteOrderMarkDecrypts();
    void passwordEventsCarryStars();
};

void SecurityTest::clipboardMarksAllButCiphertext() {
    Window t;
    t.w->SetClipboardExpiry(std::chrono::milliseconds(20));
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("the plaintext"));
    QVERIFY(t.CopyIsSecret());
    QCOMPARE(t.ws.clipboard, std::optional<QString>(QStringLiteral("the plaintext")));
    QTRY_VERIFY(!t.ws.clipboard.has_value());  // gone after a while

    t.Run("Quelvane");
    const QString hex = t.w->WorkText();
    QVERIFY(!t.CopyIsSecret());  // the ciphertext just made goes as it always did
    QCOMPARE(t.ws.clipboard, std::optional<QString>(hex));

    // Anything else may be plaintext, however much it looks like hex.
    for (const QString& other :
         {hex.toLower().insert(32, u'\n'), QString(), QStringLiteral("0123456789ABCDEF"),
          QStringLiteral("0123456789ABCDEF0123456789ABCDEF"), hex + QStringLiteral(" and a note")}) {
        t.w->SetWorkText(other);
        QVERIFY2(t.CopyIsSecret(), qPrintable(other));
        QCOMPARE(t.ws.clipboard, std::optional<QString>(other));
    }
    QCOMPARE(t.ws.messages.last().text, kCopied);

    // At exit a secret copy goes; the ciphertext stays for the program it was copied for.
    for (const bool secret : {true, false}) {
        Window u;
        u.Key()->setText(QStringLiteral("pw"));
        u.w->SetWorkText(QStringLiteral("plain"));
        if (!secret) u.Run("Quelvane");
        QCOMPARE(u.CopyIsSecret(), secret);
        u.Run("Exit1");
        QVERIFY(u.ws.ended);
        QCOMPARE(u.ws.clipboard.has_value(), !secret);
    }
}

void SecurityTest::qtClipboardCarriesTheHint() {
    QtWindowSystem ws;
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString hint = QStringLiteral("x-kde-passwordManagerHint");
    QVERIFY(ws.SetSecretClipboardText(QStringLiteral("secret\ntext")));
    QCOMPARE(clipboard->text(), QStringLiteral("secret\ntext"));
    QCOMPARE(clipboard->mimeData()->data(hint), QByteArray("secret"));
    QVERIFY(ws.SetClipboardText(QStringLiteral("0A1B")));
    QCOMPARE(clipboard->text(), QStringLiteral("0A1B"));
    QVERIFY(!clipboard->mimeData()->hasFormat(hint));
    // Only the secret copy is taken back, and only while the clipboard holds it.
    ws.ClearSecretClipboard();
    QCOMPARE(clipboard->text(), QStringLiteral("0A1B"));
    QVERIFY(ws.SetSecretClipboardText(QStringLiteral("secret")));
    ws.ClearSecretClipboard();
    QCOMPARE(clipboard->text(), QString());
}

void SecurityTest::savedTextLoadsBackExactly() {
    // Its Windows-1252 bytes happen to be valid UTF-8 ("Das Maߓ ...").
    const QString text = QString::fromUtf8("Das Ma\u00DF\u201C steht am Fu\u00DF\u00BB des Bergs");
    Window t;
    t.w->SetWorkText(text);
    t.Run("SaveTexFile", t.Path(QStringLiteral("notes")));
    t.w->SetWorkText(QStringLiteral("something else"));
    t.Run("LoadTexFile", t.Path(QStringLiteral("notes.TxT")));
    QCOMPARE(t.w->WorkText(), text);
}

void SecurityTest::hexWithAByteOrderMarkDecrypts() {
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("kept safe"));
    t.Run("Quelvane");
    t.Run("SaveQuelvane", t.Path(QStringLiteral("data")));
    const QByteArray saved = Slurp(t.Path(QStringLiteral("data.QvH")));
    QFile marked(t.Path(QStringLiteral("marked.QvH")));
    QVERIFY(marked.open(QIODevice::WriteOnly));
    marked.write("\xEF\xBB\xBF" + saved + "\r\n");  // as some editors save it
    marked.close();

    t.Run("LoadQuelvane", marked.fileName());
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), QStringLiteral("kept safe"));
    QCOMPARE(t.ws.messages.last().text, kDoneDecrypt);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
}

namespace {
QList<QPair<QObject*, QString>> g_eventTexts;
void Record(QAccessibleEvent* event) {
    QObject* from = event->object();
    if (event->type() == QAccessible::TextInserted)
        g_eventTexts << qMakePair(from, static_cast<QAccessibleTextInsertEvent*>(event)->textInserted());
    if (event->type() == QAccessible::TextRemoved)
        g_eventTexts << qMakePair(from, static_cast<QAccessibleTextRemoveEvent*>(event)->textRemoved());
    if (event->type() == QAccessible::TextUpdated) {
        const auto* e = static_cast<QAccessibleTextUpdateEvent*>(event);
        g_eventTexts << qMakePair(from, e->textInserted()) << qMakePair(from, e->textRemoved());
    }
}
}  // namespace

// What a screen reader hears of the password box: a star a character, typed,
// set by a command or taken back; the work text box's events stay whole.
void SecurityTest::passwordEventsCarryStars() {
    // Qt sends text events only while an accessibility bridge is on: the
    // AT-SPI session runs this test so (ctest password_events_atspi).
    const bool expected = qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        !QTest::qWaitFor([] { return QAccessible::isActive(); }, 5000)) {
        if (expected) QFAIL("the accessibility bridge did not start");
        QSKIP("no active accessibility bridge");
    }
    QAccessible::installUpdateHandler(&Record);  // listens in the bridge's place
    Window t;  // the window masks the password box's events in front of it
    t.w->show();
    QLineEdit* key = t.Key();
    key->setFocus();
    QTest::keyClicks(key, QStringLiteral("open"));
    QTest::keyClick(key, Qt::Key_Backspace);
    key->setText(QStringLiteral("sesame"));
    t.w->SetWorkText(QStringLiteral("plain words"));
    int fromPasswordBox = 0;
    bool workTextSeen = false;
    for (const auto& [from, text] : std::as_const(g_eventTexts)) {
        workTextSeen = workTextSeen || text == QStringLiteral("plain words");
        if (from != key) continue;
        ++fromPasswordBox;
        QVERIFY2(text == QString(text.size(), u'*'), qPrintable(text));
    }
    QVERIFY2(fromPasswordBox >= 6, "the password box sent too few text events to judge");
    QVERIFY(workTextSeen);
}

QTEST_MAIN(SecurityTest)
#include "security_test.moc"
