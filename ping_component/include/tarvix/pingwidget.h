#pragma once

#include <tarvix/tarvixcomponentexport.h>

#include <QString>
#include <QWidget>

#include <memory>

namespace Tarvix {

class Pinger;
class PingWidgetPrivate;

/*!
    \brief Shows the run of a Pinger: a live chart of round trips, or a lamp.

    Put it on a form (in Qt Designer it is in the group "Tarvix"), set the
    settings, and call ping():

    \code
    auto *ping = new Tarvix::PingWidget(window);
    ping->setCount(10);
    ping->ping(QStringLiteral("127.0.0.1"));
    \endcode

    The chart shows each request as a column, its height the round trip,
    losses and errors marked, over a time axis, with the run's statistics and
    its last line below. The wheel zooms, dragging scrolls back, hovering a
    column (or Left and Right while the widget has the focus) shows that
    request; Ctrl+C and the context menu copy the run as text or CSV. A
    widget too small for the chart, or one whose display is Lamp, shows a
    lamp: green while requests are answered, red once one is lost.

    The widget runs its own Pinger, or shows one made elsewhere
    (setPinger()); its setting properties are that Pinger's, so Designer's
    property editor sets them. Results, statistics and errors are the
    Pinger's signals: connect to pinger().
*/
class TARVIX_COMPONENT_EXPORT PingWidget : public QWidget
{
    Q_OBJECT
    /*! How the run is shown: display(), setDisplay(). */
    Q_PROPERTY(Tarvix::PingWidget::Display display READ display WRITE setDisplay NOTIFY displayChanged)
    /*! Requests per run, unless continuous: count(), setCount(). */
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    /*! Whether runs go on until stopped: isContinuous(), setContinuous(). */
    Q_PROPERTY(bool continuous READ isContinuous WRITE setContinuous NOTIFY continuousChanged)
    /*! Milliseconds between the starts of two requests: interval(), setInterval(). */
    Q_PROPERTY(int interval READ interval WRITE setInterval NOTIFY intervalChanged)
    /*! Milliseconds to wait for each reply: timeout(), setTimeout(). */
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout NOTIFY timeoutChanged)
    /*! Payload bytes of each request: packetSize(), setPacketSize(). */
    Q_PROPERTY(int packetSize READ packetSize WRITE setPacketSize NOTIFY packetSizeChanged)
    /*! The requests' time to live or hop limit: timeToLive(), setTimeToLive(). */
    Q_PROPERTY(int timeToLive READ timeToLive WRITE setTimeToLive NOTIFY timeToLiveChanged)
    /*! Whether the address pinged is looked up for its name: resolvesAddresses(), setResolveAddresses(). */
    Q_PROPERTY(bool resolveAddresses READ resolvesAddresses WRITE setResolveAddresses NOTIFY resolveAddressesChanged)
    /*! Whether a run is starting or in progress: isActive(). */
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)

public:
    /*! How the widget shows a run. */
    enum Display {
        Chart, //!< The chart with its statistics, where the widget is large enough; else the lamp.
        Lamp,  //!< The lamp alone, whatever the size.
    };
    Q_ENUM(Display)

    /*! A widget with a Pinger of its own, showing the chart. */
    explicit PingWidget(QWidget *parent = nullptr);
    /*! Ends the run of its own Pinger; a Pinger set with setPinger() goes on. */
    ~PingWidget() override;

    /*! The Pinger whose runs the widget shows: its own, or the one set. */
    Pinger *pinger() const;
    /*! Shows the runs of \a pinger from now on, which the widget does not
        own; \c nullptr (or the Pinger's destruction) returns to its own. */
    void setPinger(Pinger *pinger);

    /*! How the run is shown (default Chart). */
    Display display() const;
    /*! Sets display(). */
    void setDisplay(Display display);

    /*! The Pinger's count(). */
    int count() const;
    /*! Sets the Pinger's count(). */
    void setCount(int count);
    /*! The Pinger's isContinuous(). */
    bool isContinuous() const;
    /*! Sets the Pinger's isContinuous(). */
    void setContinuous(bool continuous);
    /*! The Pinger's interval(), in milliseconds. */
    int interval() const;
    /*! Sets the Pinger's interval(). */
    void setInterval(int ms);
    /*! The Pinger's timeout(), in milliseconds. */
    int timeout() const;
    /*! Sets the Pinger's timeout(). */
    void setTimeout(int ms);
    /*! The Pinger's packetSize(), in bytes. */
    int packetSize() const;
    /*! Sets the Pinger's packetSize(). */
    void setPacketSize(int bytes);
    /*! The Pinger's timeToLive(). */
    int timeToLive() const;
    /*! Sets the Pinger's timeToLive(). */
    void setTimeToLive(int ttl);
    /*! The Pinger's resolvesAddresses(). */
    bool resolvesAddresses() const;
    /*! Sets the Pinger's resolvesAddresses(). */
    void setResolveAddresses(bool resolve);
    /*! The Pinger's isActive(). */
    bool isActive() const;

    /*! \reimp */
    QSize sizeHint() const override;
    /*! \reimp */
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    /*! Starts a run to \a host with the Pinger's start(). */
    void ping(const QString &host);
    /*! Ends the run with the Pinger's stop(). */
    void stop();

Q_SIGNALS:
    /*! display() changed to \a display. */
    void displayChanged(Tarvix::PingWidget::Display display);
    /*! pinger() changed to \a pinger. */
    void pingerChanged(Tarvix::Pinger *pinger);
    /*! count() changed to \a count. */
    void countChanged(int count);
    /*! isContinuous() changed to \a continuous. */
    void continuousChanged(bool continuous);
    /*! interval() changed to \a ms. */
    void intervalChanged(int ms);
    /*! timeout() changed to \a ms. */
    void timeoutChanged(int ms);
    /*! packetSize() changed to \a bytes. */
    void packetSizeChanged(int bytes);
    /*! timeToLive() changed to \a ttl. */
    void timeToLiveChanged(int ttl);
    /*! resolvesAddresses() changed to \a resolve. */
    void resolveAddressesChanged(bool resolve);
    /*! isActive() changed to \a active. */
    void activeChanged(bool active);

protected:
    /*! \reimp */
    void paintEvent(QPaintEvent *event) override;
    /*! \reimp */
    void resizeEvent(QResizeEvent *event) override;
    /*! \reimp */
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<PingWidgetPrivate> d;
};

} // namespace Tarvix
