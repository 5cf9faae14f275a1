#include "runstatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void RunStatistics::addReply(qint64 rttNs)
{
    if (m_received == 0) {
        m_minNs = m_maxNs = rttNs;
    } else {
        m_minNs = std::min(m_minNs, rttNs);
        m_maxNs = std::max(m_maxNs, rttNs);
        m_jitterSumNs += double(std::llabs(rttNs - m_lastRttNs));
    }
    ++m_received;
    const double delta = double(rttNs) - m_meanNs;
    m_meanNs += delta / double(m_received);
    m_m2 += delta * (double(rttNs) - m_meanNs);
    m_lastRttNs = rttNs;
    const size_t bin = size_t(binOf(std::max<qint64>(rttNs, 0) / 1000));
    ++m_bins[bin];
    m_binSumsNs[bin] += double(rttNs);
}

int RunStatistics::binOf(qint64 us)
{
    if (us < LinearBins)
        return int(us);
    int octave = 63 - __builtin_clzll(quint64(us)); // floor(log2(us)), at least 5
    const int shift = octave - 5;
    const int sub = int(us >> shift) - LinearBins;
    return std::min(LinearBins + shift * LinearBins + sub, int(LinearBins * (Octaves + 1)) - 1);
}

qint64 RunStatistics::percentileNs(double percent) const
{
    if (m_received == 0)
        return 0;
    const qint64 rank = std::clamp<qint64>(qint64(std::ceil(percent / 100.0 * double(m_received))), 1, m_received);
    // The ends are known exactly.
    if (rank == 1)
        return m_minNs;
    if (rank == m_received)
        return m_maxNs;
    qint64 seen = 0;
    for (size_t bin = 0; bin < m_bins.size(); ++bin) {
        seen += m_bins[bin];
        if (seen >= rank)
            return std::clamp(qint64(std::llround(m_binSumsNs[bin] / m_bins[bin])), m_minNs, m_maxNs);
    }
    return m_maxNs;
}

void RunStatistics::addLost(bool dueToError)
{
    ++m_lost;
    if (dueToError)
        ++m_errors;
}

double RunStatistics::lossPercent() const
{
    return sent() ? 100.0 * double(m_lost) / double(sent()) : 0.0;
}

double RunStatistics::mdevNs() const
{
    return m_received ? std::sqrt(std::max(0.0, m_m2 / double(m_received))) : 0.0;
}

double RunStatistics::jitterNs() const
{
    return m_received > 1 ? m_jitterSumNs / double(m_received - 1) : 0.0;
}
