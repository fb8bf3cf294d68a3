// SPDX-License-Identifier: MIT
// The window's age road: the format chosen for new encryptions and kept in
// the settings, the worker that derives the key while the window goes on,
// age files saved and opened every way a file comes in, and payloads the
// work text cannot hold.
#include <fcntl.h>
#include <unistd.h>
#include <QLabel>
#include <QSettings>
#include <QtTest>

#include "age/Encryptor.h"
#include "app/WorkTextEdit.h"
#include "tests/support/WindowFixture.h"
#include "text/QtByteText.h"

using namespace quelvane;

namespace {

const QString kBegin = QStringLiteral("-----BEGIN AGE ENCRYPTED FILE-----\n");

QSettings Settings() { return QSettings(QStringLiteral("Quelvane"), QStringLiteral("Quelvane")); }

// An age file of payload under "pw", with a small work factor: quick to open.
QByteArray AgeFile(const QByteArray& payload, bool armor) {
    QByteArray out;
    age::Encryptor e({armor, 10}, [&](const std::uint8_t* p, std::size_t n) {
        out.append(reinterpret_cast<const char*>(p), qsizetype(n));
        return true;
    });
    age::Error error;
    const auto* data = reinterpret_cast<const std::uint8_t*>(payload.constData());
    if (!e.Start("pw", &error) || !e.Write(data, std::size_t(payload.size()), &error) || !e.Finish(&error)) return {};
    return out;
}

bool WriteFile(const QByteArray& nativePath, const QByteArray& bytes) {
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool written = ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Window : WindowFixture {
    // Made again after the choice is forgotten: each case starts from the default.
    Window() {
        Settings().remove(QStringLiteral("Encryption/Format"));
        w = std::make_unique<frmMain>(ws);
        w->SetTemporaryParent(tmp.path());
    }
    WorkTextEdit* Text() const { return w->findChild<WorkTextEdit*>(QStringLiteral("frmText1")); }
    QString Shown() const { return w->findChild<QLabel*>(QStringLiteral("FormatShown"))->text(); }
    void Run(const char* name) const { Action(name)->trigger(); }
    QString Last() const { return ws.messages.isEmpty() ? QString() : ws.messages.last().text; }
};

}  // namespace

class WindowAgeTest : public QObject {
    Q_OBJECT
private slots:
    void formatFromSettings_data();
    void formatFromSettings();
    void choiceIsKeptAndUsed();
    void ageEncryptionKeepsTheWindowGoing();
    void saveSuffix_data();
    void saveSuffix();
    void opensEveryForm_data();
    void opensEveryForm();
    void payloadRules_data();
    void payloadRules();
    void nameThatIsNotUtf8OpensItsOwnFile();
};

void WindowAgeTest::formatFromSettings_data() {
    QTest::addColumn<QVariant>("stored");  // invalid: no value
    QTest::addColumn<QString>("format");
    QTest::newRow("missing") << QVariant() << "quelvane";
    QTest::newRow("quelvane") << QVariant(QStringLiteral("quelvane")) << "quelvane";
    QTest::newRow("age") << QVariant(QStringLiteral("age")) << "age";
    QTest::newRow("other case") << QVariant(QStringLiteral("AGE")) << "quelvane";
    QTest::newRow("unknown") << QVariant(QStringLiteral("gpg")) << "quelvane";
    QTest::newRow("empty") << QVariant(QString()) << "quelvane";
    QTest::newRow("a number") << QVariant(3) << "quelvane";
}

void WindowAgeTest::formatFromSettings() {
    QFETCH(QVariant, stored);
    QFETCH(QString, format);
    {
        QSettings settings = Settings();
        if (stored.isValid())
            settings.setValue(QStringLiteral("Encryption/Format"), stored);
        else
            settings.remove(QStringLiteral("Encryption/Format"));
    }
    ScriptedWindowSystem ws;
    frmMain w(ws);  // the settings as they are, not the fixture's reset
    QCOMPARE(w.NewFormat(), format);
    auto* action = w.findChild<QAction*>(QStringLiteral("EncryptAsAge"));
    QCOMPARE(action->isChecked(), format == u"age");
    QVERIFY(w.findChild<QLabel*>(QStringLiteral("FormatShown"))->text().endsWith(format == u"age" ? "age" : "hex"));
    // Reading leaves an unknown value alone: only a choice writes.
    QCOMPARE(Settings().value(QStringLiteral("Encryption/Format")), stored);
}

void WindowAgeTest::choiceIsKeptAndUsed() {
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    const QString text = QStringLiteral("caf\u00e9\nsecond line\n");
    for (const bool age : {true, false}) {
        t.Run("EncryptAsAge");
        QCOMPARE(t.Action("EncryptAsAge")->isChecked(), age);
        QCOMPARE(Settings().value(QStringLiteral("Encryption/Format")).toString(), age ? "age" : "quelvane");
        QCOMPARE(frmMain(t.ws).NewFormat(), age ? "age" : "quelvane");  // a later start takes it
        QVERIFY(t.Shown().endsWith(age ? "age" : "hex"));

        t.w->SetWorkText(text);
        t.Run("Quelvane");
        const QString made = t.w->WorkText();
        QCOMPARE(made.startsWith(kBegin), age);
        if (!age) QVERIFY(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(made).hasMatch());
        QVERIFY(t.Last().startsWith(QStringLiteral("Done!")));
        // Decrypting tells the format itself, whatever is chosen now.
        t.Run("EncryptAsAge");
        t.Run("DeQuelvane");
        QCOMPARE(t.w->WorkText(), text);
        t.Run("EncryptAsAge");
    }
}

void WindowAgeTest::ageEncryptionKeepsTheWindowGoing() {
    Window t;
    t.Run("EncryptAsAge");
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("a text"));
    t.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.w.get()));

    int ticks = 0, paints = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&ticks] { ++ticks; });
    struct PaintCount : QObject {
        int* n;
        explicit PaintCount(int* count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*n;
            return false;
        }
    } paintCount(&paints);
    t.Text()->viewport()->installEventFilter(&paintCount);

    bool busy = false, ticking = false, painted = false, refused = false, started = false;
    QObject::connect(&t.w->Background(), &BackgroundWork::runningChanged, t.w.get(), [&](bool running) {
        if (!running || started) return;
        started = true;
        QTimer::singleShot(0, t.w.get(), [&] {
            // The derivation has begun on the worker once its busy pointer is shown.
            QTRY_VERIFY(t.ws.busyDepth == 1);
            busy = true;
            const int at = ticks;
            QTRY_VERIFY(ticks > at + 3);
            ticking = true;
            const int before = paints;
            t.Text()->viewport()->update();
            QTRY_VERIFY(paints > before);
            painted = true;
            t.ws.fileAnswers.push_back(t.Path(QStringLiteral("out")));
            t.Run("DeQuelvane");
            t.Run("SaveQuelvane");
            t.Run("EncryptAsAge");
            refused = t.ws.messages.isEmpty() && t.ws.fileRequests.isEmpty() && !t.Action("Quelvane")->isEnabled() &&
                      t.Action("EncryptAsAge")->isChecked();
        });
    });
    tick.start();
    t.Run("Quelvane");
    QVERIFY(busy && ticking && painted && refused);
    QVERIFY(t.w->WorkText().startsWith(kBegin));
    QCOMPARE(t.ws.busyDepth, 0);
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY(t.Action("EncryptAsAge")->isEnabled());
}

void WindowAgeTest::saveSuffix_data() {
    QTest::addColumn<bool>("age");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("file");
    QTest::newRow("age, no suffix") << true << "data"
                                    << "data.age";
    QTest::newRow("age, .age") << true << "data.age"
                               << "data.age";
    QTest::newRow("age, .AGE") << true << "data.AGE"
                               << "data.AGE";
    QTest::newRow("age, .QvH") << true << "data.QvH"
                               << "data.QvH.age";
    QTest::newRow("hex, no suffix") << false << "data"
                                    << "data.QvH";
    QTest::newRow("hex, .QvH") << false << "data.QvH"
                               << "data.QvH.QvH";
    QTest::newRow("hex, .age") << false << "data.age"
                               << "data.age.QvH";
}

void WindowAgeTest::saveSuffix() {
    QFETCH(bool, age);
    QFETCH(QString, chosen);
    QFETCH(QString, file);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    const QString armored = QString::fromLatin1(AgeFile("saved\n", true));
    if (age) {
        t.w->SetWorkText(armored);
    } else {
        t.w->SetWorkText(QStringLiteral("saved"));
        t.Run("Quelvane");
    }
    const QString shown = t.w->WorkText();
    t.ws.fileAnswers.push_back(t.Path(chosen));
    t.Run("SaveQuelvane");
    QCOMPARE(t.ws.fileRequests.last().filterPattern, age ? QStringLiteral("*.age") : QStringLiteral("*.QvH"));
    QVERIFY2(QFile::exists(t.Path(file)), qPrintable(t.Last()));
    // Armor exactly as age writes it: LF line breaks, nothing added.
    QCOMPARE(Read(t.Path(file)), age ? armored.toLatin1() : shown.toLatin1());
    t.w->SetWorkText(QString());
    t.ws.fileAnswers.push_back(t.Path(file));
    t.Run("LoadQuelvane");
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), age ? QStringLiteral("saved\n") : QStringLiteral("saved"));
}

void WindowAgeTest::opensEveryForm_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("way");
    for (const char* form : {"armored", "armored, CR LF", "binary", "armored in .QvH", "hex"})
        for (const char* way : {"menu", "drop", "start"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(form, way))) << form << way;
}

void WindowAgeTest::opensEveryForm() {
    QFETCH(QString, form);
    QFETCH(QString, way);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    const QString plain = QStringLiteral("opened\nsecond line");
    QByteArray bytes;
    if (form == u"hex") {
        t.w->SetWorkText(plain);
        t.Run("Quelvane");
        bytes = t.w->WorkText().toLatin1();
    } else {
        bytes = AgeFile(plain.toUtf8(), form != u"binary");
        if (form == u"armored, CR LF") bytes.replace("\n", "\r\n");
    }
    const QString path = t.Path(form == u"hex" || form == u"armored in .QvH" ? "data.QvH" : "data.age");
    QVERIFY(WriteFile(QFile::encodeName(path), bytes));
    t.w->SetWorkText(QStringLiteral("before"));
    t.ws.messages.clear();
    if (way == u"menu") {
        t.ws.fileAnswers.push_back(path);
        t.Run("LoadQuelvane");
    } else if (way == u"drop") {
        QVERIFY(t.w->LoadDroppedFiles({QUrl::fromLocalFile(path)}));
    } else {
        t.Key()->clear();  // a window opened with a file has no password yet
        t.w->LoadStartFiles({path});
        QVERIFY(t.ws.messages.isEmpty());
        t.Key()->setText(QStringLiteral("pw"));
    }
    QCOMPARE(t.w->WorkText().startsWith(kBegin), form != u"hex");
    t.ws.messages.clear();
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), plain);
    QVERIFY(t.Last().startsWith(QStringLiteral("Done!")));
}

void WindowAgeTest::payloadRules_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("text");  // null: refused as no text
    QTest::newRow("LF") << QByteArray("one\ntwo\n") << "one\ntwo\n";
    QTest::newRow("CR LF") << QByteArray("one\r\ntwo\r\n") << "one\ntwo\n";
    QTest::newRow("UTF-8") << QByteArray("caf\xC3\xA9 \xF0\x9F\x94\x91") << QStringLiteral("caf\u00e9 \U0001F511");
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("Latin-1") << QByteArray("caf\xE9") << QString();
    QTest::newRow("NUL") << QByteArray("a\0b", 3) << QString();
    QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) << QString();
}

void WindowAgeTest::payloadRules() {
    QFETCH(QByteArray, payload);
    QFETCH(QString, text);
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    const QString armored = QString::fromLatin1(AgeFile(payload, true));
    t.w->SetWorkText(armored);
    t.Run("DeQuelvane");
    if (!text.isNull()) {
        QCOMPARE(t.w->WorkText(), text);
        return;
    }
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.Last().contains(QStringLiteral("quelvane-cli")), qPrintable(t.Last()));
    QCOMPARE(t.w->WorkText(), armored);
    QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
}

void WindowAgeTest::nameThatIsNotUtf8OpensItsOwnFile() {
    Window t;
    const QByteArray folder = QFile::encodeName(t.tmp.path());
    // Qt's own decoding makes U+FFFD of the byte: a file of that name must stay unread.
    const auto removeOwn = qScopeGuard([&folder] {  // QTemporaryDir cannot remove them
        for (const char* name : {"/caf\xE9.TxT", "/caf\xE9.age"}) ::unlink((folder + name).constData());
    });
    QVERIFY(WriteFile(folder + "/caf\xEF\xBF\xBD.TxT", "the wrong file"));
    QVERIFY(WriteFile(folder + "/caf\xE9.TxT", "its own text"));
    QVERIFY(WriteFile(folder + "/caf\xE9.age", AgeFile("its own age text", false)));
    t.w->LoadStartFiles({NameFromBytes(folder + "/caf\xE9.TxT")});
    QVERIFY2(t.ws.messages.isEmpty(), qPrintable(t.Last()));
    QCOMPARE(t.w->WorkText(), QStringLiteral("its own text"));

    t.w->LoadStartFiles({NameFromBytes(folder + "/caf\xE9.age")});
    t.Key()->setText(QStringLiteral("pw"));
    t.Run("DeQuelvane");
    QCOMPARE(t.w->WorkText(), QStringLiteral("its own age text"));

    // A name that cannot be read is shown with the byte escaped.
    t.ws.messages.clear();
    t.w->LoadStartFiles({NameFromBytes(folder + "/gone\xE9.TxT")});
    QCOMPARE(t.ws.messages.size(), 1);
    QVERIFY2(t.Last().contains(QStringLiteral("gone\\xE9.TxT")), qPrintable(t.Last()));
}

QTEST_MAIN(WindowAgeTest)
#include "window_age_test.moc"
