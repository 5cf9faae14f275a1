#pragma once

#include "runpresenter.h"

#include <tarvix/pinger.h>

#include <QPalette>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace Tarvix {

// The chart of a Pinger's run as a Qt Quick item. PingChart (PingChart.qml)
// is this item with its accessible role, name and description; use that.
class PingChartItem : public QQuickPaintedItem, private ChartSurface
{
    Q_OBJECT
    QML_NAMED_ELEMENT(PingChartItem)
    // The Pinger whose runs the chart shows; none: an empty chart.
    Q_PROPERTY(Tarvix::Pinger *pinger READ pinger WRITE setPinger NOTIFY pingerChanged)
    // Whether the item is big enough for the chart; smaller, it shows a lamp.
    Q_PROPERTY(bool showsChart READ showsChart NOTIFY showsChartChanged)
    // What a screen reader hears: the request the readout picked, or the run.
    Q_PROPERTY(QString description READ description NOTIFY descriptionChanged)
    // The readout of the request picked by hover or keys; empty without one.
    Q_PROPERTY(QString readout READ readout NOTIFY readoutChanged)

public:
    explicit PingChartItem(QQuickItem *parent = nullptr);
    ~PingChartItem() override;

    Pinger *pinger() const { return m_pinger; }
    void setPinger(Pinger *pinger);
    bool showsChart() const;
    QString description() const;
    QString readout() const;

    // The run as text, as ping prints it, on the clipboard.
    Q_INVOKABLE void copyText() const;
    // The run as CSV, one row per request, on the clipboard.
    Q_INVOKABLE void copyCsv() const;
    // Back to following the run: unzoomed, the newest request at the right, no readout.
    Q_INVOKABLE void goLive();

    void paint(QPainter *painter) override;

signals:
    void pingerChanged();
    void showsChartChanged();
    void descriptionChanged();
    void readoutChanged();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    void hoverLeaveEvent(QHoverEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QRect surfaceRect() const override;
    int lineHeight() const override;
    void repaintSurface() override;
    void describeSurface(const QString &description) override;
    // Passes an input event to the navigator; accepted if it was the chart's.
    void navigate(QEvent *event, bool keepAccepted = false);
    QPalette effectivePalette() const;
    Q_SLOT void forgetPalette();

    Pinger *m_idle;             // shown when no pinger is set: never started
    QPointer<Pinger> m_pinger;
    QMetaObject::Connection m_pingerGone;
    RunPresenter *m_presenter;
    std::optional<QPalette> m_palette; // worked out at the first paint after a change
    bool m_showedChart = false;
    QString m_lastReadout;
};

} // namespace Tarvix
