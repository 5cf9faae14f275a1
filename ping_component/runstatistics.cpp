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
