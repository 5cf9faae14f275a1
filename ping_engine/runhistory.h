#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>
#include <tarvix/tarvixpingexport.h>

// How every request of a run ended, in bounded memory whatever the run's
// length. The newest requests are kept one by one; older ones are folded into
// summaries of consecutive requests (their count, losses, errors and the
// smallest and largest round trip), whose size doubles whenever their number
// reaches its bound. A loss stays visible at any age, as a loss in its summary.
//
// Requests are addressed by ordinal: 0 for the first of the run, counting on
// past the 16-bit sequence numbers, which wrap.
class TARVIX_PING_EXPORT RunHistory
{
public:
    struct Sample
    {
        enum class Kind : quint8 { Reply, Lost, Error };
        Kind kind = Kind::Lost;
        quint16 sequence = 0;
        qint16 ttl = -1;     // replies: as received, -1 when unknown
        qint32 bytes = -1;   // replies: payload bytes
        qint64 timeNs = 0;   // wall clock when the request went out
        qint64 rttNs = 0;    // replies only
        QString text;        // errors: the line that said what happened
    };

    // Consecutive requests, summarised.
    struct Summary
    {
        qint64 first = 0; // ordinal of the first request
        qint64 count = 0;
        qint64 lost = 0;  // errors included
        qint64 errors = 0;
        qint64 minRttNs = 0; // over the replies; 0 when there are none
        qint64 maxRttNs = 0;
        qint64 firstTimeNs = 0;
        qint64 lastTimeNs = 0;
        quint16 firstSequence = 0;
        quint16 lastSequence = 0;

        qint64 replies() const { return count - lost; }
        qint64 end() const { return first + count; }
        void add(qint64 ordinal, const Sample &sample);
        void merge(const Summary &later);
    };

    explicit RunHistory(int exactCapacity = 20000, int summaryCapacity = 2048);

    void add(const Sample &sample);
    // The short forms the run's bookkeeping and tests use.
    void addReply(qint64 rttNs, quint16 sequence = 0, qint64 timeNs = 0, qint32 bytes = -1, qint16 ttl = -1);
    void addLost(quint16 sequence = 0, qint64 timeNs = 0);
    void addError(quint16 sequence = 0, qint64 timeNs = 0, const QString &text = {});

    // Requests ever added.
    qint64 total() const { return m_total; }
    bool isEmpty() const { return m_total == 0; }
    // Ordinal of the oldest request kept one by one; older ones are folded.
    qint64 firstExact() const { return m_total - qint64(m_exactSize); }
    // The request itself, or null once it is folded or out of range.
    const Sample *exact(qint64 ordinal) const;
    const Sample &last() const { return *exact(m_total - 1); }

    // What the requests from ordinal from up to (not including) to did, in
    // one summary. Folded requests count with the whole fold they are in, so
    // the result may reach a little outside the range; it never misses one.
    Summary summary(qint64 from, qint64 to) const;

    // When a request went out; interpolated inside a fold.
    qint64 timeOf(qint64 ordinal) const;
    // The first ordinal whose request went out at or after timeNs (total()
    // when none did).
    qint64 ordinalAt(qint64 timeNs) const;

    int exactCapacity() const { return int(m_exact.size()); }
    int summaryCapacity() const { return m_summaryCapacity; }
    // How many requests one fold takes at most, now.
    qint64 foldSize() const { return m_foldSize; }
    int foldCount() const { return int(m_folds.size()); }

private:
    const Sample &exactAt(qint64 ordinal) const;
    void fold(qint64 ordinal, const Sample &sample);
    // Index of the fold holding ordinal, which is below firstExact().
    size_t foldIndex(qint64 ordinal) const;

    std::vector<Sample> m_exact; // a ring of the newest requests
    size_t m_exactStart = 0;
    size_t m_exactSize = 0;
    std::vector<Summary> m_folds;
    int m_summaryCapacity;
    qint64 m_foldSize = 16;
    qint64 m_total = 0;
};
