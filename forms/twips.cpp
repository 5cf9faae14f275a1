#include "twips.h"

#include <cmath>

int twipsToPixels(int twips)
{
    return int(std::lround(double(twips) / TwipsPerPixel));
}

QRect twipsToPixels(const TwipRect &rect)
{
    const int left = twipsToPixels(rect.left);
    const int top = twipsToPixels(rect.top);
    const int right = twipsToPixels(rect.left + rect.width);
    const int bottom = twipsToPixels(rect.top + rect.height);
    return QRect(left, top, right - left, bottom - top);
}
