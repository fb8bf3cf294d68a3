// SPDX-License-Identifier: MIT
#pragma once
// Colours that can be read: the design's fixed colours where they reach the
// WCAG AA contrast of 4.5:1 for text, the desktop's palette where they do not.
#include <QColor>
#include <QPalette>

namespace quelvane {

inline constexpr double kReadableContrast = 4.5;

// WCAG 2 relative luminance (sRGB) and the contrast ratio of two colours, 1 to 21.
double RelativeLuminance(const QColor& colour);
double ContrastRatio(const QColor& a, const QColor& b);

// A palette whose windows are darker than their text.
bool IsDarkPalette(const QPalette& palette);

struct Colours {
    QColor background, text;
};

// What a surface designed as designText on designBackground shows under the
// palette: the design where it is readable and the palette is light; the
// design's background with the palette's text where that is readable;
// otherwise (a dark palette among them) the palette's own window and text.
Colours ReadableColours(const QColor& designBackground, const QColor& designText, const QPalette& palette);

}  // namespace quelvane
