// SPDX-License-Identifier: MIT
// Module1/Module2 through a scripted window system, and the real dialog.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

#include "dialogs/FileDialogs.h"

using namespace quelvane;

namespace {

// Answers ChooseFile with the next scripted answer and keeps the requests.
class ScriptedDialogs : public WindowSystem {
public:
    QList<FileDialogRequest> requests;
    QList<std::optional<QString>> answers;

    MessageAnswer MessageBox(const QString&, const QString&, MessageIcon, MessageButtons) override {
        qFatal("no message box expected");
    }
    QString InputBox(const QString&, const QString&, const QString&) override { qFatal("no input box expected"); }
    void SetBusyPointer(bool) override {}
    bool SetClipboardText(const QString&) override { return false; }
    std::optional<QString> ChooseFile(const FileDialogRequest& request) override {
        requests << request;
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

void Touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

// Runs the real dialog; once it is shown, act(dialog) decides how it closes.
// A dialog that is still open after a few seconds (an unexpected question on
// top of it, say) is torn down so the test fails instead of hanging.
std::optional<QString> RunDialog(const FileDialogRequest& request, std::function<void(QFileDialog*)> act) {
    bool acted = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (acted) return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog && dialog->isVisible()) {
                acted = true;
                act(dialog);
                return;
            }
        }
    });
    poll.start();
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        qWarning("dialog still open: closing everything");
        while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    });
    watchdog.start(8000);
    std::optional<QString> result = RunQtFileDialog(request);
    if (!watchdog.isActive()) qWarning("watchdog fired");
    return result;
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void saveAndOpenAskTheWindowSystem();
    void answersBecomePaths();
    void filterCount_data();
    void filterCount();
    void initialFolder_data();
    void initialFolder();
    void realDialogShowsTheRequest_data();
    void realDialogShowsTheRequest();
    void realDialogListsTheSuffixInAnyCase();
    void realDialogReturnsTypedNames();
    void realDialogCancel();
    void realDialogShowsDetailsWhole();
    void realDialogFilesOfTypeNeverBlank();

private:
    QTemporaryDir config;  // the settings of this run, never the user's
};

void DialogsTest::initTestCase() {
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    const QString file = QSettings(QStringLiteral("Quelvane"), QStringLiteral("Quelvane")).fileName();
    QVERIFY2(file.startsWith(config.path() + u'/'), qPrintable(file));
}

void DialogsTest::saveAndOpenAskTheWindowSystem() {
    ScriptedDialogs ws;
    ws.answers = {QStringLiteral("/home/user/notes"), QStringLiteral("/home/user/key.QvP")};
    // The callers' shape: two-entry lists of which the first is used.
    const QStringList patterns{"*.TxT", ""}, names{"TxT", ""};
    const QString start = StartFolder("TxT");
    QCOMPARE(ShowSaveDialog(ws, "Save TxT File", patterns, names, 1), std::optional<QString>("/home/user/notes"));
    QCOMPARE(ShowOpenDialog(ws, "Load Quelvane PassWord", {"*.QvP", ""}, {"QvP", ""}, 1),
             std::optional<QString>("/home/user/key.QvP"));
    QCOMPARE(ws.requests.size(), 2);
    QCOMPARE(ws.requests[0].save, true);
    QCOMPARE(ws.requests[0].title, QStringLiteral("Save TxT File"));
    QCOMPARE(ws.requests[0].filterName, QStringLiteral("TxT"));
    QCOMPARE(ws.requests[0].filterPattern, QStringLiteral("*.TxT"));
    QCOMPARE(ws.requests[0].initialFolder, start);
    QCOMPARE(ws.requests[1].save, false);
    QCOMPARE(ws.requests[1].title, QStringLiteral("Load Quelvane PassWord"));
    QCOMPARE(ws.requests[1].filterName, QStringLiteral("QvP"));
    QCOMPARE(ws.requests[1].filterPattern, QStringLiteral("*.QvP"));
}

void DialogsTest::answersBecomePaths() {
    ScriptedDialogs ws;
    auto ask = [&](std::optional<QString> answer) {
        ws.answers = {answer};
        return ShowOpenDialog(ws, "Load TxT File", {"*.TxT"}, {"TxT"}, 1);
    };
    QCOMPARE(ask(std::nullopt), std::nullopt);
    QCOMPARE(ask(QString()), std::nullopt);
    QCOMPARE(ask(QString("/tmp/a.TxT") + QChar(u'\0') + QString(236, u' ')), std::optional<QString>("/tmp/a.TxT"));
    QCOMPARE(ask(QString(QChar(u'\0'))), std::nullopt);
    // Longer than 254 characters is fine here, longer than the file system takes is not.
    const QString deep = "/tmp/" + QStringList(40, QString(20, u'd')).join(u'/') + "/x.TxT";
    QCOMPARE(ask(deep), std::optional<QString>(deep));
    QCOMPARE(ask("/tmp/" + QString(kMaxPathBytes, u'p')), std::nullopt);
    QCOMPARE(ask("/tmp/" + QString(kMaxNameBytes + 1, u'n')), std::nullopt);
    const QString longestName = "/tmp/" + QString(kMaxNameBytes, u'n');
    QCOMPARE(ask(longestName), std::optional<QString>(longestName));
    // The limit counts bytes: 128 two-byte letters are 256 bytes.
    QCOMPARE(ask("/tmp/" + QString(128, QChar(0xE9))), std::nullopt);
}

void DialogsTest::filterCount_data() {
    QTest::addColumn<float>("count");
    QTest::addColumn<QStringList>("entries");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("0") << 0.0f << QStringList{};
    QTest::newRow("0.5") << 0.5f << QStringList{};
    QTest::newRow("negative") << -3.0f << QStringList{};
    QTest::newRow("NaN") << nan << QStringList{};
    QTest::newRow("1") << 1.0f << QStringList{"TxT (*.TxT)"};
    QTest::newRow("1.9") << 1.9f << QStringList{"TxT (*.TxT)"};
    QTest::newRow("2") << 2.0f << QStringList{"TxT (*.TxT)", "QvH (*.QvH)"};
    QTest::newRow("past the lists") << 5.0f << QStringList{"TxT (*.TxT)", "QvH (*.QvH)"};
    QTest::newRow("huge") << 1e30f << QStringList{"TxT (*.TxT)", "QvH (*.QvH)"};
}

void DialogsTest::filterCount() {
    QFETCH(float, count);
    QFETCH(QStringList, entries);
    const QStringList patterns{"*.TxT", "*.QvH"}, names{"TxT", "QvH"};
    QCOMPARE(FilterEntries(patterns, names, count), entries);
    ScriptedDialogs ws;
    ShowSaveDialog(ws, "Save TxT File", patterns, names, count);
    QCOMPARE(ws.requests.size(), 1);
    QCOMPARE(ws.requests[0].filterPattern, entries.isEmpty() ? QString() : QStringLiteral("*.TxT"));
    QCOMPARE(ws.requests[0].filterName, entries.isEmpty() ? QString() : QStringLiteral("TxT"));
    // Lists shorter than the count are not read past.
    QCOMPARE(FilterEntries({"*.TxT"}, {}, count), QStringList{});
}

void DialogsTest::initialFolder_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("password") << "QvP";
    QTest::newRow("text") << "TxT";
    QTest::newRow("hex") << "QvH";
}

// Each kind of file starts where a file of its kind was last chosen, kept
// between dialogs and runs; else in the home folder, never the program's.
void DialogsTest::initialFolder() {
    QFETCH(QString, kind);
    QSettings(QStringLiteral("Quelvane"), QStringLiteral("Quelvane")).clear();
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString first = tmp.filePath("first"), second = tmp.filePath("second");
    QVERIFY(QDir().mkpath(first) && QDir().mkpath(second));
    const QStringList kinds{"QvP", "TxT", "QvH"};
    ScriptedDialogs ws;
    auto open = [&](const QString& k, std::optional<QString> answer) {
        ws.answers = {answer};
        ShowOpenDialog(ws, "Load", {"*." + k}, {k}, 1);
        return ws.requests.last().initialFolder;
    };
    auto save = [&](const QString& k, std::optional<QString> answer) {
        ws.answers = {answer};
        ShowSaveDialog(ws, "Save", {"*." + k}, {k}, 1);
        return ws.requests.last().initialFolder;
    };

    // Nothing kept: home, even though this program's folder could be written.
    QCOMPARE(open(kind, std::nullopt), QDir::homePath());
    QVERIFY(QFileInfo(QCoreApplication::applicationDirPath()).isWritable());
    QVERIFY(StartFolder(kind) != QCoreApplication::applicationDirPath());

    // Chosen in one dialog, the next of the kind starts there; the other kinds do not.
    QCOMPARE(save(kind, first + "/name"), QDir::homePath());
    QCOMPARE(open(kind, second + "/other." + kind), first);
    for (const QString& other : kinds)
        if (other != kind) QCOMPARE(open(other, std::nullopt), QDir::homePath());
    // The last choice counts; a cancel changes nothing; a new settings object reads the same.
    QCOMPARE(save(kind, std::nullopt), second);
    QCOMPARE(StartFolder(kind), second);
    // A folder that is gone is forgotten: home again.
    QVERIFY(QDir(second).removeRecursively());
    QCOMPARE(open(kind, std::nullopt), QDir::homePath());
    // A choice in a folder that does not exist keeps nothing.
    QCOMPARE(save(kind, tmp.filePath("absent/name")), QDir::homePath());
    QCOMPARE(StartFolder(kind), QDir::homePath());
}

void DialogsTest::realDialogShowsTheRequest_data() {
    QTest::addColumn<bool>("save");
    QTest::newRow("save") << true;
    QTest::newRow("open") << false;
}

void DialogsTest::realDialogShowsTheRequest() {
    QFETCH(bool, save);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const FileDialogRequest request{save, save ? "Save Hex QvH File" : "Load Hex QvH File", "QvH", "*.QvH", tmp.path()};
    bool checked = false;
    RunDialog(request, [&](QFileDialog* d) {
        QCOMPARE(d->objectName(), save ? QStringLiteral("ShowSaveDialog") : QStringLiteral("ShowOpenDialog"));
        QCOMPARE(d->windowTitle(), request.title);
        QCOMPARE(d->parentWidget(), nullptr);
        QCOMPARE(d->nameFilters(), QStringList{"QvH (*.QvH)"});
        QCOMPARE(QFileInfo(d->directory().absolutePath()), QFileInfo(tmp.path()));
        QCOMPARE(d->acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(d->fileMode(), QFileDialog::AnyFile);
        QVERIFY(d->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(d->testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(d->defaultSuffix().isEmpty());
        checked = true;
        d->reject();
    });
    QVERIFY(checked);
}

void DialogsTest::realDialogListsTheSuffixInAnyCase() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const char* name : {"a.TxT", "notes.txt", "NOTES.TXT", "b.QvH", "c.TxT.bak", "txt"}) Touch(tmp.filePath(name));
    QStringList listed;
    RunDialog({false, "Load TxT File", "TxT", "*.TxT", tmp.path()}, [&](QFileDialog* d) {
        auto* model = d->findChild<QFileSystemModel*>();
        QVERIFY(model);
        const QModelIndex root = model->index(tmp.path());
        // The model fills in the background.
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(root), 3, 5000);
        for (int r = 0; r < model->rowCount(root); ++r) listed << model->index(r, 0, root).data().toString();
        d->reject();
    });
    listed.sort();
    QCOMPARE(listed, (QStringList{"NOTES.TXT", "a.TxT", "notes.txt"}));
}

void DialogsTest::realDialogReturnsTypedNames() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Touch(tmp.filePath("existing.QvP"));
    auto typeAndAccept = [](const QString& name) {
        return [name](QFileDialog* d) {
            auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(edit);
            edit->setText(name);
            static_cast<QDialog*>(d)->accept();  // as the Save / Open button does
        };
    };
    // Save: no suffix is added and an existing file is not asked about.
    QCOMPARE(RunDialog({true, "Save Quelvane PassWord", "QvP", "*.QvP", tmp.path()}, typeAndAccept("key")),
             std::optional<QString>(tmp.filePath("key")));
    QCOMPARE(RunDialog({true, "Save Quelvane PassWord", "QvP", "*.QvP", tmp.path()}, typeAndAccept("existing.QvP")),
             std::optional<QString>(tmp.filePath("existing.QvP")));
    // Open: a name that does not exist comes back too.
    QCOMPARE(RunDialog({false, "Load Quelvane PassWord", "QvP", "*.QvP", tmp.path()}, typeAndAccept("absent.QvP")),
             std::optional<QString>(tmp.filePath("absent.QvP")));
    QCOMPARE(RunDialog({false, "Load Quelvane PassWord", "QvP", "*.QvP", tmp.path()}, typeAndAccept("existing.QvP")),
             std::optional<QString>(tmp.filePath("existing.QvP")));
}

void DialogsTest::realDialogCancel() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QCOMPARE(RunDialog({true, "Save TxT File", "TxT", "*.TxT", tmp.path()}, [](QFileDialog* d) { d->reject(); }),
             std::nullopt);
    QCOMPARE(RunDialog({false, "Load TxT File", "TxT", "*.TxT", tmp.path()}, [](QFileDialog* d) { d->close(); }),
             std::nullopt);
}

void DialogsTest::realDialogShowsDetailsWhole() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QStringList names{"Letter to the bank, March.TxT", "a.TxT", "Notes from the meeting 2024.TxT"};
    for (int i = 0; i < names.size(); ++i) {
        QFile f(tmp.filePath(names[i]));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1234567 * i + 10, 'x'));  // bytes, KiB and MiB
    }
    bool checked = false;
    RunDialog({false, "Load TxT File", "TxT", "*.TxT", tmp.path()}, [&](QFileDialog* d) {
        auto* model = d->findChild<QFileSystemModel*>();
        auto* view = d->findChild<QTreeView*>("treeView");
        QVERIFY(model && view && view->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(model->index(tmp.path())), 3, 5000);
        QCoreApplication::processEvents();
        QHeaderView* header = view->header();
        // Every column as wide as its widest entry: nothing is cut to "...".
        for (int column = 0; column < 4; ++column)
            QVERIFY2(header->sectionSize(column) >= static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column),
                     qPrintable(QStringLiteral("column %1: %2 < %3")
                                    .arg(column)
                                    .arg(header->sectionSize(column))
                                    .arg(static_cast<QAbstractItemView*>(view)->sizeHintForColumn(column))));
        QVERIFY(d->width() <= d->screen()->availableGeometry().width());
        checked = true;
        d->reject();
    });
    QVERIFY(checked);
}

void DialogsTest::realDialogFilesOfTypeNeverBlank() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    for (const char* name : {"a.TxT", "b.log", "c.log"}) Touch(tmp.filePath(name));
    auto typeOf = [](QFileDialog* d) { return d->findChild<QComboBox*>("fileTypeCombo")->currentText(); };
    // With the request's filter, and with none.
    QString shown;
    RunDialog({false, "Load TxT File", "TxT", "*.TxT", tmp.path()}, [&](QFileDialog* d) {
        shown = typeOf(d);
        d->reject();
    });
    QCOMPARE(shown, QStringLiteral("TxT (*.TxT)"));
    RunDialog({false, "Load", QString(), QString(), tmp.path()}, [&](QFileDialog* d) {
        shown = typeOf(d);
        d->reject();
    });
    QCOMPARE(shown, QStringLiteral("All Files (*)"));
    // A typed pattern narrows the list and shows as the type; it is not chosen as a file.
    std::optional<QString> chosen =
        RunDialog({false, "Load TxT File", "TxT", "*.TxT", tmp.path()}, [&](QFileDialog* d) {
            auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
            edit->setText(QStringLiteral("*.log"));
            static_cast<QDialog*>(d)->accept();  // as Return in the name box does
            QVERIFY(d->isVisible());
            shown = typeOf(d);
            auto* model = d->findChild<QFileSystemModel*>();
            QTRY_COMPARE_WITH_TIMEOUT(model->rowCount(model->index(tmp.path())), 2, 5000);
            edit->setText(QStringLiteral("b.log"));
            static_cast<QDialog*>(d)->accept();  // as Return in the name box does
        });
    QCOMPARE(shown, QStringLiteral("*.log"));
    QCOMPARE(chosen, std::optional<QString>(tmp.filePath("b.log")));
}

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
