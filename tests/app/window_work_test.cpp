// SPDX-License-Identifier: MIT
// The window keeps the user's work: it asks before quitting would lose a text
// or before a random password replaces a typed one, shows the password on
// request and rates it.
#include <QAccessible>
#include <QDirIterator>
#include <QFile>
#include <QProgressBar>
#include <QSemaphore>
#include <QToolButton>
#include <QtTest>

#include "about/Contrast.h"
#include "about/Info1.h"
#include "app/WorkTextEdit.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

namespace {

const QString kLoseWork =
    QStringLiteral("The work text holds text that was not saved, copied or encrypted. Quit and lose it?");

struct Window : WindowFixture {
    WorkTextEdit* Text() const { return w->findChild<WorkTextEdit*>(QStringLiteral("frmText1")); }
    void Run(const char* name) const { Action(name)->trigger(); }
    void Type(const QString& keys) const { QTest::keyClicks(Text(), keys); }
    int Questions(const QString& text) const {
        int n = 0;
        for (const auto& m : ws.messages) n += m.text == text;
        return n;
    }
};

}  // namespace

class WindowWorkTest : public QObject {
    Q_OBJECT
private slots:
    void exitAsksExactlyWhenWorkWouldBeLost_data();
    void exitAsksExactlyWhenWorkWouldBeLost();
    void generateAsksBeforeReplacingATypedPassword();
    void showHideButton();
    void strengthMeter();
    void readableInLightAndDarkPalettes_data();
    void readableInLightAndDarkPalettes();
    void cancellationLeavesEverythingAsBefore_data();
    void cancellationLeavesEverythingAsBefore();
    void otherNormalisationOpens();
};

void WindowWorkTest::exitAsksExactlyWhenWorkWouldBeLost_data() {
    QTest::addColumn<QString>("steps");  // one letter a step
    QTest::addColumn<bool>("asks");
    // t type, e encrypt, d decrypt, c copy, s save as text, h save as hex,
    // l load a text file, x empty the box
    QTest::newRow("nothing") << "" << false;
    QTest::newRow("typed") << "t" << true;
    QTest::newRow("typed, encrypted") << "te" << false;
    QTest::newRow("typed, encrypted, decrypted") << "ted" << true;
    QTest::newRow("decrypted, copied") << "tedc" << false;
    QTest::newRow("decrypted, saved as text") << "teds" << false;
    QTest::newRow("typed, saved as hex file") << "th" << false;
    QTest::newRow("saved, typed again") << "tst" << true;
    QTest::newRow("loaded") << "l" << false;
    QTest::newRow("loaded, typed") << "lt" << true;
    QTest::newRow("typed, emptied") << "tx" << false;
}

void WindowWorkTest::exitAsksExactlyWhenWorkWouldBeLost() {
    QFETCH(QString, steps);
    QFETCH(bool, asks);
    enum Way { Menu, CtrlQ, CloseBox };
    for (const Way way : {Menu, CtrlQ, CloseBox}) {
        for (const bool yes : {false, true}) {
            Window t;
            t.Key()->setText(QStringLiteral("pw"));
            const QString file = t.Path(QStringLiteral("loaded.TxT"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("from a file") > 0);
            f.close();
            for (const QChar step : steps) {
                switch (step.unicode()) {
                    case 't':
                        t.Type(QStringLiteral("secret"));
                        break;
                    case 'e':
                        t.Run("Quelvane");
                        break;
                    case 'd':
                        t.Run("DeQuelvane");
                        break;
                    case 'c':
                        t.Run("CopyTexBoxToClipboard");
                        break;
                    case 's':
                    case 'h':
                        t.ws.fileAnswers.push_back(
                            t.Path(step == u's' ? QStringLiteral("out") : QStringLiteral("hex")));
                        t.ws.messageAnswers.push_back(MessageAnswer::Yes);  // replace an earlier one
                        t.Run(step == u's' ? "SaveTexFile" : "SaveQuelvane");
                        break;
                    case 'l':
                        t.w->LoadTexFileFrom(file);
                        break;
                    case 'x':
                        t.w->SetWorkText(QString());
                        break;
                }
            }
            t.ws.messages.clear();
            t.ws.messageAnswers.clear();
            t.ws.messageAnswers.push_back(yes ? MessageAnswer::Yes : MessageAnswer::No);
            const QString before = t.w->WorkText();
            t.w->show();
            if (way == Menu) t.Run("Exit1");
            if (way == CtrlQ) {
                QCOMPARE(t.Action("Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
                t.Action("Exit1")->activate(QAction::Trigger);
            }
            if (way == CloseBox) t.w->close();
            QCOMPARE(t.Questions(kLoseWork), asks ? 1 : 0);
            if (asks) {
                QCOMPARE(t.ws.messages[0].buttons, MessageButtons::YesNoDefaultNo);
                QCOMPARE(t.ws.messages[0].icon, MessageIcon::Exclamation);
            }
            const bool ends = !asks || yes;
            QCOMPARE(t.ws.ended, ends);
            QCOMPARE(t.w->isVisible(), !ends || way != CloseBox);  // Exit ends through the window system
            if (!ends) QCOMPARE(t.w->WorkText(), before);
        }
    }
    // A signal has nobody to answer: it closes without asking.
    Window t;
    t.Type(QStringLiteral("typed"));
    t.w->CloseWithoutAsking();
    QVERIFY(t.ws.ended);
    QCOMPARE(t.Questions(kLoseWork), 0);
}

void WindowWorkTest::generateAsksBeforeReplacingATypedPassword() {
    const QString question = QStringLiteral(
        "Replace the password you typed with a random one? The typed password is lost unless it was saved.");
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        Window t;
        t.w->show();
        QTest::keyClicks(t.Key(), QStringLiteral("typed by hand"));
        t.ws.messageAnswers.push_back(answer);
        t.ws.inputAnswers.push_back(QStringLiteral("20"));
        t.Run("GenerateRandomPassWord");
        QCOMPARE(t.Questions(question), 1);
        QCOMPARE(t.Key()->text() == QStringLiteral("typed by hand"), answer == MessageAnswer::No);
        if (answer == MessageAnswer::No) continue;
        // The generated one is no typed one: the next generation replaces it without a word.
        t.ws.inputAnswers.push_back(QStringLiteral("20"));
        const QString generated = t.Key()->text();
        t.Run("GenerateRandomPassWord");
        QCOMPARE(t.Questions(question), 1);
        QVERIFY(t.Key()->text() != generated);
    }
    // A refused length asks nothing; a saved password is kept in its file.
    Window t;
    t.w->show();
    QTest::keyClicks(t.Key(), QStringLiteral("typed"));
    t.ws.inputAnswers.push_back(QStringLiteral("2"));
    t.Run("GenerateRandomPassWord");
    QCOMPARE(t.Questions(question), 0);
    t.ws.fileAnswers.push_back(t.Path(QStringLiteral("key")));
    t.Run("SavePassWord");
    t.Run("GenerateRandomPassWord");
    QCOMPARE(t.Questions(question), 0);
    QCOMPARE(t.Key()->text().size(), 112);
}

void WindowWorkTest::showHideButton() {
    Window t;
    t.w->show();
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    auto* button = t.w->findChild<QToolButton*>(QStringLiteral("ShowPassword"));
    QVERIFY(button);
    QCOMPARE(button->parentWidget(), t.Key());
    t.Key()->setText(QStringLiteral("hidden"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Show password"));
    // Tab still goes from the password to the work text; Shift+Tab reaches
    // the button, Space toggles it, and the screen reader hears its new name.
    t.Key()->setFocus();
    QTest::keyClick(t.Key(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(t.Text()));
    t.Key()->setFocus();
    QTest::keyClick(t.Key(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTRY_COMPARE(QApplication::focusWidget(), button);
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(t.Key()->echoMode(), QLineEdit::Normal);
    QCOMPARE(button->accessibleName(), QStringLiteral("Hide password"));
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
    QVERIFY(face && face->state().checked);
    QCOMPARE(face->text(QAccessible::Name), QStringLiteral("Hide password"));
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(t.Key()->echoMode(), QLineEdit::Password);
    QCOMPARE(t.Key()->text(), QStringLiteral("hidden"));
    // The box's text stops short of the button.
    QVERIFY(t.Key()->textMargins().right() >= button->width());
}

void WindowWorkTest::strengthMeter() {
    Window t;
    auto* word = t.w->findChild<QLabel*>(QStringLiteral("StrengthWord"));
    auto* bar = t.w->findChild<QProgressBar*>(QStringLiteral("StrengthBar"));
    QVERIFY(word && bar);
    QCOMPARE(bar->accessibleName(), QStringLiteral("Password strength"));
    struct Case {
        QString password, word;
    };
    for (const Case& c :
         {Case{QStringLiteral("a"), QStringLiteral("Very weak")},
          Case{QStringLiteral("correcthorsebatterystaple"), QStringLiteral("Weak")}, Case{QString(), QString()}}) {
        t.Key()->setText(c.password);
        QCOMPARE(word->text(), c.word);
        QCOMPARE(bar->accessibleDescription(), c.word);
        QCOMPARE(bar->value() == 0, c.password.isEmpty());
    }
    t.ws.inputAnswers.push_back(QStringLiteral("112"));
    t.Run("GenerateRandomPassWord");
    QCOMPARE(word->text(), QStringLiteral("Very strong"));
    QCOMPARE(bar->value(), bar->maximum());
}

void WindowWorkTest::readableInLightAndDarkPalettes_data() {
    QTest::addColumn<QPalette>("palette");
    QTest::addColumn<bool>("dark");
    QPalette light(QColor(0xEF, 0xEF, 0xEF));
    light.setColor(QPalette::WindowText, QColor(0x20, 0x20, 0x20));
    QPalette breezeDark(QColor(0x31, 0x36, 0x3B));
    breezeDark.setColor(QPalette::WindowText, QColor(0xEF, 0xF0, 0xF1));
    QTest::newRow("light") << light << false;
    QTest::newRow("dark") << QPalette(QColor(0x35, 0x35, 0x35)) << true;
    QTest::newRow("breeze dark") << breezeDark << true;
}

void WindowWorkTest::readableInLightAndDarkPalettes() {
    QFETCH(QPalette, palette);
    QFETCH(bool, dark);
    // The design's white on grey is what failed: 1.8 to 1.
    QVERIFY(qAbs(ContrastRatio(Qt::white, QColor(0xC0, 0xC0, 0xC0)) - 1.82) < 0.01);
    QCOMPARE(ContrastRatio(Qt::black, Qt::white), 21.0);

    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    for (const bool changedLater : {false, true}) {
        if (!changedLater) QApplication::setPalette(palette);
        Window t;
        t.Run("InFo");
        if (changedLater) QApplication::setPalette(palette);  // the desktop switches while it runs
        auto* info = t.w->findChild<Info1*>();
        QVERIFY(info);
        const QColor grey(0xC0, 0xC0, 0xC0);
        const QList<QWidget*> labels{t.w->findChild<QLabel*>(QStringLiteral("Label1")),
                                     t.w->findChild<QLabel*>(QStringLiteral("StrengthWord")), info};
        for (QWidget* label : labels) {
            const QPalette& shown = label->palette();
            const double ratio = ContrastRatio(shown.color(QPalette::Window), shown.color(QPalette::WindowText));
            QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1: %2").arg(label->objectName()).arg(ratio)));
            // The design's grey where it reads; a dark palette's own window under a dark one.
            QCOMPARE(shown.color(QPalette::Window), dark ? palette.color(QPalette::Window) : grey);
        }
    }
}

void WindowWorkTest::cancellationLeavesEverythingAsBefore_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("when");
    for (const char* command :
         {"Quelvane", "DeQuelvane", "LoadTexFile", "LoadQuelvane", "SaveTexFile", "SaveQuelvane", "SavePassWord"}) {
        for (const char* when : {"as it starts", "while it runs", "window closed"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(command, when))) << command << when;
    }
}

void WindowWorkTest::cancellationLeavesEverythingAsBefore() {
    QFETCH(QString, command);
    QFETCH(QString, when);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    QString text;
    for (int i = 0; i < 2000; ++i) text += QStringLiteral("line %1 of a text worth keeping\n").arg(i);
    t.w->SetWorkText(text);
    t.Run("Quelvane");
    const QString hex = t.w->WorkText();
    QFile file(t.Path(QStringLiteral("in")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(hex.toLatin1()) > 0);
    file.close();
    t.w->SetWorkText(command == u"DeQuelvane" ? hex : text);
    const QString before = t.w->WorkText();
    const QString target = t.Path(QStringLiteral("out"));
    t.ws.fileAnswers.push_back(command.startsWith(u"Save") ? target : file.fileName());
    t.ws.messages.clear();
    t.ws.messageAnswers.push_back(MessageAnswer::Yes);  // closing: lose the work

    BackgroundWork& work = t.w->Background();
    work.SetShowAfter(0);
    QSemaphore go;
    if (when != u"as it starts") work.SetWorkerHold([&go] { go.acquire(); });
    bool barShown = false, othersRefused = false, started = false;
    QObject::connect(&work, &BackgroundWork::runningChanged, t.w.get(), [&](bool running) {
        if (!running || started) return;
        started = true;
        if (when == u"as it starts") return QTest::keyClick(t.Text(), Qt::Key_Escape);
        QTimer::singleShot(0, t.w.get(), [&] {
            // The window goes on: the bar shows, a second command does not start.
            const auto release = qScopeGuard([&go] { go.release(); });  // also when a check fails
            auto* bar = t.w->findChild<QProgressBar*>(QStringLiteral("WorkProgress"));
            QTRY_VERIFY(!bar->isHidden());
            barShown = true;
            const qsizetype asked = t.ws.fileRequests.size();
            t.Run("Quelvane");
            t.Run("LoadTexFile");
            othersRefused =
                !t.Action("Quelvane")->isEnabled() && t.ws.messages.isEmpty() && t.ws.fileRequests.size() == asked;
            if (when == u"window closed")
                t.w->close();
            else
                QTest::keyClick(t.Text(), Qt::Key_Escape);
        });
    });
    t.Run(qPrintable(command));

    if (when != u"as it starts") QVERIFY(barShown && othersRefused);
    QCOMPARE(t.w->WorkText(), before);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    QVERIFY(!QFile::exists(target) && !QFile::exists(target + QStringLiteral(".TxT")) &&
            !QFile::exists(target + QStringLiteral(".QvH")) && !QFile::exists(target + QStringLiteral(".QvP")));
    // Only the question about the work, when closing; no outcome is told.
    for (const auto& m : t.ws.messages) QCOMPARE(m.text, kLoseWork);
    QCOMPARE(t.ws.busyDepth, 0);
    QStringList left;
    for (QDirIterator it(t.tmp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString name = it.next();
        if (!name.endsWith(QStringLiteral("/in")) && !name.endsWith(QStringLiteral("Quelvane.lock"))) left << name;
    }
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));  // no temporary file stays
    QCOMPARE(t.ws.ended, when == u"window closed");
    if (t.ws.ended) return;
    // Everything works again, and Escape is the boxes' own once more.
    QVERIFY(t.Action("Quelvane")->isEnabled() && !t.w->findChild<QAction*>(QStringLiteral("CancelWork"))->isEnabled());
    QVERIFY(!t.Key()->isReadOnly());
    work.SetWorkerHold({});
    t.ws.fileAnswers = {command.startsWith(u"Save") ? target : file.fileName()};
    t.Run(qPrintable(command));
    QVERIFY(!t.ws.messages.isEmpty());
}

void WindowWorkTest::otherNormalisationOpens() {
    // The same password with its accent composed (NFC) and decomposed (NFD).
    const QString composed = QStringLiteral("caf\u00e9 cr\u00e8me");
    const QString decomposed = composed.normalized(QString::NormalizationForm_D);
    QVERIFY(composed != decomposed);
    for (const auto& [made, typed, form] : {std::tuple{composed, decomposed, QStringLiteral("NFC")},
                                            std::tuple{decomposed, composed, QStringLiteral("NFD")}}) {
        Window t;
        t.Key()->setText(made);
        t.w->SetWorkText(QStringLiteral("opened either way"));
        t.Run("Quelvane");
        t.Key()->setText(typed);
        t.ws.messages.clear();
        t.Run("DeQuelvane");
        QCOMPARE(t.w->WorkText(), QStringLiteral("opened either way"));
        QCOMPARE(t.Key()->text(), typed);  // kept as typed
        QCOMPARE(t.ws.messages.size(), 2);
        QVERIFY2(t.ws.messages[0].text.contains(form), qPrintable(t.ws.messages[0].text));
        QVERIFY(t.ws.messages[1].text.startsWith(QStringLiteral("Done!")));
    }
}

QTEST_MAIN(WindowWorkTest)
#include "window_work_test.moc"
