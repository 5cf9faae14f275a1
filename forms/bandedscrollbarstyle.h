#pragma once

#include <QProxyStyle>

// A style drawn like another, but with tall scroll bars drawn a band at a time.
//
// Qt's raster engine hands every fill of 96 or more rows to its thread pool
// and waits for it, however narrow the fill: a vertical scroll bar's groove,
// slider and edges are such fills, several for each paint, and a log's bar
// is repainted for every frame in which the log grows. The threads' wake-ups
// and waits cost far more than the pixels. Drawn in bands of fewer rows, each
// into an image of its own, the same pixels come out with no thread involved.
class BandedScrollBarStyle : public QProxyStyle
{
public:
    // A banded copy of style (a new instance of its kind, which the proxy
    // owns), or none where style cannot be made again by its name: a style of
    // a program's own is left to draw as it does.
    static BandedScrollBarStyle *copying(const QStyle *style);

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;

    // The tallest band, in device pixels: below the raster engine's threshold.
    static constexpr int BandRows = 64;

private:
    using QProxyStyle::QProxyStyle;
};
