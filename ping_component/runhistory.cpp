#include "runhistory.h"

RunHistory::RunHistory(int capacity) : m_samples(size_t(qMax(capacity, 1)))
{
}

const RunHistory::Sample &RunHistory::at(int i) const
{
    const int oldest = m_size < capacity() ? 0 : m_next;
    return m_samples[size_t((oldest + i) % capacity())];
}

void RunHistory::add(const Sample &sample)
{
    m_samples[size_t(m_next)] = sample;
    m_next = (m_next + 1) % capacity();
    m_size = qMin(m_size + 1, capacity());
}
