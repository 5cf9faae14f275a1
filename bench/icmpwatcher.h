#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// A raw IPv4 ICMP socket that sees one ICMP type arriving in the namespace it
// was opened in, with the kernel's receive timestamp of each. On loopback an
// echo request is received the moment it is sent, so its timestamp is when it
// left; on the client side of the test network an echo reply's timestamp is
// the one the pinging socket gets for the same packet.
class IcmpWatcher
{
public:
    struct Seen
    {
        quint8 type = 0;
        quint16 identifier = 0;
        quint16 sequence = 0;
        qint64 receivedNs = 0; // CLOCK_REALTIME, SO_TIMESTAMPNS
    };

    // type: the ICMP type let through (ICMP_FILTER blocks all others).
    explicit IcmpWatcher(quint8 type);
    ~IcmpWatcher();
    Q_DISABLE_COPY_MOVE(IcmpWatcher)

    bool ok() const { return m_fd >= 0; }
    // Why the socket could not be set up; empty when ok().
    QString error() const;

    // The next packet, waiting up to timeoutMs for it; nothing when none came.
    std::optional<Seen> next(int timeoutMs);
    // Everything waiting now.
    QList<Seen> drain();

private:
    int m_fd = -1;
    int m_errno = 0;
};
