// SPDX-License-Identifier: MIT
#include "about/Info1.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>

#include "about/Info1Accessible.h"

#ifndef QUELVANE_VERSION
#define QUELVANE_VERSION "unknown"
#endif

namespace quelvane {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kGap = 8;  // between the owner's frame and this window's
const QColor kBackground(0xC0, 0xC0, 0xC0);  // 0x00C0C0C0
const QColor kText(0xFF, 0xFF, 0xFF);  // 0x00FFFFFF

// "MS Sans Serif" and its stand-ins, nearest in look first.
const QStringList kFaces{QStringLiteral("MS Sans Serif"),
                         QStringLiteral("Microsoft Sans Serif"),
                         QStringLiteral("Arial"),
                         QStringLiteral("Liberation Sans"),
                         QStringLiteral("Arimo"),
                         QStringLiteral("Nimbus Sans"),
                         QStringLiteral("FreeSans"),
                         QStringLiteral("DejaVu Sans"),
                         QStringLiteral("DejaVu Sans Condensed"),
                         QStringLiteral("Liberation Sans Narrow")};

QAccessibleInterface* Info1Factory(const QString& className, QObject* object) {
    if (object && object->isWidgetType() && className == QLatin1String(Info1::staticMetaObject.className()))
        return new Info1Accessible(static_cast<QWidget*>(object), &Info1::Lines);
    return nullptr;
}

// Gives every Info1 its interface; safe to call more than once.
void InstallInfo1Accessible() {
    static const bool installed = (QAccessible::installFactory(&Info1Factory), true);
    (void)installed;
}

qreal WidestLine(const QFont& font, const QPaintDevice* device) {
    const QFontMetricsF metrics = device ? QFontMetricsF(font, device) : QFontMetricsF(font);
    qreal widest = 0;
    for (const QString& line : Info1::Lines()) widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

}  // namespace

QFont Info1::FittingFont(qreal points, bool bold, int width, const QPaintDevice* device) {
    const QStringList installed = QFontDatabase::families();
    QFont first;
    bool haveFirst = false;
    for (const QString& face : kFaces) {
        if (!installed.contains(face, Qt::CaseInsensitive)) continue;
        QFont font(face);
        font.setPointSizeF(points);
        font.setBold(bold);
        if (WidestLine(font, device) <= width) return font;
        if (!haveFirst) {
            first = font;
            haveFirst = true;
        }
    }
    if (!haveFirst) {
        first = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        first.setPointSizeF(points);
        first.setBold(bold);
    }
    // Narrowed (a condensed face where the family has one), then smaller.
    for (int stretch = 95; stretch >= 60; stretch -= 5) {
        first.setStretch(stretch);
        if (WidestLine(first, device) <= width) return first;
    }
    while (first.pointSizeF() > 5 && WidestLine(first, device) > width) first.setPointSizeF(first.pointSizeF() - 0.25);
    return first;
}

QPoint Info1::PlaceBeside(const QRect& owner, const QSize& outer, const QRect& area) {
    auto clampX = [&](int x) { return std::max(area.left(), std::min(x, area.right() + 1 - outer.width())); };
    auto clampY = [&](int y) { return std::max(area.top(), std::min(y, area.bottom() + 1 - outer.height())); };
    const int centredX = clampX(owner.center().x() - outer.width() / 2);
    const QPoint candidates[] = {
        {centredX, owner.bottom() + 1 + kGap},  // below
        {owner.right() + 1 + kGap, clampY(owner.top())},  // right
        {centredX, owner.top() - kGap - outer.height()},  // above
        {owner.left() - kGap - outer.width(), clampY(owner.top())},  // left
    };
    for (const QPoint& at : candidates) {
        const QRect placed(at, outer);
        if (area.contains(placed) && !placed.intersects(owner)) return at;
    }
    // No side has room: on the screen, over as little of the owner as can be.
    QPoint best;
    qint64 leastCover = -1;
    for (const QPoint& at : candidates) {
        const QPoint onScreen(clampX(at.x()), clampY(at.y()));
        const QRect cover = QRect(onScreen, outer).intersected(owner);
        const qint64 covered = cover.isEmpty() ? 0 : qint64(cover.width()) * cover.height();
        if (leastCover < 0 || covered < leastCover) {
            best = onScreen;
            leastCover = covered;
        }
    }
    return best;
}

Info1::Info1(QWidget* parent) : QWidget(parent) {
    InstallInfo1Accessible();
    setObjectName(QStringLiteral("Info1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(tr("Info"));
    setWindowModality(Qt::NonModal);
    // Never what keeps the program running once the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
#ifdef QUELVANE_INFO_ICON
    setWindowIcon(QIcon(QStringLiteral(":/about/info-24.png")));
#endif
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    pal.setColor(QPalette::WindowText, kText);
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(FittingFont(9.75, false, width()));
    setAccessibleDescription(Lines().join(u'\n').trimmed());

    // Escape and Ctrl+W (and the platform's close keys) close it: the keys of
    // every desktop window, and the only way out where no window manager
    // draws a close box.
    auto* close = new QAction(this);
    close->setObjectName(QStringLiteral("CloseInfo"));
    QList<QKeySequence> keys{QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)};
    for (const QKeySequence& key : QKeySequence::keyBindings(QKeySequence::Close))
        if (!keys.contains(key)) keys << key;
    close->setShortcuts(keys);
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

QStringList Info1::Lines() {
    return {
        QString(),
        tr(" Quelvane Encryption And Decryption Encrypts To a Hex Format"),
        QString(),
        tr(" Description"),
        tr(" Quelvane Is A Complete, High Security Text Encryptor Based On Blowfish Encryption"),
        tr(" It Is An Alternative To A Password Protected Archive File, With Some Differences"),
        tr(" It Is Not A Compressor: It Is Primarily A Text Encryptor Of Very High Security"),
        tr(" The Longer Your Password The More Security You Can Paste Your PassWord In The Box or "
           "Generate Random PassWord max 448"),
        QString(),
        tr(" Quelvane Version %1  -  Provided As Is, Without Warranty Of Any Kind")
            .arg(QStringLiteral(QUELVANE_VERSION)),
    };
}

void Info1::Form_Load() {
    setFont(FittingFont(9, true, width(), this));

    // Beside the owner when it is on screen, so the main window stays in
    // sight; else centred on the screen.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    // Before it is shown this window's frame is unknown: the owner's stands in.
    const QMargins frame = owner && owner->isVisible()
                               ? QMargins(owner->geometry().left() - owner->frameGeometry().left(),
                                          owner->geometry().top() - owner->frameGeometry().top(),
                                          owner->frameGeometry().right() - owner->geometry().right(),
                                          owner->frameGeometry().bottom() - owner->geometry().bottom())
                               : QMargins();
    const QSize outer = size().grownBy(frame);
    if (owner && owner->isVisible()) {
        move(PlaceBeside(owner->frameGeometry(), outer, area));
    } else {
        QRect placed(QPoint(), outer);
        placed.moveCenter(area.center());
        move(placed.topLeft());
    }
}

void Info1::ShowInfo() {
    if (!isVisible()) {
        Form_Load();
        show();
    } else if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void Info1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(kText);
    painter.setFont(font());
    const QFontMetrics metrics(font(), this);
    // One line below the other from the top-left corner; no wrapping. The
    // font was chosen so that every line fits the width.
    int baseline = metrics.ascent();
    for (const QString& line : Lines()) {
        painter.drawText(QPoint(0, baseline), line);
        baseline += metrics.lineSpacing();
    }
}

}  // namespace quelvane
