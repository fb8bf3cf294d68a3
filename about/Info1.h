// SPDX-License-Identifier: MIT
#pragma once
// The about window: ten lines of text drawn on a grey surface.
#include <QWidget>

namespace quelvane {

class Info1 : public QWidget {
    Q_OBJECT
public:
    // A window of its own even when given a parent (the parent only owns it
    // and is what it centres over). Closing it hides it; the object stays.
    explicit Info1(QWidget* parent = nullptr);

    // Shows the window, loading it (Form_Load) when it is not open; an open
    // window is only raised.
    void ShowInfo();

    // The ten lines as drawn, first to last.
    static QStringList Lines();

    // Client size in twips (15 twips to a device-independent pixel).
    static constexpr int kClientWidthTwips = 12555;
    static constexpr int kClientHeightTwips = 3720;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Runs at every showing after the window was closed: font, colours,
    // position. The text itself is drawn by paintEvent, so it is there once
    // and survives every repaint.
    void Form_Load();
};

}  // namespace quelvane
