#pragma once

#include <tarvix/tarvixcomponentexport.h>

#include <QString>
#include <QWidget>

namespace Tarvix {

// The ping component's typed Qt interface, for programs that embed it the Qt
// way rather than through the dispatch contract. Every property and call here
// goes through the same dispatch as the contract, so both see the same values
// and the same refusals: settings are taken as written, and a run with a
// setting it cannot start with reports that as pingError when ping() is called.
//
// create() makes the component; the object it returns is also its
// PingControl (see tarvixctlfactory.h for hosts that use the contract).
class TARVIX_COMPONENT_EXPORT TarvixWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int packetSize READ packetSize WRITE setPacketSize)
    Q_PROPERTY(int timeToLive READ timeToLive WRITE setTimeToLive)
    Q_PROPERTY(int timeout READ timeout WRITE setTimeout)
    Q_PROPERTY(bool continuous READ isContinuous WRITE setContinuous)
    Q_PROPERTY(int count READ count WRITE setCount)
    Q_PROPERTY(bool resolveAddresses READ resolvesAddresses WRITE setResolveAddresses)
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)
    Q_PROPERTY(QString hostName READ hostName NOTIFY hostNameChanged)
    Q_PROPERTY(QString ipAddress READ ipAddress NOTIFY ipAddressChanged)

public:
    // The ping component, a child of parent.
    static TarvixWidget *create(QWidget *parent = nullptr);

    // Payload bytes per echo request: 0 to 65500.
    virtual int packetSize() const = 0;
    virtual void setPacketSize(int bytes) = 0;
    // TTL or hop limit of the requests: 1 to 255.
    virtual int timeToLive() const = 0;
    virtual void setTimeToLive(int ttl) = 0;
    // Milliseconds to wait for each reply: 1 or more.
    virtual int timeout() const = 0;
    virtual void setTimeout(int ms) = 0;
    // Ping until stopped, rather than count times.
    virtual bool isContinuous() const = 0;
    virtual void setContinuous(bool continuous) = 0;
    // Requests per run unless continuous: 1 or more.
    virtual int count() const = 0;
    virtual void setCount(int count) = 0;
    // Name replying addresses.
    virtual bool resolvesAddresses() const = 0;
    virtual void setResolveAddresses(bool resolve) = 0;

    // True from ping() until the run ends, while the host name resolves too.
    virtual bool isActive() const = 0;
    // The host name and the address of the run the last ping() started.
    virtual QString hostName() const = 0;
    virtual QString ipAddress() const = 0;

public slots:
    // Starts a run to a host name or address, ending the one before.
    virtual void ping(const QString &host) = 0;
    // Ends the run, if one is active.
    virtual void stop() = 0;

signals:
    void activeChanged(bool active);
    void hostNameChanged(const QString &hostName);
    void ipAddressChanged(const QString &ipAddress);

    // The component's events. pinged: one per echo request; bytes is the
    // reply's payload size, or -1 when no reply came in time, timeMs the round
    // trip, ttl the reply's TTL.
    void pinged(const QString &ipAddress, int bytes, int timeMs, int ttl);
    // A line of the run, worded for the user.
    void pingLine(const QString &line);
    // What went wrong, worded for the user, and its code.
    void pingError(const QString &text, int code);

protected:
    using QWidget::QWidget;
};

} // namespace Tarvix
