#include "runhistory.h"

#include <algorithm>

void RunHistory::Summary::add(qint64 ordinal, const Sample &sample)
{
    if (count == 0) {
        first = ordinal;
        firstTimeNs = sample.timeNs;
        firstSequence = sample.sequence;
    }
    ++count;
    lastTimeNs = sample.timeNs;
    lastSequence = sample.sequence;
    if (sample.kind == Sample::Kind::Reply) {
        const bool firstReply = replies() == 1;
        minRttNs = firstReply ? sample.rttNs : std::min(minRttNs, sample.rttNs);
        maxRttNs = firstReply ? sample.rttNs : std::max(maxRttNs, sample.rttNs);
        return;
    }
    ++lost;
    if (sample.kind == Sample::Kind::Error)
        ++errors;
}

void RunHistory::Summary::merge(const Summary &later)
{
    if (later.count == 0)
        return;
    if (count == 0) {
        *this = later;
        return;
    }
    if (later.replies() > 0) {
        minRttNs = replies() > 0 ? std::min(minRttNs, later.minRttNs) : later.minRttNs;
        maxRttNs = replies() > 0 ? std::max(maxRttNs, later.maxRttNs) : later.maxRttNs;
    }
    first = std::min(first, later.first);
    count += later.count;
    lost += later.lost;
    errors += later.errors;
    lastTimeNs = later.lastTimeNs;
    lastSequence = later.lastSequence;
}

RunHistory::RunHistory(int exactCapacity, int summaryCapacity)
    : m_exact(size_t(qMax(exactCapacity, 1))), m_summaryCapacity(qMax(summaryCapacity, 2))
{
}

void RunHistory::add(const Sample &sample)
{
    if (m_exactSize == m_exact.size()) {
        fold(firstExact(), m_exact[m_exactStart]);
        m_exact[m_exactStart] = sample;
        m_exactStart = (m_exactStart + 1) % m_exact.size();
    } else {
        m_exact[(m_exactStart + m_exactSize) % m_exact.size()] = sample;
        ++m_exactSize;
    }
    ++m_total;
}

void RunHistory::addReply(qint64 rttNs, quint16 sequence, qint64 timeNs, qint32 bytes, qint16 ttl)
{
    add({Sample::Kind::Reply, sequence, ttl, bytes, timeNs, rttNs, {}});
}

void RunHistory::addLost(quint16 sequence, qint64 timeNs)
{
    add({Sample::Kind::Lost, sequence, -1, -1, timeNs, 0, {}});
}

void RunHistory::addError(quint16 sequence, qint64 timeNs, const QString &text)
{
    add({Sample::Kind::Error, sequence, -1, -1, timeNs, 0, text});
}

void RunHistory::fold(qint64 ordinal, const Sample &sample)
{
    if (m_folds.empty() || m_folds.back().count >= m_foldSize) {
        if (int(m_folds.size()) == m_summaryCapacity) {
            // Full: every two neighbours become one, and later folds take twice as many.
            std::vector<Summary> halved;
            halved.reserve(m_folds.size());
            for (size_t i = 0; i + 1 < m_folds.size(); i += 2) {
                Summary pair = m_folds[i];
                pair.merge(m_folds[i + 1]);
                halved.push_back(pair);
            }
            if (m_folds.size() % 2)
                halved.push_back(m_folds.back());
            m_folds = std::move(halved);
            m_foldSize *= 2;
        }
        if (m_folds.empty() || m_folds.back().count >= m_foldSize)
            m_folds.emplace_back();
    }
    m_folds.back().add(ordinal, sample);
}

const RunHistory::Sample &RunHistory::exactAt(qint64 ordinal) const
{
    return m_exact[(m_exactStart + size_t(ordinal - firstExact())) % m_exact.size()];
}

const RunHistory::Sample *RunHistory::exact(qint64 ordinal) const
{
    if (ordinal < firstExact() || ordinal >= m_total)
        return nullptr;
    return &exactAt(ordinal);
}

size_t RunHistory::foldIndex(qint64 ordinal) const
{
    const auto after = std::upper_bound(m_folds.begin(), m_folds.end(), ordinal,
                                        [](qint64 o, const Summary &s) { return o < s.first; });
    return size_t(std::max<std::ptrdiff_t>(0, after - m_folds.begin() - 1));
}

RunHistory::Summary RunHistory::summary(qint64 from, qint64 to) const
{
    Summary result;
    from = std::max<qint64>(from, 0);
    to = std::min(to, m_total);
    if (from >= to)
        return result;
    if (from < firstExact()) {
        for (size_t i = foldIndex(from); i < m_folds.size() && m_folds[i].first < to; ++i)
            result.merge(m_folds[i]);
    }
    for (qint64 o = std::max(from, firstExact()); o < to; ++o)
        result.add(o, exactAt(o));
    if (from >= firstExact())
        result.first = from;
    return result;
}

qint64 RunHistory::timeOf(qint64 ordinal) const
{
    if (m_total == 0)
        return 0;
    ordinal = std::clamp<qint64>(ordinal, 0, m_total - 1);
    if (ordinal >= firstExact())
        return exactAt(ordinal).timeNs;
    const Summary &s = m_folds[foldIndex(ordinal)];
    if (s.count <= 1)
        return s.firstTimeNs;
    return s.firstTimeNs + (s.lastTimeNs - s.firstTimeNs) * (ordinal - s.first) / (s.count - 1);
}

qint64 RunHistory::ordinalAt(qint64 timeNs) const
{
    qint64 low = 0;
    qint64 high = m_total;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if (timeOf(middle) < timeNs)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
