#pragma once

#include <QRect>

// A place on a form as its definition gives it: twips from the client area's
// top-left corner (1440 to the inch).
struct TwipRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const TwipRect &, const TwipRect &) = default;
};

// 15 twips make one logical pixel (96 dpi); Qt's high-DPI scaling maps logical
// pixels to the screen, so forms keep their proportions everywhere.
inline constexpr int TwipsPerPixel = 15;

int twipsToPixels(int twips);

// Edges are converted, not sizes, so that controls that touch in twips still
// touch in pixels.
QRect twipsToPixels(const TwipRect &rect);
