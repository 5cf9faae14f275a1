#include <tarvix/pingwidget.h>

#include "chartnavigator.h"
#include "pinger_p.h"
#include "rundisplay.h"

#include <tarvix/pinger.h>

#include <QEvent>
#include <QPointer>

namespace Tarvix {

class PingWidgetPrivate
{
public:
    explicit PingWidgetPrivate(PingWidget *q) : q(q), own(new Pinger(q)), current(own) {}

    // The settings as the widget shows them, to tell what a change of Pinger changed.
    struct Settings
    {
        int count, interval, timeout, packetSize, timeToLive;
        bool continuous, resolve, active;
    };
    Settings settings() const;
    void tellChanges(const Settings &before);
    // Shows the runs of pinger, and passes on what it says of its settings.
    void follow(Pinger *pinger);

    PingWidget *q;
    Pinger *own;
    QPointer<Pinger> current;
    PingWidget::Display display = PingWidget::Chart;
    RunDisplay *runDisplay = nullptr;
    QList<QMetaObject::Connection> followed;
};

PingWidgetPrivate::Settings PingWidgetPrivate::settings() const
{
    return {current->count(),      current->interval(),     current->timeout(),
            current->packetSize(), current->timeToLive(),   current->isContinuous(),
            current->resolvesAddresses(), current->isActive()};
}

void PingWidgetPrivate::tellChanges(const Settings &before)
{
    const Settings now = settings();
    QPointer<PingWidget> self(q);
    auto tell = [&](auto was, auto is, auto signal) {
        if (self && was != is)
            emit(q->*signal)(is);
    };
    tell(before.count, now.count, &PingWidget::countChanged);
    tell(before.interval, now.interval, &PingWidget::intervalChanged);
    tell(before.timeout, now.timeout, &PingWidget::timeoutChanged);
    tell(before.packetSize, now.packetSize, &PingWidget::packetSizeChanged);
    tell(before.timeToLive, now.timeToLive, &PingWidget::timeToLiveChanged);
    tell(before.continuous, now.continuous, &PingWidget::continuousChanged);
    tell(before.resolve, now.resolve, &PingWidget::resolveAddressesChanged);
    tell(before.active, now.active, &PingWidget::activeChanged);
}

void PingWidgetPrivate::follow(Pinger *pinger)
{
    for (const auto &connection : std::as_const(followed))
        QObject::disconnect(connection);
    followed.clear();
    current = pinger;
    // The display first: a new start clears the last run's line before the
    // widget tells of it.
    runDisplay->followPinger(pinger);
    followed << QObject::connect(pinger, &Pinger::countChanged, q, &PingWidget::countChanged)
             << QObject::connect(pinger, &Pinger::continuousChanged, q, &PingWidget::continuousChanged)
             << QObject::connect(pinger, &Pinger::intervalChanged, q, &PingWidget::intervalChanged)
             << QObject::connect(pinger, &Pinger::timeoutChanged, q, &PingWidget::timeoutChanged)
             << QObject::connect(pinger, &Pinger::packetSizeChanged, q, &PingWidget::packetSizeChanged)
             << QObject::connect(pinger, &Pinger::timeToLiveChanged, q, &PingWidget::timeToLiveChanged)
             << QObject::connect(pinger, &Pinger::resolveAddressesChanged, q, &PingWidget::resolveAddressesChanged)
             << QObject::connect(pinger, &Pinger::activeChanged, q, &PingWidget::activeChanged);
    if (pinger != own) {
        followed << QObject::connect(pinger, &QObject::destroyed, q, [this] { q->setPinger(nullptr); });
    }
}

PingWidget::PingWidget(QWidget *parent) : QWidget(parent), d(new PingWidgetPrivate(this))
{
    // The display first: what a screen reader asks of the widget, from its
    // name's change on, goes to the display's accessible interface.
    d->runDisplay = new RunDisplay(this, PingerPrivate::get(d->own)->session, true);
    setAccessibleName(tr("Ping"));
    d->follow(d->own);
}

PingWidget::~PingWidget()
{
    for (const auto &connection : std::as_const(d->followed))
        disconnect(connection);
    // QWidget's destructor still sends events (a focus out): the chart's
    // navigator must no longer see them.
    removeEventFilter(d->runDisplay->navigator());
}

Pinger *PingWidget::pinger() const
{
    return d->current;
}

void PingWidget::setPinger(Pinger *pinger)
{
    Pinger *next = pinger ? pinger : d->own;
    if (next == d->current)
        return;
    const PingWidgetPrivate::Settings before = d->current ? d->settings() : PingWidgetPrivate::Settings{};
    const bool hadOne = d->current;
    d->follow(next);
    QPointer<PingWidget> self(this);
    if (hadOne)
        d->tellChanges(before);
    if (self)
        emit pingerChanged(next);
}

PingWidget::Display PingWidget::display() const
{
    return d->display;
}

void PingWidget::setDisplay(Display display)
{
    if (d->display == display)
        return;
    d->display = display;
    d->runDisplay->setChartWanted(display == Chart);
    d->runDisplay->rescale();
    updateGeometry();
    emit displayChanged(display);
}

int PingWidget::count() const { return d->current->count(); }
void PingWidget::setCount(int count) { d->current->setCount(count); }
bool PingWidget::isContinuous() const { return d->current->isContinuous(); }
void PingWidget::setContinuous(bool continuous) { d->current->setContinuous(continuous); }
int PingWidget::interval() const { return d->current->interval(); }
void PingWidget::setInterval(int ms) { d->current->setInterval(ms); }
int PingWidget::timeout() const { return d->current->timeout(); }
void PingWidget::setTimeout(int ms) { d->current->setTimeout(ms); }
int PingWidget::packetSize() const { return d->current->packetSize(); }
void PingWidget::setPacketSize(int bytes) { d->current->setPacketSize(bytes); }
int PingWidget::timeToLive() const { return d->current->timeToLive(); }
void PingWidget::setTimeToLive(int ttl) { d->current->setTimeToLive(ttl); }
bool PingWidget::resolvesAddresses() const { return d->current->resolvesAddresses(); }
void PingWidget::setResolveAddresses(bool resolve) { d->current->setResolveAddresses(resolve); }
bool PingWidget::isActive() const { return d->current->isActive(); }

void PingWidget::ping(const QString &host)
{
    d->current->start(host);
}

void PingWidget::stop()
{
    d->current->stop();
}

QSize PingWidget::sizeHint() const
{
    // Room for the chart with a minute of requests a second apart, and its lines.
    return d->display == Chart ? QSize(360, 12 * fontMetrics().height()) : QSize(32, 32);
}

QSize PingWidget::minimumSizeHint() const
{
    return {16, 16};
}

void PingWidget::paintEvent(QPaintEvent *)
{
    if (d->runDisplay) // not while the display is being made: it sets the surface up
        d->runDisplay->paint();
}

void PingWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (d->runDisplay)
        d->runDisplay->resized();
}

void PingWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (d->runDisplay)
        d->runDisplay->changed(event->type());
}

} // namespace Tarvix
