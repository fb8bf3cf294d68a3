// SPDX-License-Identifier: MIT
// The about window: one window, ten lines, shown again after closing.
#include <QAccessible>
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

// Pixels drawn in the about window's text colour.
int TextPixels(const QImage& image, const QWidget& w) {
    const QRgb ink = w.palette().color(QPalette::WindowText).rgb();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == ink;
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
    void escapeAndCtrlWClose();
    void everyLineShowsWhole();
    void opensBesideItsOwner_data();
    void opensBesideItsOwner();
    void screenReadersReadTheLines();
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
    QVERIFY(TextPixels(first, info) > 0);  // the text on grey
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

void AboutTest::escapeAndCtrlWClose() {
    QWidget owner;
    owner.show();
    Info1 info(&owner);
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::CTRL | Qt::Key_W)}) {
        info.ShowInfo();
        QVERIFY(QTest::qWaitForWindowActive(&info));
        QTest::keyClick(&info, key.key(), key.keyboardModifiers());
        QVERIFY2(!info.isVisible(), qPrintable(QKeySequence(key).toString()));
    }
    // Other keys leave it open.
    info.ShowInfo();
    QVERIFY(QTest::qWaitForWindowActive(&info));
    QTest::keyClick(&info, Qt::Key_W);
    QTest::keyClick(&info, Qt::Key_Return);
    QVERIFY(info.isVisible());
}

void AboutTest::everyLineShowsWhole() {
    if (QFontDatabase::families().isEmpty()) QSKIP("no fonts on this platform");
    Info1 info;
    info.ShowInfo();
    QVERIFY(info.font().bold());
    const QFontMetricsF metrics(info.font(), &info);
    for (const QString& line : Info1::Lines())
        QVERIFY2(metrics.horizontalAdvance(line) <= info.width(),
                 qPrintable(QStringLiteral("%1 is %2 wide in %3")
                                .arg(line)
                                .arg(metrics.horizontalAdvance(line))
                                .arg(QFontInfo(info.font()).family())));
    QVERIFY(metrics.lineSpacing() * 10 <= info.height());
    // The line with "448" is drawn to its end: text pixels lie where its last
    // characters are, and nothing is drawn past the line's width.
    const QImage image = Snapshot(info);
    const int lineTop = static_cast<int>(metrics.lineSpacing() * 7);
    const int end = static_cast<int>(metrics.horizontalAdvance(Info1::Lines()[7]));
    int white = 0;
    for (int y = lineTop; y < lineTop + metrics.lineSpacing(); ++y)
        for (int x = end - static_cast<int>(metrics.horizontalAdvance(QStringLiteral("448"))); x < end; ++x)
            white += image.pixel(x, y) == info.palette().color(QPalette::WindowText).rgb();
    QVERIFY(white > 0);
    // Where no stand-in fits, the face is narrowed rather than the line cut.
    const QFont narrow = Info1::FittingFont(9, true, 500, &info);
    QVERIFY(QFontMetricsF(narrow, &info).horizontalAdvance(Info1::Lines()[7]) <= 500);
}

void AboutTest::opensBesideItsOwner_data() {
    QTest::addColumn<QRect>("owner");  // frames, as a window manager draws them
    QTest::addColumn<QSize>("outer");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<bool>("clear");  // room beside the owner
    const QSize framed(847, 278), bare(837, 248);
    QTest::newRow("centred, large screen") << QRect(755, 400, 420, 270) << framed << QRect(0, 0, 1920, 1080) << true;
    QTest::newRow("centred, no frames") << QRect(307, 261, 409, 246) << bare << QRect(0, 0, 1024, 768) << true;
    QTest::newRow("at the bottom") << QRect(700, 780, 420, 270) << framed << QRect(0, 0, 1920, 1050) << true;
    QTest::newRow("at the top right") << QRect(1480, 0, 420, 270) << framed << QRect(0, 0, 1920, 1050) << true;
    QTest::newRow("second screen") << QRect(1930, 300, 420, 270) << framed << QRect(1920, 0, 1280, 1024) << true;
    QTest::newRow("small screen") << QRect(307, 246, 409, 276) << framed << QRect(0, 0, 1024, 768) << false;
    // A screen smaller than the two windows: on screen is all it can be.
    QTest::newRow("tiny screen") << QRect(100, 100, 420, 270) << framed << QRect(0, 0, 900, 500) << false;
}

void AboutTest::opensBesideItsOwner() {
    QFETCH(QRect, owner);
    QFETCH(QSize, outer);
    QFETCH(QRect, area);
    QFETCH(bool, clear);
    const QRect placed(Info1::PlaceBeside(owner, outer, area), outer);
    QVERIFY2(area.contains(placed), qPrintable(QStringLiteral("%1,%2").arg(placed.x()).arg(placed.y())));
    const QRect covered = placed.intersected(owner);
    if (clear) QVERIFY(covered.isEmpty());
    // Else it covers the owner least: here a strip of its bottom, its menu in sight.
    if (!clear && area.height() >= owner.height() + outer.height()) QVERIFY(covered.height() * 2 < owner.height());

    // The real window, placed beside a shown owner, stays on its screen.
    QWidget window;
    window.resize(409, 240);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Info1 info(&window);
    info.ShowInfo();
    QVERIFY(info.screen()->availableGeometry().intersects(info.frameGeometry()));
}

void AboutTest::screenReadersReadTheLines() {
    Info1 info;
    info.ShowInfo();
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&info);
    QVERIFY(iface);
    QCOMPARE(iface->role(), QAccessible::Window);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Info"));
    QVERIFY(iface->text(QAccessible::Description).contains(QStringLiteral("max 448")));
    QAccessibleTextInterface* text = iface->textInterface();
    QVERIFY(text);
    const QString whole = text->text(0, -1);
    QCOMPARE(whole, Info1::Lines().join(u'\n') + u'\n');
    QCOMPARE(text->characterCount(), whole.size());
    // Line by line, as a screen reader reads on.
    QStringList lines;
    for (int offset = 0, start = 0, end = 0; offset < whole.size(); offset = end) {
        lines << text->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
        QCOMPARE(start, offset);
    }
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines[7], Info1::Lines()[7] + u'\n');
    int start = 0, end = 0;
    const int at448 = static_cast<int>(whole.indexOf(QStringLiteral("448")));
    QCOMPARE(text->textAtOffset(at448, QAccessible::WordBoundary, &start, &end), QStringLiteral("448"));
    QCOMPARE(start, at448);
    QVERIFY(text->characterRect(at448).intersects(info.frameGeometry()));
}

QTEST_MAIN(AboutTest)
#include "about_test.moc"
