// SPDX-License-Identifier: MIT
// The main window as a desktop window: what a screen reader names its
// controls, the menu's shortcuts (none taking a key of the text boxes),
// files dropped on it, a size that follows the window's, the closing slide
// from every state of the window, and text readable on a dark desktop.
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QtTest>
#include <cmath>

#include "about/Info1.h"
#include "app/QtWindowSystem.h"
#include "app/WorkTextEdit.h"
#include "app/frmMain.h"
#include "tests/support/WindowFixture.h"

using namespace quelvane;

namespace {

const QString kNoPassword = QStringLiteral("PassWord Not Set, Please Set Before Proceding");

struct Window : WindowFixture {
    WorkTextEdit* Text() const { return w->findChild<WorkTextEdit*>(QStringLiteral("frmText1")); }
    void Write(const QString& name, const QByteArray& bytes) const {
        QFile f(Path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Drops the files on target (the window itself by default), as a file manager would.
    bool Drop(const QList<QUrl>& urls, QWidget* target = nullptr) {
        target = target ? target : w.get();
        QMimeData mime;
        mime.setUrls(urls);
        mime.setText(urls.isEmpty() ? QString() : urls[0].toLocalFile());  // file managers add the path as text
        const QPointF at(5, 5);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        QCoreApplication::processEvents();  // the load runs once the drop is over
        return drop.isAccepted();
    }
    QUrl File(const QString& name) const { return QUrl::fromLocalFile(Path(name)); }
    QString LastMessage() const { return ws.messages.isEmpty() ? QString() : ws.messages.last().text; }
};

}  // namespace

class WindowHabitsTest : public QObject {
    Q_OBJECT
private slots:
    void screenReadersNameTheControls();
    void everyCommandHasAShortcut();
    void shortcutsAreDocumented();
    void shortcutsRunCommandsAndLeaveEditingKeys();
    void droppedFilesLoadAsTheMenuWould();
    void otherDropsAreToldAndChangeNothing();
    void filesNamedAtStart_data();
    void filesNamedAtStart();
    void controlsKeepTheirAnchors_data();
    void controlsKeepTheirAnchors();
    void closingSlideInEveryState_data();
    void closingSlideInEveryState();
    void textStaysReadable_data();
    void textStaysReadable();
};

void WindowHabitsTest::screenReadersNameTheControls() {
    Window t;
    auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    QCOMPARE(t.w->findChild<QLabel*>(QStringLiteral("Label1"))->buddy(), t.Key());
    QCOMPARE(name(t.Key()), QStringLiteral("Password"));
    QVERIFY(QAccessible::queryAccessibleInterface(t.Key())->state().passwordEdit);
    QCOMPARE(QAccessible::queryAccessibleInterface(t.Key())->text(QAccessible::Description),
             QStringLiteral("Enter PassWord  (Max 448 Characters) "));
    QCOMPARE(name(t.NumBox()), QStringLiteral("Password length"));
    t.Key()->setText(QStringLiteral("secret"));
    QCOMPARE(QAccessible::queryAccessibleInterface(t.NumBox())->text(QAccessible::Value), QStringLiteral("6"));
    QAccessibleInterface* text = QAccessible::queryAccessibleInterface(t.Text());
    QCOMPARE(text->role(), QAccessible::EditableText);
    QCOMPARE(name(t.Text()), QStringLiteral("Work text"));
    QVERIFY(!text->text(QAccessible::Description).isEmpty());
    // The password never shows through the text interface as itself.
    QAccessibleTextInterface* key = QAccessible::queryAccessibleInterface(t.Key())->textInterface();
    QVERIFY(!key || !key->text(0, -1).contains(QStringLiteral("secret")));
}

void WindowHabitsTest::everyCommandHasAShortcut() {
    Window t;
    // Keys the text boxes take on any desktop (Qt's X11 bindings included),
    // and keys input methods take.
    QList<QKeySequence> taken{Qt::CTRL | Qt::Key_A,
                              Qt::CTRL | Qt::Key_C,
                              Qt::CTRL | Qt::Key_V,
                              Qt::CTRL | Qt::Key_X,
                              Qt::CTRL | Qt::Key_Z,
                              Qt::CTRL | Qt::Key_Y,
                              Qt::CTRL | Qt::SHIFT | Qt::Key_Z,
                              Qt::CTRL | Qt::Key_E,
                              Qt::CTRL | Qt::Key_D,
                              Qt::CTRL | Qt::Key_K,
                              Qt::CTRL | Qt::Key_U,
                              Qt::CTRL | Qt::Key_W,
                              Qt::CTRL | Qt::Key_Insert,
                              Qt::SHIFT | Qt::Key_Insert,
                              Qt::SHIFT | Qt::Key_Delete,
                              Qt::SHIFT | Qt::Key_F10,
                              Qt::Key_Menu,
                              Qt::CTRL | Qt::Key_Space,
                              Qt::CTRL | Qt::SHIFT | Qt::Key_U,
                              Qt::CTRL | Qt::SHIFT | Qt::Key_E,
                              Qt::CTRL | Qt::Key_Backspace,
                              Qt::CTRL | Qt::Key_Delete,
                              Qt::CTRL | Qt::Key_Left,
                              Qt::CTRL | Qt::Key_Right,
                              Qt::CTRL | Qt::Key_Home,
                              Qt::CTRL | Qt::Key_End,
                              Qt::Key_Escape,
                              Qt::Key_Tab,
                              Qt::Key_F10,
                              Qt::ALT | Qt::Key_F};
    for (QKeySequence::StandardKey key :
         {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::Undo, QKeySequence::Redo,
          QKeySequence::SelectAll, QKeySequence::Delete, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteCompleteLine, QKeySequence::MoveToStartOfLine, QKeySequence::MoveToEndOfLine,
          QKeySequence::DeleteStartOfWord, QKeySequence::DeleteEndOfWord})
        taken += QKeySequence::keyBindings(key);

    QSet<QString> seen;
    int commands = 0;
    for (QAction* action : t.w->findChild<QMenu*>(QStringLiteral("File1"))->actions()) {
        if (action->isSeparator()) continue;
        ++commands;
        const QKeySequence key = action->shortcut();
        QVERIFY2(!key.isEmpty(), qPrintable(action->objectName()));
        QVERIFY2(!taken.contains(key), qPrintable(action->objectName() + u' ' + key.toString()));
        QVERIFY2(!seen.contains(key.toString()), qPrintable(key.toString()));
        seen.insert(key.toString());
    }
    QCOMPARE(commands, 13);
    QCOMPARE(t.Action("Quelvane")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QCOMPARE(t.Action("Exit1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void WindowHabitsTest::shortcutsAreDocumented() {
    // The README's table and the manual page name each shortcut with its caption.
    auto read = [](const char* name) {
        QFile f(QStringLiteral(QUELVANE_SOURCE_DIR "/") + QLatin1String(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    const QString readme = read("README.md"), manual = read("packaging/quelvane.1");
    QVERIFY(!readme.isEmpty() && !manual.isEmpty());
    Window t;
    for (QAction* action : t.w->findChild<QMenu*>(QStringLiteral("File1"))->actions()) {
        if (action->isSeparator()) continue;
        const QString keys = action->shortcut().toString(QKeySequence::PortableText);
        const QString caption = action->text().remove(u'&').simplified();
        QVERIFY2(readme.contains(QStringLiteral("| %1 | %2").arg(keys, caption)), qPrintable(keys + u' ' + caption));
        QVERIFY2(manual.contains(QStringLiteral(".B %1\n%2").arg(keys, caption)), qPrintable(keys + u' ' + caption));
    }
}

void WindowHabitsTest::shortcutsRunCommandsAndLeaveEditingKeys() {
    Window t;
    t.w->show();
    t.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    WorkTextEdit* text = t.Text();
    text->setFocus();
    QTest::keyClicks(text, QStringLiteral("plain words"));
    QTest::keyClick(text, Qt::Key_L, Qt::ControlModifier);  // "&Quelvane" without a password
    QCOMPARE(t.LastMessage(), kNoPassword);
    t.Key()->setText(QStringLiteral("pw"));
    QTest::keyClick(text, Qt::Key_L, Qt::ControlModifier);
    QVERIFY(t.LastMessage().startsWith(QStringLiteral("Done! Hear Is Your Quelvane")));
    QTest::keyClick(text, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);  // "&DeQuelvane"
    QCOMPARE(t.w->WorkText(), QStringLiteral("plain words"));
    // From the password box too.
    t.Key()->setFocus();
    QTest::keyClick(t.Key(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(t.ws.inputs.size(), 1);
    // Editing keys stay the box's own.
    text->setFocus();
    const int messages = static_cast<int>(t.ws.messages.size());
    QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(text, QStringLiteral(" more"));
    QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(t.w->WorkText(), QStringLiteral("plain words "));
    QTest::keyClick(text, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(t.w->WorkText(), QStringLiteral("plain words more"));
    QCOMPARE(t.ws.messages.size(), messages);
}

void WindowHabitsTest::droppedFilesLoadAsTheMenuWould() {
    Window t;
    t.Write(QStringLiteral("notes.TxT"), "first, second\r\nthird");
    t.Write(QStringLiteral("key.QvP"), "dropkey");
    // A hex file, made by encrypting through the window.
    t.Key()->setText(QStringLiteral("dropkey"));
    t.w->SetWorkText(QStringLiteral("dropped secret"));
    t.Action("Quelvane")->trigger();
    t.Write(QStringLiteral("data.QvH"), t.w->WorkText().toLatin1());

    // What "&Load Tex File" makes of the file, through its dialog.
    Window menu;
    menu.ws.fileAnswers.push_back(t.Path(QStringLiteral("notes.TxT")));
    menu.Action("LoadTexFile")->trigger();
    QVERIFY(t.Drop({t.File(QStringLiteral("notes.TxT"))}));
    QCOMPARE(t.w->WorkText(), menu.w->WorkText());
    QCOMPARE(t.w->Hidden().List1, menu.w->Hidden().List1);
    QCOMPARE(t.LastMessage(), menu.LastMessage());
    QCOMPARE(t.LastMessage(), QStringLiteral("Your TxT File Is Loaded From\r\n") + t.Path(QStringLiteral("notes.TxT")));
    QCOMPARE(t.w->Hidden().txtSource, t.Path(QStringLiteral("notes.TxT")));

    t.Key()->clear();
    QVERIFY(t.Drop({t.File(QStringLiteral("key.QvP"))}, t.Key()));  // on the password box: loaded, not typed
    QCOMPARE(t.Key()->text(), QStringLiteral("dropkey"));
    QCOMPARE(t.NumBox()->text(), QStringLiteral("7"));
    QCOMPARE(t.LastMessage(), QStringLiteral("PassWord Loaded From \r\n") + t.Path(QStringLiteral("key.QvP")));

    QVERIFY(t.Drop({t.File(QStringLiteral("data.QvH"))}, t.Text()));
    QVERIFY(t.LastMessage().startsWith(QStringLiteral("Your Hex Quelvane Loaded From\r\n")));
    t.Action("DeQuelvane")->trigger();
    QCOMPARE(t.w->WorkText(), QStringLiteral("dropped secret"));

    // The same rule as the menu: no hex file without a password.
    t.Key()->clear();
    t.w->SetWorkText(QStringLiteral("kept"));
    QVERIFY(t.Drop({t.File(QStringLiteral("data.QvH"))}));
    QCOMPARE(t.LastMessage(), kNoPassword);
    QCOMPARE(t.w->WorkText(), QStringLiteral("kept"));
    // Suffixes in any case, as the dialogs list them.
    t.Write(QStringLiteral("lower.txt"), "lower case");
    QVERIFY(t.Drop({t.File(QStringLiteral("lower.txt"))}));
    QCOMPARE(t.w->WorkText(), QStringLiteral("lower case"));
}

void WindowHabitsTest::otherDropsAreToldAndChangeNothing() {
    Window t;
    t.Key()->setText(QStringLiteral("pw"));
    t.w->SetWorkText(QStringLiteral("unchanged"));
    t.Write(QStringLiteral("report.pdf"), "%PDF");
    t.Write(QStringLiteral("a.TxT"), "a");
    t.Write(QStringLiteral("b.TxT"), "b");
    struct Case {
        QList<QUrl> urls;
        QString says;
    };
    const QList<Case> cases{
        {{t.File(QStringLiteral("report.pdf"))}, QStringLiteral("is not a file Quelvane loads")},
        {{t.File(QStringLiteral("a.TxT")), t.File(QStringLiteral("b.TxT"))}, QStringLiteral("Drop one file")},
        {{QUrl(QStringLiteral("https://example.org/x.TxT"))}, QStringLiteral("is not a file on this computer")},
        {{QUrl::fromLocalFile(t.tmp.path())}, QStringLiteral("is not a file Quelvane loads")},
    };
    for (const Case& c : cases) {
        t.ws.messages.clear();
        t.Drop(c.urls);
        QCOMPARE(t.ws.messages.size(), 1);
        QVERIFY2(t.LastMessage().contains(c.says), qPrintable(t.LastMessage()));
        QCOMPARE(t.ws.messages.last().icon, MessageIcon::Exclamation);
        QCOMPARE(t.w->WorkText(), QStringLiteral("unchanged"));
        QCOMPARE(t.Key()->text(), QStringLiteral("pw"));
    }
    // A missing file with a known suffix gets the load's own message.
    t.ws.messages.clear();
    t.Drop({t.File(QStringLiteral("gone.TxT"))});
    QVERIFY(t.LastMessage().startsWith(QStringLiteral("Cannot read")));
    QCOMPARE(t.w->WorkText(), QStringLiteral("unchanged"));
    // Text that is not a file is not taken by the window.
    QMimeData plain;
    plain.setText(QStringLiteral("just text"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &plain, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(t.w.get(), &enter);
    QVERIFY(!enter.isAccepted());
}

void WindowHabitsTest::filesNamedAtStart_data() {
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("work");  // "hex": the hex file's text
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("told");  // what each message box says, in part
    QTest::newRow("hex without a password") << QStringList{"data.QvH"} << "hex"
                                            << "" << QStringList{};
    QTest::newRow("text") << QStringList{"notes.TxT"} << "notes"
                          << "" << QStringList{};
    QTest::newRow("password") << QStringList{"key.QvP"} << ""
                              << "openkey" << QStringList{};
    // The work text holds one of them: the last stays, and the user is told.
    QTest::newRow("several in order, any case")
        << QStringList{"key.QvP", "notes.TxT", "LOUD.qvh"} << "hex"
        << "openkey"
        << QStringList{
               "Several files were named for the work text, which holds one at a time: it keeps the last, "
               "%1LOUD.qvh"};
    QTest::newRow("two password files")
        << QStringList{"key.QvP", "key.QvP"} << ""
        << "openkey"
        << QStringList{
               "Several password files were named, and the password box holds one: it keeps the last, %1key.QvP"};
    QTest::newRow("a missing file, then the next") << QStringList{"gone.TxT", "notes.TxT"} << "notes"
                                                   << "" << QStringList{"Cannot read %1gone.TxT"};
    QTest::newRow("another suffix") << QStringList{"report.pdf", "key.QvP"} << ""
                                    << "openkey" << QStringList{"%1report.pdf is not a file Quelvane opens"};
}

void WindowHabitsTest::filesNamedAtStart() {
    QFETCH(QStringList, files);
    QFETCH(QString, work);
    QFETCH(QString, password);
    QFETCH(QStringList, told);
    Window t;
    t.Key()->setText(QStringLiteral("openkey"));
    t.w->SetWorkText(QStringLiteral("opened secret"));
    t.Action("Quelvane")->trigger();
    const QString hex = t.w->WorkText();
    t.Write(QStringLiteral("data.QvH"), hex.toLatin1());
    t.Write(QStringLiteral("LOUD.qvh"), hex.toLatin1());
    t.Write(QStringLiteral("notes.TxT"), "notes");
    t.Write(QStringLiteral("key.QvP"), "openkey");
    t.Write(QStringLiteral("report.pdf"), "%PDF");

    // A new window, as a file manager opens one.
    Window opened;
    opened.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(opened.w.get()));
    opened.Text()->setFocus();
    QStringList paths;
    for (const QString& name : files) paths << t.Path(name);
    opened.w->LoadStartFiles(paths);

    QCOMPARE(opened.w->WorkText(), work == QStringLiteral("hex") ? hex : work);
    QCOMPARE(opened.Key()->text(), password);
    QCOMPARE(opened.ws.messages.size(), told.size());
    for (int i = 0; i < told.size(); ++i) {
        QVERIFY2(opened.ws.messages[i].text.startsWith(told[i].arg(t.tmp.path() + u'/')),
                 qPrintable(opened.ws.messages[i].text));
        QCOMPARE(opened.ws.messages[i].icon, MessageIcon::Exclamation);
    }
    if (work == QStringLiteral("hex")) {
        QCOMPARE(opened.w->focusWidget(), opened.Key());  // ready for the password
        opened.Key()->setText(QStringLiteral("openkey"));
        opened.Action("DeQuelvane")->trigger();
        QCOMPARE(opened.w->WorkText(), QStringLiteral("opened secret"));
    }
    // Drops and the menu keep their rule: no hex file without a password.
    opened.Key()->clear();
    opened.Drop({t.File(QStringLiteral("data.QvH"))});
    QCOMPARE(opened.LastMessage(), kNoPassword);
}

namespace {

// Where each control is, relative to the client area's top-left corner and
// to its bottom-right one.
struct Places {
    QSize client;
    QMap<QString, QRect> rects;
    explicit Places(const frmMain& w) : client(w.centralWidget()->size()) {
        for (const char* name : {"txtKey", "Label1", "PNum", "frmText1", "Label2"})
            rects[QLatin1String(name)] = w.findChild<QWidget*>(QLatin1String(name))->geometry();
    }
    QRect operator[](const char* name) const { return rects[QLatin1String(name)]; }
    int RightGap(const char* name) const { return client.width() - (*this)[name].right(); }
    int BottomGap(const char* name) const { return client.height() - (*this)[name].bottom(); }
};

}  // namespace

void WindowHabitsTest::controlsKeepTheirAnchors_data() {
    QTest::addColumn<QSize>("grow");  // what the window is resized by; nothing: maximised
    QTest::newRow("larger") << QSize(300, 200);
    QTest::newRow("wider only") << QSize(250, 0);
    QTest::newRow("taller only") << QSize(0, 180);
    QTest::newRow("smaller than designed") << QSize(-120, -90);
    QTest::newRow("maximised") << QSize();
}

void WindowHabitsTest::controlsKeepTheirAnchors() {
    QFETCH(QSize, grow);
    Window t;
    t.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.w.get()));
    const Places design(*t.w);
    QCOMPARE(design.client, QSize(409, 221));
    // Larger first, then to the size asked for: the controls must come back too.
    t.w->resize(t.w->size() + QSize(200, 150));
    QTRY_VERIFY(t.w->centralWidget()->width() > design.client.width());
    if (grow.isValid()) {
        t.w->resize(t.w->size() - QSize(200, 150) + grow);
        const QSize want = (design.client + grow).expandedTo(design.client);  // never below the design
        QTRY_COMPARE(t.w->centralWidget()->size(), want);
    } else {
        t.w->showMaximized();
        QTRY_VERIFY(t.w->isMaximized());
        QTRY_COMPARE(t.w->centralWidget()->width(), t.w->width());
        QVERIFY(t.w->centralWidget()->height() > design.client.height());
    }
    const Places now(*t.w);
    const QSize grown = now.client - design.client;
    // The password row keeps its place and size at the top left.
    for (const char* name : {"txtKey", "Label1", "PNum"}) QCOMPARE(now[name], design[name]);
    // The work text box takes all the room: its corner stays, its edges keep their gaps.
    QCOMPARE(now["frmText1"].topLeft(), design["frmText1"].topLeft());
    QCOMPARE(now["frmText1"].size(), design["frmText1"].size() + grown);
    QCOMPARE(now.RightGap("frmText1"), design.RightGap("frmText1"));
    QCOMPARE(now["Label2"].top() - now["frmText1"].bottom(), design["Label2"].top() - design["frmText1"].bottom());
    // The strip runs along the bottom edge, full width.
    QCOMPARE(now["Label2"].left(), 0);
    QCOMPARE(now["Label2"].width(), now.client.width());
    QCOMPARE(now.BottomGap("Label2"), design.BottomGap("Label2"));
    QCOMPARE(now["Label2"].height(), design["Label2"].height());
    QVERIFY(t.w->minimumSize().width() >= design.client.width());
}

namespace {

// The real window system, but the end of the program is only noted.
struct EndNoted : QtWindowSystem {
    bool ended = false;
    void EndProgram() override { ended = true; }
};

}  // namespace

void WindowHabitsTest::closingSlideInEveryState_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("slides");
    QTest::newRow("normal") << int(Qt::WindowNoState) << true;
    QTest::newRow("maximised") << int(Qt::WindowMaximized) << true;
    QTest::newRow("full screen") << int(Qt::WindowFullScreen) << true;
    QTest::newRow("minimised") << int(Qt::WindowMinimized) << false;
}

void WindowHabitsTest::closingSlideInEveryState() {
    QFETCH(int, state);
    QFETCH(bool, slides);
    EndNoted ws;
    frmMain w(ws);
    ws.SetMainWindow(&w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QSize designed = w.size();
    w.setWindowState(Qt::WindowStates(state));
    QTRY_COMPARE(int(w.windowState()), state);
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) QTRY_VERIFY(w.width() > designed.width());
    const QRect before = w.frameGeometry();
    w.Exit1_Click();
    QVERIFY(ws.ended);
    if (!slides) return;
    // It left the maximised or full-screen state and went down and right, smaller.
    QCOMPARE(int(w.windowState()), int(Qt::WindowNoState));
    const QRect after = w.frameGeometry();
    QVERIFY2(
        after.left() > before.left() && after.top() > before.top(),
        qPrintable(
            QStringLiteral("%1,%2 -> %3,%4").arg(before.left()).arg(before.top()).arg(after.left()).arg(after.top())));
    QVERIFY(after.width() < before.width() && after.height() < before.height());
}

namespace {

double Luminance(QColor c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(QColor a, QColor b) {
    const double x = Luminance(a) + 0.05, y = Luminance(b) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

// What a part of a widget shows: its commonest colour (the background) and
// the colour that stands out most against it (the text).
struct Shown {
    QColor background, text;
    double contrast = 0;
};

Shown Look(QWidget* widget, QRect part = QRect()) {
    const QImage image = widget->grab(part.isNull() ? widget->rect() : part).toImage();
    QHash<QRgb, int> count;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++count[image.pixel(x, y)];
    Shown shown;
    int most = 0;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (it.value() > most) most = it.value(), shown.background = QColor(it.key());
    for (auto it = count.cbegin(); it != count.cend(); ++it) {
        const double contrast = Contrast(QColor(it.key()), shown.background);
        if (contrast > shown.contrast) shown.contrast = contrast, shown.text = QColor(it.key());
    }
    return shown;
}

}  // namespace

void WindowHabitsTest::textStaysReadable_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("the desktop's palette") << false;
    QTest::newRow("a dark palette") << true;
}

void WindowHabitsTest::textStaysReadable() {
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    if (dark) QApplication::setPalette(QPalette(QColor(0x35, 0x35, 0x35)));  // light text on black and grey
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    Window t;
    t.Key()->setText(QStringLiteral("secret"));
    t.w->SetWorkText(QStringLiteral("Meet me at the old mill at nine."));
    t.w->show();
    QVERIFY(QTest::qWaitForWindowExposed(t.w.get()));

    // Each control with its text, inside its frame: the text stands out as
    // text should (WCAG's 4.5 to 1), whichever colours the desktop chose.
    const int inset = 4;
    QMenuBar* menu = t.w->menuBar();
    const QList<std::pair<QWidget*, QRect>> parts{
        {t.w->findChild<QLabel*>(QStringLiteral("Label1")), QRect()},
        {t.Key(), t.Key()->rect().adjusted(inset, inset, -inset, -inset)},
        {t.NumBox(), t.NumBox()->rect().adjusted(inset, inset, -inset, -inset)},
        {t.Text()->viewport(), QRect()},
        {menu, menu->actionGeometry(menu->actions().first())},
    };
    for (const auto& [widget, part] : parts) {
        const Shown shown = Look(widget, part);
        QVERIFY2(shown.contrast >= 4.5,
                 qPrintable(QStringLiteral("%1: %2 on %3, %4 to 1")
                                .arg(widget->objectName(), shown.text.name(), shown.background.name())
                                .arg(shown.contrast, 0, 'f', 1)));
    }
    // The grey of the design stays under a light palette, under the labels
    // too; under a dark one the body follows the palette.
    const QColor body = dark ? QApplication::palette().color(QPalette::Window) : QColor(0xC0, 0xC0, 0xC0);
    QCOMPARE(Look(t.w->findChild<QLabel*>(QStringLiteral("Label2"))).background, body);

    // The about window's design, white on grey, is 1.8 to 1: its text takes
    // the palette's colour, on the grey where that reads.
    t.Action("InFo")->trigger();
    auto* info = t.w->findChild<Info1*>();
    QVERIFY(info && QTest::qWaitForWindowExposed(info));
    const Shown about = Look(info);
    QCOMPARE(about.background, body);
    QVERIFY2(about.contrast >= 4.5, qPrintable(QString::number(about.contrast)));
}

QTEST_MAIN(WindowHabitsTest)
#include "window_habits_test.moc"
