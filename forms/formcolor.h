#pragma once

#include <QColor>
#include <QtGlobal>

// Colours in form definitions and colour properties are 24-bit values in
// 0x00BBGGRR order: red 255, green 65280, blue 16711680.
bool isBgrColor(qint64 value);
QColor colorFromBgr(qint32 bgr);
