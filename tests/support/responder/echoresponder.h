#pragma once

#include "hostaddress.h"
#include "droprule.h"
#include "responderoptions.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <csignal>
#include <map>

#include <signal.h>
#include <sys/socket.h>

// Answers the ICMP and ICMPv6 echo requests that reach this network namespace,
// on raw sockets, as its options say. Replies leave at the request's kernel
// receive time plus the delay, each on its own schedule, so a slow answer
// never holds up the next request.
class EchoResponder
{
public:
    explicit EchoResponder(const ResponderOptions &options);
    ~EchoResponder();
    Q_DISABLE_COPY_MOVE(EchoResponder)

    // Opens both raw sockets; says why not in error.
    bool open(QString *error);

    // Answers until *stop is non-zero. The caller keeps the signals that set
    // it blocked; they are let through (waitMask) only while waiting for packets.
    void run(const volatile std::sig_atomic_t *stop, const sigset_t &waitMask);

private:
    // Where an answer goes and which of our addresses it comes from.
    struct Route
    {
        int family = AF_UNSPEC;
        sockaddr_storage peer{};
        socklen_t peerLength = 0;
        HostAddress local;
        int interfaceIndex = 0;
    };

    struct Request
    {
        Route route;
        quint16 identifier = 0;
        quint16 sequence = 0;
        QByteArray payload;
        QByteArray invokingPacket; // IP header and ICMP message, as an ICMP error quotes them
        int hops = -1;
        qint64 receivedNs = 0;     // CLOCK_REALTIME
    };

    struct Outgoing
    {
        Route route;
        QByteArray bytes;
        const char *what = "";
    };

    bool receiveOne(int family);
    void answer(const Request &request);
    QByteArray errorFor(const Request &request, ResponderOptions::ErrorKind kind) const;
    void schedule(qint64 dueNs, const Route &route, const QByteArray &bytes, const char *what);
    void sendDue();
    void send(const Outgoing &outgoing);
    int socketFor(int family) const { return family == AF_INET ? m_socket4 : m_socket6; }

    ResponderOptions m_options;
    DropRule m_drop;
    int m_socket4 = -1;
    int m_socket6 = -1;
    quint64 m_seen4 = 0;
    quint64 m_seen6 = 0;
    // Due time (CLOCK_REALTIME ns) to packet. Packets due at the same moment
    // keep the order they were scheduled in.
    std::multimap<qint64, Outgoing> m_pending;
};
