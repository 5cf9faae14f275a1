#include "checkboxwidget.h"

#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

CheckBoxWidget::CheckBoxWidget(const QString &caption, QWidget *parent) : QCheckBox(caption, parent)
{
}

int CheckBoxWidget::value() const
{
    switch (checkState()) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    case Qt::PartiallyChecked: return 2;
    }
    return 0;
}

void CheckBoxWidget::setValue(int state)
{
    setCheckState(state == 2 ? Qt::PartiallyChecked : state == 1 ? Qt::Checked : Qt::Unchecked);
}

void CheckBoxWidget::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

bool CheckBoxWidget::hitButton(const QPoint &pos) const
{
    // The whole box answers a click, caption and blank space alike.
    return rect().contains(pos);
}

QRect CheckBoxWidget::captionRect(const QRect &indicator) const
{
    QRect caption = rect();
    caption.setLeft(indicator.right() + 1 + style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, this));
    return caption;
}

void CheckBoxWidget::paintEvent(QPaintEvent *)
{
    // QCheckBox draws its caption on one line; a form's check box wraps it.
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);

    QStyleOptionButton indicator = option;
    indicator.rect = style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, this);
    painter.drawPrimitive(QStyle::PE_IndicatorCheckBox, indicator);

    const QRect caption = captionRect(indicator.rect);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    painter.drawItemText(caption, flags, palette(), isEnabled(), text(), QPalette::WindowText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = painter.boundingRect(caption, flags, text()).adjusted(-1, 0, 1, 0) & rect();
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
