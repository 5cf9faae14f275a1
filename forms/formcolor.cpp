#include "formcolor.h"

bool isBgrColor(qint64 value)
{
    return value >= 0 && value <= 0xFFFFFF;
}

QColor colorFromBgr(qint32 bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
