#pragma once

#include <QtGlobal>

#include <array>
#include <tarvix/tarvixpingexport.h>

// Running statistics of one run, in constant memory whatever its length.
// Round trips are kept in nanoseconds. The mean and deviation use Welford's
// update, which stays exact where sums of squares of nanoseconds would lose
// precision after a long run.
class TARVIX_PING_EXPORT RunStatistics
{
public:
    void addReply(qint64 rttNs);
    // A request that got no reply; an error reply counts as lost too.
    void addLost(bool dueToError);
    void addDuplicate() { ++m_duplicates; }

    // Requests count once they came to an end, by reply or by loss: one still
    // waiting when a run is stopped was given no chance and is not counted.
    qint64 sent() const { return m_received + m_lost; }
    qint64 received() const { return m_received; }
    qint64 lost() const { return m_lost; }
    qint64 errors() const { return m_errors; }
    qint64 duplicates() const { return m_duplicates; }
    // Share of the requests sent that were lost, 0 to 100; 0 before the first.
    double lossPercent() const;

    // Round-trip figures over the replies; all 0 before the first reply.
    qint64 minNs() const { return m_received ? m_minNs : 0; }
    qint64 maxNs() const { return m_received ? m_maxNs : 0; }
    double meanNs() const { return m_meanNs; }
    // Standard deviation of the round trips: sqrt(mean(x^2) - mean(x)^2), as ping's mdev.
    double mdevNs() const;
    // Mean absolute difference between consecutive round trips (RFC 3393's IPDV, averaged).
    double jitterNs() const;
    qint64 lastRttNs() const { return m_lastRttNs; }
    // The round trip that the given share (0 to 100) of the replies did not
    // exceed, by nearest rank; 0 before the first reply. Replies are counted
    // in bins about 3% wide and the figure is the mean of its bin, within 3%
    // of the exact one (and exact where the bin's replies are all alike).
    qint64 percentileNs(double percent) const;

private:
    qint64 m_received = 0;
    qint64 m_lost = 0;
    qint64 m_errors = 0;
    qint64 m_duplicates = 0;
    qint64 m_minNs = 0;
    qint64 m_maxNs = 0;
    double m_meanNs = 0;
    double m_m2 = 0;
    qint64 m_lastRttNs = 0;
    double m_jitterSumNs = 0;

    // Round trips in µs: one bin per µs below 32, then 32 bins per power of two.
    static constexpr int LinearBins = 32;
    static constexpr int Octaves = 40; // up to 2^45 µs, far past any time-out
    static int binOf(qint64 us);
    std::array<quint32, LinearBins * (Octaves + 1)> m_bins{};
    std::array<double, LinearBins * (Octaves + 1)> m_binSumsNs{};
};
