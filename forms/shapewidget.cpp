#include "shapewidget.h"

#include "formcolor.h"
#include "shapeaccessible.h"

#include <QAccessible>

#include <QPainter>

ShapeWidget::ShapeWidget(ShapeKind kind, FillStyle fillStyle, qint32 fillColor, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_fillStyle(fillStyle), m_fillColor(fillColor)
{
    setFocusPolicy(Qt::NoFocus);
    static const bool accessible = [] {
        QAccessible::installFactory(&ShapeAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible);
    describe();
}

void ShapeWidget::describe()
{
    if (m_fillStyle != FillStyle::Solid) {
        setAccessibleDescription(tr("Not filled"));
        return;
    }
    // The colours a form's lamp shows by name, any other by its value.
    switch (m_fillColor) {
    case 0x0000ff: setAccessibleDescription(tr("Red")); break;
    case 0x00ff00: setAccessibleDescription(tr("Green")); break;
    case 0x00ffff: setAccessibleDescription(tr("Yellow")); break;
    case 0xff0000: setAccessibleDescription(tr("Blue")); break;
    case 0x000000: setAccessibleDescription(tr("Black")); break;
    case 0xffffff: setAccessibleDescription(tr("White")); break;
    default: setAccessibleDescription(tr("Colour %1").arg(colorFromBgr(m_fillColor).name())); break;
    }
}

void ShapeWidget::setFillColor(qint32 bgr)
{
    if (bgr == m_fillColor)
        return;
    m_fillColor = bgr;
    describe();
    update();
}

void ShapeWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    if (m_fillStyle == FillStyle::Solid)
        painter.setBrush(colorFromBgr(m_fillColor));
    else
        painter.setBrush(Qt::NoBrush);

    QRectF box = rect();
    if (m_kind == ShapeKind::Circle) {
        const qreal side = qMin(box.width(), box.height());
        box = QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    }
    // Half a pixel in, so that the 1-pixel outline lies inside the box.
    box.adjust(0.5, 0.5, -0.5, -0.5);
    if (m_kind == ShapeKind::Rectangle)
        painter.drawRect(box);
    else
        painter.drawEllipse(box);
}
