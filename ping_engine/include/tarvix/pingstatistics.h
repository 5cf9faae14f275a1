#pragma once

#include <tarvix/tarvixpingexport.h>

#include <QMetaType>
#include <QSharedDataPointer>

#include <chrono>

namespace Tarvix {

class PingStatisticsData;

/*!
    \brief The figures of a run so far: how many requests went and came back,
    and what their round trips were.

    A value: cheap to copy, and readable from QML as a value type (each getter
    below is a property of the same name, times in milliseconds). Requests
    count once they came to an end, by a reply, a time-out or an error: one
    still waiting when a run is stopped is not counted.
*/
class TARVIX_PING_EXPORT PingStatistics
{
    Q_GADGET
    /*! Requests that came to an end: sent(). */
    Q_PROPERTY(qint64 sent READ sent)
    /*! Requests answered by a reply: received(). */
    Q_PROPERTY(qint64 received READ received)
    /*! Further copies of replies already counted: duplicates(). */
    Q_PROPERTY(qint64 duplicates READ duplicates)
    /*! Requests that ended with an ICMP error or could not be sent: errors(). */
    Q_PROPERTY(qint64 errors READ errors)
    /*! The share of the requests sent that got no reply, 0 to 1: loss(). */
    Q_PROPERTY(double loss READ loss)
    /*! The shortest round trip in milliseconds: minimumMs(). */
    Q_PROPERTY(double minimum READ minimumMs)
    /*! The mean round trip in milliseconds: averageMs(). */
    Q_PROPERTY(double average READ averageMs)
    /*! The longest round trip in milliseconds: maximumMs(). */
    Q_PROPERTY(double maximum READ maximumMs)
    /*! The standard deviation of the round trips in milliseconds: deviationMs(). */
    Q_PROPERTY(double deviation READ deviationMs)
    /*! The round trip that 95% of the replies did not exceed, in milliseconds: p95Ms(). */
    Q_PROPERTY(double p95 READ p95Ms)
    /*! The mean difference between consecutive round trips in milliseconds: jitterMs(). */
    Q_PROPERTY(double jitter READ jitterMs)

public:
    /*! No requests yet: every figure 0. */
    PingStatistics();
    /*! A copy of \a other. */
    PingStatistics(const PingStatistics &other);
    /*! Takes over \a other, which is left empty. */
    PingStatistics(PingStatistics &&other) noexcept;
    /*! Assigns \a other. */
    PingStatistics &operator=(const PingStatistics &other);
    /*! Takes over \a other. */
    PingStatistics &operator=(PingStatistics &&other) noexcept;
    /*! Destroys the figures. */
    ~PingStatistics();

    /*! Requests that came to an end. */
    qint64 sent() const;
    /*! Requests answered by a reply. */
    qint64 received() const;
    /*! Further copies of replies already counted. */
    qint64 duplicates() const;
    /*! Requests that ended with an ICMP error or could not be sent (also lost). */
    qint64 errors() const;
    /*! The share of the requests sent that got no reply, 0 to 1; 0 before the first. */
    double loss() const;

    /*! The shortest round trip; zero before the first reply. */
    std::chrono::nanoseconds minimum() const;
    /*! The mean round trip. */
    std::chrono::nanoseconds average() const;
    /*! The longest round trip. */
    std::chrono::nanoseconds maximum() const;
    /*! The standard deviation of the round trips (ping's mdev). */
    std::chrono::nanoseconds deviation() const;
    /*! The round trip that 95% of the replies did not exceed (within 3%). */
    std::chrono::nanoseconds p95() const;
    /*! The mean difference between consecutive round trips (RFC 3393). */
    std::chrono::nanoseconds jitter() const;

    /*! minimum() in milliseconds. */
    double minimumMs() const;
    /*! average() in milliseconds. */
    double averageMs() const;
    /*! maximum() in milliseconds. */
    double maximumMs() const;
    /*! deviation() in milliseconds. */
    double deviationMs() const;
    /*! p95() in milliseconds. */
    double p95Ms() const;
    /*! jitter() in milliseconds. */
    double jitterMs() const;

private:
    friend class PingStatisticsData;
    QSharedDataPointer<PingStatisticsData> d;
};

} // namespace Tarvix
