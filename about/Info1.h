// SPDX-License-Identifier: MIT
#pragma once
// The about window: ten lines of text drawn on a grey surface. Screen readers
// read the ten lines as the window's text (Info1Accessible); Escape and
// Ctrl+W close it, also where no window manager gives it a close box.
#include <QFont>
#include <QRect>
#include <QWidget>

namespace quelvane {

class Info1 : public QWidget {
    Q_OBJECT
public:
    // A window of its own even when given a parent (the parent only owns it
    // and is what it opens beside). Closing it hides it; the object stays.
    explicit Info1(QWidget* parent = nullptr);

    // Shows the window, loading it (Form_Load) when it is not open; an open
    // window is only raised.
    void ShowInfo();

    // The ten lines as drawn, first to last.
    static QStringList Lines();

    // Client size in twips (15 twips to a device-independent pixel).
    static constexpr int kClientWidthTwips = 12555;
    static constexpr int kClientHeightTwips = 3720;

    // The face for "MS Sans Serif" at the given size: the first of its
    // stand-ins that is installed and shows every line whole in width
    // pixels; where none does, the nearest one narrowed until it does.
    static QFont FittingFont(qreal points, bool bold, int width, const QPaintDevice* device = nullptr);

    // Where a window of outer size goes beside its owner's frame: below,
    // right, above or left of it, the first that lies on the screen's area
    // clear of the owner; otherwise on the area, covering the owner least.
    static QPoint PlaceBeside(const QRect& owner, const QSize& outer, const QRect& area);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Runs at every showing after the window was closed: font, colours,
    // position. The text itself is drawn by paintEvent, so it is there once
    // and survives every repaint.
    void Form_Load();
    // The design's white on grey, unreadable at 1.8:1, gives way to the
    // palette's text; a dark palette takes the whole window.
    void Recolour();
    bool recolouring = false;
};

}  // namespace quelvane
