#pragma once

#include <cstdint>
#include <limits>

namespace Icmp {

// How often a caller other than root may have the helper send: a token
// bucket for each rate class, holding up to HelperProtocol::RateBurst
// tokens and gaining one every UnicastIntervalNs (or GroupIntervalNs). A
// request that reaches sendto takes a token; without one it waits, or rather
// its caller is told how long it would have to. Pure: the time is passed in,
// CLOCK_MONOTONIC ns.
class RateLimiter
{
public:
    enum class Class {
        Unicast,
        Group, // multicast, broadcast, or asked to be sent with SO_BROADCAST
    };

    // How long from now until a request of the class would be taken; 0 when
    // it would be taken now.
    std::int64_t waitNs(Class rateClass, std::int64_t nowNs) const;
    // A request of the class takes a token at nowNs.
    void take(Class rateClass, std::int64_t nowNs);

private:
    static std::int64_t intervalNs(Class rateClass);

    // Per class, when its bucket is full again: each token taken moves it on
    // by one interval from now or from where it was, whichever is later.
    std::int64_t m_fullAtNs[2] = {std::numeric_limits<std::int64_t>::min(),
                                  std::numeric_limits<std::int64_t>::min()};
};

} // namespace Icmp
