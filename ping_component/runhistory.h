#pragma once

#include <QtGlobal>

#include <vector>

// The outcomes of the most recent requests of a run, oldest first, in a ring
// of fixed capacity: what a chart of the run needs, whatever the run's length.
class RunHistory
{
public:
    struct Sample
    {
        enum class Kind : quint8 { Reply, Lost, Error };
        Kind kind = Kind::Lost;
        qint64 rttNs = 0; // replies only
    };

    explicit RunHistory(int capacity = 1024);

    void addReply(qint64 rttNs) { add({Sample::Kind::Reply, rttNs}); }
    void addLost() { add({Sample::Kind::Lost, 0}); }
    void addError() { add({Sample::Kind::Error, 0}); }

    int capacity() const { return int(m_samples.size()); }
    int size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // i from 0 (oldest kept) to size() - 1 (newest).
    const Sample &at(int i) const;
    const Sample &last() const { return at(m_size - 1); }

private:
    void add(const Sample &sample);

    std::vector<Sample> m_samples;
    int m_next = 0;
    int m_size = 0;
};
