#pragma once

#include <tarvix/pingresult.h>
#include <tarvix/pingstatistics.h>
#include <tarvix/tarvixpingexport.h>

#include <QObject>
#include <QString>

#include <memory>

namespace Tarvix {

class PingerPrivate;

/*!
    \brief Pings one host at a time: ICMP echo over IPv4 or IPv6, timed by the
    kernel's own timestamps, with Qt Core alone.

    Set the properties, call start() with a host name or address, and hear
    each request's result, the run's statistics and its end:

    \code
    Tarvix::Pinger pinger;
    pinger.setCount(4);
    QObject::connect(&pinger, &Tarvix::Pinger::resultReady, [](const Tarvix::PingResult &result) {
        qInfo() << result.line();
    });
    QObject::connect(&pinger, &Tarvix::Pinger::finished, &app, &QCoreApplication::quit);
    pinger.start(QStringLiteral("localhost"));
    \endcode

    A Pinger lives on the thread that made it, whose event loop must run; it
    works under QCoreApplication. Requests go out one at a time, interval()
    apart, each waiting up to timeout() for its reply, so results come in
    sequence order: exactly one resultReady() per request. A run ends when
    count() requests have their result (never, while continuous() is set),
    when stop() is called, or on an error; finished() comes last, after the
    last result and with the final statistics() in place, and activeChanged()
    with \c false comes right before it, never before a result of the run.

    Pinging needs no privilege where the system allows the unprivileged ICMP
    socket (\c net.ipv4.ping_group_range), as most desktops do. Elsewhere
    the ICMP helper of the installation sends the requests; it holds users
    other than root to what iputils \c ping allows them: requests at least
    2 ms apart, and a second apart to a multicast or broadcast address. The
    interval of such a run is raised to that, whatever interval() says.
*/
class TARVIX_PING_EXPORT Pinger : public QObject
{
    Q_OBJECT
    /*! Requests per run, unless continuous: count(), setCount(). */
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    /*! Whether runs go on until stop(): isContinuous(), setContinuous(). */
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
    /*! Whether a start() has not yet come to its finished(): isActive(). */
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    /*! The run's host name: hostName(). */
    Q_PROPERTY(QString hostName READ hostName NOTIFY hostNameChanged)
    /*! The address the run pings: ipAddress(). */
    Q_PROPERTY(QString ipAddress READ ipAddress NOTIFY ipAddressChanged)
    /*! The figures of the current or last run: statistics(). */
    Q_PROPERTY(Tarvix::PingStatistics statistics READ statistics NOTIFY statisticsChanged)
    /*! Why the last run did not start or ended early: error(). */
    Q_PROPERTY(Tarvix::Pinger::Error error READ error NOTIFY errorChanged)
    /*! error() worded for users: errorString(). */
    Q_PROPERTY(QString errorString READ errorString NOTIFY errorChanged)

public:
    /*! Why a run did not start, or ended early. */
    enum Error {
        NoError,          //!< None: the run started, and ended with its count or a stop.
        HostNotFound,     //!< The host is no address and no name the resolver knows.
        InvalidSetting,   //!< A setting is out of range; errorString() names it.
        PermissionDenied, //!< The system allows this program no ICMP socket, or the address may not be pinged.
        NetworkError,     //!< The network or the system could not take the requests.
        HelperFailure,    //!< The ICMP helper could not start, stopped answering or ended.
    };
    Q_ENUM(Error)

    /*! A Pinger with the defaults: 4 requests a second apart, a second's
        time-out, 32 bytes, a TTL of 60, no reverse names. */
    explicit Pinger(QObject *parent = nullptr);
    /*! Ends a run in progress without a word: no signal comes from the destructor. */
    ~Pinger() override;

    /*! Requests per run, unless continuous() (default 4; at least 1). */
    int count() const;
    /*! Sets count(); it applies from the next start(). */
    void setCount(int count);
    /*! Whether runs go on until stop() (default \c false). */
    bool isContinuous() const;
    /*! Sets isContinuous(); it applies from the next start(). */
    void setContinuous(bool continuous);
    /*! Milliseconds between the starts of two requests (default 1000; at least
        1, and see above for users other than root without the datagram socket). */
    int interval() const;
    /*! Sets interval(); it applies from the next start(). */
    void setInterval(int ms);
    /*! Milliseconds to wait for each reply (default 1000; at least 1). */
    int timeout() const;
    /*! Sets timeout(); it applies from the next start(). */
    void setTimeout(int ms);
    /*! Payload bytes of each request (default 32; 0 to 65500). */
    int packetSize() const;
    /*! Sets packetSize(); it applies from the next start(). */
    void setPacketSize(int bytes);
    /*! The requests' time to live or hop limit (default 60; 1 to 255). */
    int timeToLive() const;
    /*! Sets timeToLive(); it applies from the next start(). */
    void setTimeToLive(int ttl);
    /*! Whether the address pinged is looked up for its name (default \c false). */
    bool resolvesAddresses() const;
    /*! Sets resolvesAddresses(); it applies from the next start(). */
    void setResolveAddresses(bool resolve);

    /*! Whether a start() has not yet come to its finished(): its host being
        looked up, its run starting or in progress. */
    bool isActive() const;
    /*! The run's host name: the name given to start(), the reverse name of an
        address when resolvesAddresses(), or empty; set once the host is looked up. */
    QString hostName() const;
    /*! The address the run pings, once the host is looked up; empty before. */
    QString ipAddress() const;
    /*! The figures of the current or last run; empty after start() until its run begins. */
    PingStatistics statistics() const;
    /*! Why the last run did not start or ended early; NoError from start() on, until then. */
    Error error() const;
    /*! error() worded for users, in their language; empty for NoError. */
    QString errorString() const;

public Q_SLOTS:
    /*! Ends a run in progress, then starts one to \a host: a name, or an IPv4
        or IPv6 address (with its zone, "fe80::1%eth0"; in brackets too).
        Returns at once, with isActive() \c true: the host is looked up
        without blocking, and all that follows, an error included, comes from
        the event loop, never from inside this call. */
    void start(const QString &host);
    /*! Ends the run in progress, or the start still looking its host up:
        finished() comes before this returns. A request still waiting for its
        reply is neither reported nor counted. */
    void stop();

Q_SIGNALS:
    /*! One request's result, in sequence order, exactly one per request. */
    void resultReady(const Tarvix::PingResult &result);
    /*! A run ended, or a start failed: after the last result, with statistics()
        final; error() says whether it ended early. Every start() ends with one. */
    void finished();
    /*! A run did not start, or ended early: \a error and errorString() say why.
        finished() follows. */
    void errorOccurred(Tarvix::Pinger::Error error);

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
    /*! hostName() changed to \a hostName. */
    void hostNameChanged(const QString &hostName);
    /*! ipAddress() changed to \a ipAddress. */
    void ipAddressChanged(const QString &ipAddress);
    /*! statistics() changed: a request ended, or a new run began. */
    void statisticsChanged();
    /*! error() and errorString() changed. */
    void errorChanged();

private:
    Pinger(std::unique_ptr<PingerPrivate> d, QObject *parent);
    friend class PingerPrivate;
    std::unique_ptr<PingerPrivate> d;
};

} // namespace Tarvix
