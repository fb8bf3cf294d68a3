// SPDX-License-Identifier: MIT
// The real window system: what the modal boxes show and what they answer,
// the busy pointer, the clipboard and the main window's geometry in twips.
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "app/QtWindowSystem.h"

using namespace quelvane;

namespace {

// Runs check on the modal box once it is open.
void WhenModal(std::function<void(QWidget*)> check) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            check(modal);
        }
    });
    timer->start();
}

}  // namespace

class QtWindowSystemTest : public QObject {
    Q_OBJECT
private slots:
    void messageBoxShowsWhatItIsGiven();
    void questionAnswersYesOrNo();
    void inputBox();
    void busyPointerAndClipboard();
    void geometryInTwips();
};

void QtWindowSystemTest::messageBoxShowsWhatItIsGiven() {
    QtWindowSystem ws;
    struct Case {
        MessageIcon icon;
        QMessageBox::Icon shown;
    };
    for (const Case c :
         {Case{MessageIcon::None, QMessageBox::NoIcon}, Case{MessageIcon::Information, QMessageBox::Information},
          Case{MessageIcon::Exclamation, QMessageBox::Warning}}) {
        bool seen = false;
        WhenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral(" Quelvane "));
            QCOMPARE(box->text(), QStringLiteral(" Your Txt \n\n Has Been Copyed To Clipboard "));
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QCOMPARE(box->icon(), c.shown);
            QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            seen = true;
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(ws.MessageBox(QStringLiteral(" Your Txt \r\n\r\n Has Been Copyed To Clipboard "),
                               QStringLiteral(" Quelvane "), c.icon),
                 MessageAnswer::Ok);
        QVERIFY(seen);
    }
    // No title: the program's.
    WhenModal([](QWidget* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("Quelvane"));
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    ws.MessageBox(QStringLiteral("x"), QString(), MessageIcon::None);
}

void QtWindowSystemTest::questionAnswersYesOrNo() {
    QtWindowSystem ws;
    for (const auto pressed : {QMessageBox::Yes, QMessageBox::No}) {
        WhenModal([pressed](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QCOMPARE(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            box->button(pressed)->click();
        });
        const MessageAnswer answer =
            ws.MessageBox(QStringLiteral("Output File Already Exist. Do you want To OVERWRITE It?"),
                          QStringLiteral(" Quelvane"), MessageIcon::Exclamation, MessageButtons::YesNo);
        QCOMPARE(answer, pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No);
    }
}

void QtWindowSystemTest::inputBox() {
    QtWindowSystem ws;
    WhenModal([](QWidget* w) {
        auto* dialog = qobject_cast<QInputDialog*>(w);
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Generate Random PassWord"));
        QCOMPARE(dialog->labelText(), QStringLiteral("PassWord Max 448 "));
        QCOMPARE(dialog->textValue(), QStringLiteral("112"));
        dialog->setTextValue(QStringLiteral("300"));
        dialog->accept();
    });
    QCOMPARE(ws.InputBox(QStringLiteral("PassWord Max 448 "), QStringLiteral("Generate Random PassWord"),
                         QStringLiteral("112")),
             QStringLiteral("300"));
    WhenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    QCOMPARE(ws.InputBox(QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("112")), QString());  // Cancel
}

void QtWindowSystemTest::busyPointerAndClipboard() {
    QtWindowSystem ws;
    QVERIFY(!QApplication::overrideCursor());
    ws.SetBusyPointer(true);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ws.SetBusyPointer(false);
    ws.SetBusyPointer(false);  // once too often does no harm
    QVERIFY(!QApplication::overrideCursor());

    QVERIFY(ws.SetClipboardText(QStringLiteral("line one\nline two")));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line one\nline two"));
    QVERIFY(ws.SetClipboardText(QString()));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
}

void QtWindowSystemTest::geometryInTwips() {
    QtWindowSystem ws;
    QVERIFY(!ws.MainWindowGeometry());
    QVERIFY(!ws.SetMainWindowGeometry({0, 0, 3000, 3000}));
    QMainWindow window;
    window.setFixedSize(200, 100);
    ws.SetMainWindow(&window);
    QVERIFY(!ws.SetMainWindowGeometry({0, 0, 3000, 3000}));  // not shown yet
    window.move(20, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const std::optional<WindowGeometry> g = ws.MainWindowGeometry();
    QVERIFY(g);
    QCOMPARE(g->left, window.frameGeometry().x() * 15.0);
    QCOMPARE(g->width, window.frameGeometry().width() * 15.0);
    QVERIFY(ws.ScreenWidth() > 0);
    QVERIFY(ws.SetMainWindowGeometry({g->left + 30, g->top + 30, g->width - 60, g->height - 60}));
    QCOMPARE(window.width(), 196);  // 60 twips are 4 pixels
    QCOMPARE(window.height(), 96);
}

QTEST_MAIN(QtWindowSystemTest)
#include "qtwindowsystem_test.moc"
