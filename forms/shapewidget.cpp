#include "shapewidget.h"

#include "formcolor.h"

#include <QPainter>

ShapeWidget::ShapeWidget(ShapeKind kind, FillStyle fillStyle, qint32 fillColor, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_fillStyle(fillStyle), m_fillColor(fillColor)
{
    setFocusPolicy(Qt::NoFocus);
}

void ShapeWidget::setFillColor(qint32 bgr)
{
    if (bgr == m_fillColor)
        return;
    m_fillColor = bgr;
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
