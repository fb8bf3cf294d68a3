// SPDX-License-Identifier: MIT
// The about window: one window, ten lines, shown again after closing.
#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "about/Info1.h"

using quelvane::Info1;

namespace {

QList<Info1*> VisibleInfoWindows() {
    QList<Info1*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* info = qobject_cast<Info1*>(w); info && info->isVisible()) found << info;
    return found;
}

QImage Snapshot(QWidget& w) {
    QImage image(w.size(), QImage::Format_RGB32);
    image.fill(Qt::black);
    w.render(&image);
    return image;
}

int WhitePixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == qRgb(255, 255, 255);
    return n;
}

}  // namespace

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void theTenLines();
    void design();
    void oneWindowRaisedNotReloaded();
    void closedAndShownAgain();
    void textIsDrawnOnTheSurface();
    void notModalAndNeverKeepsTheProgramAlive();
};

void AboutTest::theTenLines() {
    const QStringList lines = Info1::Lines();
    QCOMPARE(lines.size(), 10);
    QList<int> empty;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].isEmpty()) empty << i + 1;
    QCOMPARE(empty, (QList<int>{1, 3, 9}));
    QCOMPARE(lines[1], QStringLiteral(" Quelvane Encryption And Decryption Encrypts To a Hex Format"));
    QCOMPARE(lines[3], QStringLiteral(" Description"));
    QCOMPARE(lines[7], QStringLiteral(" The Longer Your Password The More Security You Can Paste Your PassWord In The "
                                      "Box or Generate Random PassWord max 448"));
    for (int i : {4, 5, 6, 9}) QVERIFY2(lines[i].startsWith(u' ') && lines[i].size() > 10, qPrintable(lines[i]));
    QVERIFY(lines[4].contains(QLatin1String("Blowfish")));
    QVERIFY(lines[9].contains(QLatin1String(QUELVANE_VERSION)));
}

void AboutTest::design() {
    Info1 info;
    info.ShowInfo();
    QCOMPARE(info.windowTitle(), QStringLiteral("Info"));
    QVERIFY(info.isWindow());
    const Qt::WindowFlags flags = info.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(info.minimumSize(), QSize(12555 / 15, 3720 / 15));
    QCOMPARE(info.maximumSize(), QSize(837, 248));
    QCOMPARE(info.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    QVERIFY(info.autoFillBackground());
    QVERIFY(info.font().bold());
    QCOMPARE(info.font().pointSizeF(), 9.0);
    QVERIFY(!info.windowIcon().isNull());
    QVERIFY(info.windowIcon().availableSizes().contains(QSize(24, 24)));
    QVERIFY(info.findChildren<QWidget*>().isEmpty());  // no controls
}

void AboutTest::oneWindowRaisedNotReloaded() {
    QWidget owner;
    owner.resize(400, 200);
    owner.show();
    Info1 info(&owner);
    QVERIFY(info.isWindow());  // a window of its own although owned
    info.ShowInfo();
    const QPoint placed = info.pos();
    info.move(placed + QPoint(30, 20));  // the user moves it
    info.ShowInfo();
    QCOMPARE(VisibleInfoWindows(), QList<Info1*>{&info});
    QCOMPARE(info.pos(), placed + QPoint(30, 20));  // raised, not loaded again
}

void AboutTest::closedAndShownAgain() {
    Info1 info;
    info.ShowInfo();
    QPointer<Info1> alive(&info);
    QVERIFY(info.close());
    QVERIFY(alive);
    QVERIFY(!info.isVisible());
    QVERIFY(VisibleInfoWindows().isEmpty());
    info.ShowInfo();
    QVERIFY(info.isVisible());
    QCOMPARE(VisibleInfoWindows(), QList<Info1*>{&info});
    QVERIFY(info.font().bold());
}

void AboutTest::textIsDrawnOnTheSurface() {
    if (QFontDatabase::families().isEmpty()) QSKIP("no fonts on this platform");
    Info1 info;
    info.ShowInfo();
    const QImage first = Snapshot(info);
    QVERIFY(WhitePixels(first) > 0);  // white text on grey
    QCOMPARE(first.pixel(first.width() - 1, first.height() - 1), qRgb(0xC0, 0xC0, 0xC0));
    // Repainting, and closing and showing again, draw the same: the text once.
    info.update();
    QCoreApplication::processEvents();
    QCOMPARE(Snapshot(info), first);
    info.close();
    info.ShowInfo();
    QCOMPARE(Snapshot(info), first);
}

void AboutTest::notModalAndNeverKeepsTheProgramAlive() {
    Info1 info;
    info.ShowInfo();
    QVERIFY(!info.isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(!info.testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(!info.testAttribute(Qt::WA_DeleteOnClose));
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
