#pragma once
// The about window: ten lines of text drawn on a grey surface.
#include <QWidget>

namespace quelvane {

class Info1 : public QWidget {
    Q_OBJECT
public:
    explicit Info1(QWidget* parent = nullptr);

    // Shows the window, loading it (Form_Load) when it is not open; an open
    // window is only raised.
    void ShowInfo();

    // The ten lines as drawn, first to last.
    static QStringList Lines();

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quelvane
