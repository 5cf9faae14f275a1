#pragma once

// Ties the kernel's transmit timestamps to the requests they stamp. Plain C++:
// the helper uses it as well as the component.
//
// With SOF_TIMESTAMPING_OPT_ID the kernel numbers a socket's sends from 0,
// counting each send that got as far as building its packet, and gives that
// number (ee_data) with each stamp. Every send that succeeds took a number.
// One that failed may have taken one too (it failed after building the packet,
// in the queue or the device) or not (it failed in the route lookup): from
// then on the number of each later send is known only within a range, one
// wider for each such failure, until a stamp says which it was.
//
// Requests go out one at a time, so a stamp normally concerns the latest send;
// a few earlier ones are remembered for a stamp that comes late.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace Icmp {

class SendStampKeys
{
public:
    static constexpr std::size_t Remembered = 16;

    // A send that succeeded, with its sequence.
    void sent(std::uint16_t sequence)
    {
        Send &send = m_sends[m_next % Remembered];
        send = Send{sequence, m_lowest, m_highest};
        ++m_next;
        ++m_lowest;
        ++m_highest;
        m_failedSinceLatest = 0;
    }

    // A send that failed: it may or may not have taken a number.
    void sendFailed()
    {
        ++m_highest;
        ++m_failedSinceLatest;
    }

    // The sequence of the send that the stamp numbered key concerns: the
    // latest remembered send that can have had that number. A match tells
    // the least number of every send since. A key above every range means a
    // failed send took a number after all: it is the latest send's. Nothing
    // for a key older than every remembered send.
    std::optional<std::uint16_t> sequenceOf(std::uint32_t key)
    {
        const std::size_t count = m_next < Remembered ? m_next : Remembered;
        if (count == 0)
            return std::nullopt;
        std::size_t back = 1;
        if (key <= at(1).highest) {
            while (back <= count && !(at(back).lowest <= key && key <= at(back).highest))
                ++back;
            if (back > count)
                return std::nullopt;
        }
        Send &send = at(back);
        send.lowest = send.highest = key;
        std::uint32_t least = key + 1;
        for (std::size_t later = back - 1; later >= 1; --later, ++least)
            raise(at(later), least);
        if (back == 1) {
            // Settled: the next send's range is only as wide as the failures since.
            m_lowest = least;
            m_highest = least + m_failedSinceLatest;
        } else {
            if (m_lowest < least)
                m_lowest = least;
            if (m_highest < m_lowest)
                m_highest = m_lowest;
        }
        return send.sequence;
    }

private:
    struct Send
    {
        std::uint16_t sequence = 0;
        std::uint32_t lowest = 0; // the range of numbers it may have had
        std::uint32_t highest = 0;
    };

    // The send that many back from the latest (1: the latest).
    Send &at(std::size_t back) { return m_sends[(m_next - back) % Remembered]; }
    static void raise(Send &send, std::uint32_t least)
    {
        if (send.lowest < least)
            send.lowest = least;
        if (send.highest < send.lowest)
            send.highest = send.lowest;
    }

    Send m_sends[Remembered];
    std::size_t m_next = 0;
    std::uint32_t m_lowest = 0; // the range of the next send's number
    std::uint32_t m_highest = 0;
    std::uint32_t m_failedSinceLatest = 0;
};

} // namespace Icmp
