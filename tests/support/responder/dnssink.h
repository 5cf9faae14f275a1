#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

// A name server that never answers: reads the DNS queries that reach UDP port
// 53 of this network namespace (IPv4 and IPv6), logs each one on stderr and
// drops it. A client's resolver then waits for its full time-out, which is how
// tests make a name lookup hang.
class DnsSink
{
public:
    DnsSink() = default;
    ~DnsSink();
    Q_DISABLE_COPY_MOVE(DnsSink)

    // Binds both sockets; says why not in error.
    bool open(QString *error);
    // What to poll for input; empty until open() succeeded.
    QList<int> descriptors() const;
    // Reads and logs every query waiting on descriptor, without blocking.
    void drain(int descriptor);

    // "id=4660 name=slow.tarvix.test type=1" for the first question of a
    // query; malformed queries are said to be so.
    static QString describe(QByteArrayView query);

private:
    int m_socket4 = -1;
    int m_socket6 = -1;
};
