// SPDX-License-Identifier: MIT
#include "about/Contrast.h"

#include <algorithm>
#include <cmath>

namespace quelvane {

namespace {
double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
}  // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * Linear(rgb.redF()) + 0.7152 * Linear(rgb.greenF()) + 0.0722 * Linear(rgb.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkPalette(const QPalette& palette) {
    return RelativeLuminance(palette.color(QPalette::Window)) < RelativeLuminance(palette.color(QPalette::WindowText));
}

Colours ReadableColours(const QColor& designBackground, const QColor& designText, const QPalette& palette) {
    const QColor paletteText = palette.color(QPalette::WindowText);
    if (!IsDarkPalette(palette)) {
        if (ContrastRatio(designBackground, designText) >= kReadableContrast) return {designBackground, designText};
        if (ContrastRatio(designBackground, paletteText) >= kReadableContrast) return {designBackground, paletteText};
    }
    const QColor window = palette.color(QPalette::Window);
    if (ContrastRatio(window, paletteText) >= kReadableContrast) return {window, paletteText};
    // A palette that is not readable itself: black or white, whichever reads on its window.
    const QColor black(Qt::black), white(Qt::white);
    return {window, ContrastRatio(window, black) >= ContrastRatio(window, white) ? black : white};
}

}  // namespace quelvane
