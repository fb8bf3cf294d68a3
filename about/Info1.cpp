// SPDX-License-Identifier: MIT
#include "about/Info1.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QScreen>

#ifndef QUELVANE_VERSION
#define QUELVANE_VERSION "unknown"
#endif

namespace quelvane {

namespace {

constexpr int kTwipsPerPixel = 15;
const QColor kBackground(0xC0, 0xC0, 0xC0);  // 0x00C0C0C0
const QColor kText(0xFF, 0xFF, 0xFF);  // 0x00FFFFFF

// MS Sans Serif where it exists, otherwise the desktop's default sans font.
QFont DesignFont() {
    QFont font = QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"))
                     ? QFont(QStringLiteral("MS Sans Serif"))
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(9.75);
    font.setBold(false);
    return font;
}

}  // namespace

Info1::Info1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Info1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Info"));
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
    setFont(DesignFont());
}

QStringList Info1::Lines() {
    return {
        QString(),
        QStringLiteral(" Quelvane Encryption And Decryption Encrypts To a Hex Format"),
        QString(),
        QStringLiteral(" Description"),
        QStringLiteral(" Quelvane Is A Complete, High Security Text Encryptor Based On Blowfish Encryption"),
        QStringLiteral(" It Is An Alternative To A Password Protected Archive File, With Some Differences"),
        QStringLiteral(" It Is Not A Compressor: It Is Primarily A Text Encryptor Of Very High Security"),
        QStringLiteral(" The Longer Your Password The More Security You Can Paste Your PassWord In The Box or "
                       "Generate Random PassWord max 448"),
        QString(),
        QStringLiteral(" Quelvane Version " QUELVANE_VERSION "  -  Provided As Is, Without Warranty Of Any Kind"),
    };
}

void Info1::Form_Load() {
    QFont font = DesignFont();
    font.setBold(true);
    font.setPointSizeF(9);
    setFont(font);

    // Centred over the owner when there is one on screen, else on the screen.
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect area;
    if (owner && owner->isVisible())
        area = owner->frameGeometry();
    else if (const QScreen* s = owner ? owner->screen() : QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (area.isValid()) {
        QRect frame = frameGeometry();
        frame.moveCenter(area.center());
        move(frame.topLeft());
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
    const QFontMetrics metrics(font());
    // One line below the other from the top-left corner; no wrapping, so a
    // long line is cut at the right edge.
    int baseline = metrics.ascent();
    for (const QString& line : Lines()) {
        painter.drawText(QPoint(0, baseline), line);
        baseline += metrics.lineSpacing();
    }
}

}  // namespace quelvane
