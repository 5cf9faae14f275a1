#pragma once

#include <algorithm>
#include <cmath>

// The p-th percentile (0 to 100) of values, interpolated between the two
// nearest ranks as most statistics tools do; NaN when there are none.
// Takes any random-access list of doubles (std::vector, QList) by value.
template <typename List>
double percentile(List values, double p)
{
    if (values.empty())
        return std::nan("");
    std::sort(values.begin(), values.end());
    const double rank = p / 100.0 * double(values.size() - 1);
    const auto low = static_cast<decltype(values.size())>(std::floor(rank));
    const auto high = static_cast<decltype(values.size())>(std::ceil(rank));
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}
