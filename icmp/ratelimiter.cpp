#include "ratelimiter.h"

#include "helperprotocol.h"

namespace Icmp {

using namespace HelperProtocol;

std::int64_t RateLimiter::intervalNs(Class rateClass)
{
    return rateClass == Class::Group ? GroupIntervalNs : UnicastIntervalNs;
}

std::int64_t RateLimiter::waitNs(Class rateClass, std::int64_t nowNs) const
{
    const std::int64_t fullAt = m_fullAtNs[int(rateClass)];
    if (fullAt <= nowNs)
        return 0;
    // A full bucket is RateBurst intervals away from empty; a token is there
    // while the bucket is at most RateBurst - 1 intervals short of full.
    const std::int64_t wait = fullAt - nowNs - (RateBurst - 1) * intervalNs(rateClass);
    return wait > 0 ? wait : 0;
}

void RateLimiter::take(Class rateClass, std::int64_t nowNs)
{
    std::int64_t &fullAt = m_fullAtNs[int(rateClass)];
    fullAt = (fullAt > nowNs ? fullAt : nowNs) + intervalNs(rateClass);
}

} // namespace Icmp
