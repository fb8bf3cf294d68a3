// SPDX-License-Identifier: MIT
// What the window keeps from others and keeps exact: the clipboard marks
// every copy but hex ciphertext as a secret, the work text box's own copies
// too, and its plaintext is no primary selection; texts saved with "&Save Tex
// File" load back unchanged, and hex files with a byte-order mark decrypt.
#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QtTest>

#include "app/QtWindowSystem.h"
#include "app/WorkTextEdit.h"
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

// Runs open, which shows a popup menu, and chooses caption there once it shows.
void ChooseFromMenu(const QString& caption, const std::function<void()>& open) {
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        poll.stop();
        for (QAction* a : menu->actions())
            if (a->text().section(u'\t', 0, 0) == caption) a->trigger();
        menu->close();
    });
    poll.start();
    open();  // returns when the menu closes
}

// Returns once the events posted so far (a zero timer among them) have run.
void Settle() {
    bool settled = false;
    QTimer::singleShot(0, [&] { settled = true; });
    QTRY_VERIFY(settled);
}

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
    void workTextCopiesAreMarked_data();
    void workTextCopiesAreMarked();
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

enum class Copy { CtrlC, CtrlX, MenuCopy, MenuCut };
Q_DECLARE_METATYPE(Copy)

void SecurityTest::workTextCopiesAreMarked_data() {
    QTest::addColumn<Copy>("how");
    QTest::addColumn<bool>("ciphertext");  // the work text is the ciphertext just made
    for (const bool ciphertext : {false, true}) {
        const char* what = ciphertext ? "ciphertext" : "plaintext";
        QTest::addRow("Ctrl+C, %s", what) << Copy::CtrlC << ciphertext;
        QTest::addRow("Ctrl+X, %s", what) << Copy::CtrlX << ciphertext;
        QTest::addRow("context menu Copy, %s", what) << Copy::MenuCopy << ciphertext;
        QTest::addRow("context menu Cut, %s", what) << Copy::MenuCut << ciphertext;
    }
}

// The box's own copies take the menu's road: plaintext marked secret, gone
// after a while and at exit; the ciphertext plain and kept. A selection of
// plaintext is no primary selection (which no one can mark or take back);
// one of the ciphertext is. (The primary selection needs an X server: ctest
// worktext_copies_x11 runs this there.)
void SecurityTest::workTextCopiesAreMarked() {
    QFETCH(Copy, how);
    QFETCH(bool, ciphertext);
    Window t;
    t.w->SetClipboardExpiry(std::chrono::milliseconds(20));
    t.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.w.get()));
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("the plaintext"));
    if (ciphertext) t.Run("Quelvane");
    auto* box = t.w->findChild<WorkTextEdit*>(QStringLiteral("frmText1"));
    const QString work = t.w->WorkText(), part = work.left(8);

    QClipboard* clipboard = QGuiApplication::clipboard();
    const bool primary = clipboard->supportsSelection();
    if (primary) clipboard->setText(QStringLiteral("from elsewhere"), QClipboard::Selection);
    box->setFocus();
    box->setSelection(0, part.size());
    Settle();
    if (primary) QCOMPARE(clipboard->text(QClipboard::Selection), ciphertext ? part : QStringLiteral("from elsewhere"));

    t.ws.clipboardSecret = ciphertext;  // the copy must set it either way
    const bool cut = how == Copy::CtrlX || how == Copy::MenuCut;
    if (how == Copy::CtrlC || how == Copy::CtrlX)
        QTest::keyClick(box, cut ? Qt::Key_X : Qt::Key_C, Qt::ControlModifier);
    else
        ChooseFromMenu(cut ? WorkTextEdit::tr("Cu&t") : WorkTextEdit::tr("&Copy"),
                       [&] { QTest::keyClick(box, Qt::Key_Menu); });
    QCOMPARE(t.ws.clipboard, std::optional<QString>(part));
    QCOMPARE(t.ws.clipboardSecret, !ciphertext);
    QCOMPARE(box->toPlainText(), cut ? work.mid(part.size()) : work);
    QCOMPARE(t.ws.messages.size(), ciphertext ? 1 : 0);  // no box: the encryption's "Done!" alone

    if (ciphertext) {
        t.Run("Exit1");
        QCOMPARE(t.ws.clipboard, std::optional<QString>(part));
    } else {
        QTRY_VERIFY(!t.ws.clipboard.has_value());
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
