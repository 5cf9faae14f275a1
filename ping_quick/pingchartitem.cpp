#include "pingchartitem.h"

#include "chartnavigator.h"
#include "pinger_p.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QPainter>
#include <QPalette>

namespace Tarvix {

PingChartItem::PingChartItem(QQuickItem *parent)
    : QQuickPaintedItem(parent), m_idle(new Pinger(this))
{
    m_presenter = new RunPresenter(this, PingerPrivate::get(m_idle)->session, true, this);
    m_presenter->followPinger(m_idle);
    ChartNavigator *navigator = m_presenter->navigator();
    connect(navigator, &ChartNavigator::focusWanted, this, [this] { forceActiveFocus(Qt::MouseFocusReason); });
    // Every pixel is painted each time.
    setOpaquePainting(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    // Hovering picks a request for the readout.
    setAcceptHoverEvents(true);
    // The chart's colours are the palette's, which the window passes down.
    connect(this, SIGNAL(paletteChanged()), this, SLOT(forgetPalette()));
}

PingChartItem::~PingChartItem() = default;

void PingChartItem::setPinger(Pinger *pinger)
{
    if (pinger == m_pinger)
        return;
    disconnect(m_pingerGone);
    m_pinger = pinger;
    if (pinger) {
        // A Pinger that goes leaves an empty chart, not a dangling one.
        m_pingerGone = connect(pinger, &QObject::destroyed, this, [this] { setPinger(nullptr); });
    }
    m_presenter->followPinger(pinger ? pinger : m_idle);
    emit pingerChanged();
}

bool PingChartItem::showsChart() const
{
    return m_presenter->showsChart();
}

QString PingChartItem::description() const
{
    return m_presenter->description();
}

QString PingChartItem::readout() const
{
    return m_presenter->view().readout();
}

void PingChartItem::copyText() const
{
    m_presenter->navigator()->copyText();
}

void PingChartItem::copyCsv() const
{
    m_presenter->navigator()->copyCsv();
}

void PingChartItem::goLive()
{
    m_presenter->navigator()->goLive();
}

QRect PingChartItem::surfaceRect() const
{
    return QRect(0, 0, qFloor(width()), qFloor(height()));
}

int PingChartItem::lineHeight() const
{
    // paint() draws with the application's font.
    return QFontMetrics(QGuiApplication::font()).height();
}

void PingChartItem::repaintSurface()
{
    update();
    if (m_showedChart != showsChart()) {
        m_showedChart = showsChart();
        emit showsChartChanged();
    }
    if (m_lastReadout != readout()) {
        m_lastReadout = readout();
        emit readoutChanged();
    }
}

void PingChartItem::describeSurface(const QString &)
{
    emit descriptionChanged();
}

void PingChartItem::forgetPalette()
{
    m_palette.reset();
    update();
}

QPalette PingChartItem::effectivePalette() const
{
    // An item's palette (Qt Quick's, inherited from its window) has one
    // property per colour role, named as QPalette's roles are.
    QPalette palette = QGuiApplication::palette();
    const auto *quickPalette = property("palette").value<QObject *>();
    if (!quickPalette)
        return palette;
    const QMetaEnum roles = QMetaEnum::fromType<QPalette::ColorRole>();
    for (int i = 0; i < roles.keyCount(); ++i) {
        QByteArray name = roles.key(i);
        if (name == "NColorRoles" || name == "NoRole")
            continue;
        name[0] = char(QChar::toLower(ushort(name[0])));
        const QVariant color = quickPalette->property(name.constData());
        if (color.canConvert<QColor>() && color.value<QColor>().isValid())
            palette.setColor(QPalette::ColorRole(roles.value(i)), color.value<QColor>());
    }
    return palette;
}

void PingChartItem::paint(QPainter *painter)
{
    painter->setFont(QGuiApplication::font());
    if (!m_palette)
        m_palette = effectivePalette();
    const QPalette &palette = *m_palette;
    m_presenter->paint(*painter, palette);
    if (hasActiveFocus()) {
        QPen pen(palette.color(QPalette::Highlight), 1, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(surfaceRect().adjusted(2, 2, -3, -3));
    }
}

void PingChartItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickPaintedItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        m_presenter->forgetLamp();
        m_presenter->rescale();
    }
}

void PingChartItem::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickPaintedItem::itemChange(change, value);
    // The focus frame comes and goes.
    if (change == ItemActiveFocusHasChanged)
        update();
}

void PingChartItem::navigate(QEvent *event, bool keepAccepted)
{
    const bool handled = m_presenter->navigator()->handle(event);
    // A hover or mouse move the chart did not take still keeps the item the
    // one hovered: it hears the leave.
    event->setAccepted(handled || keepAccepted);
}

void PingChartItem::keyPressEvent(QKeyEvent *event) { navigate(event); }
void PingChartItem::mousePressEvent(QMouseEvent *event) { navigate(event); }
void PingChartItem::mouseMoveEvent(QMouseEvent *event) { navigate(event, true); }
void PingChartItem::mouseReleaseEvent(QMouseEvent *event) { navigate(event, true); }
void PingChartItem::mouseDoubleClickEvent(QMouseEvent *event) { navigate(event); }
void PingChartItem::hoverMoveEvent(QHoverEvent *event) { navigate(event, true); }
void PingChartItem::hoverLeaveEvent(QHoverEvent *event) { navigate(event, true); }
void PingChartItem::wheelEvent(QWheelEvent *event) { navigate(event); }

} // namespace Tarvix
