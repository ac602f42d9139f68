// Small sums shared by the judgement of a take and the live level meter: a fraction of full
// scale in dB, and the nearest-rank percentile. Any thread.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace quillar::quality {

// 20 log10(fraction); silence is -infinity.
inline double toDb(double fraction) {
    return fraction > 0.0 ? 20.0 * std::log10(fraction) : -INFINITY;
}

// Nearest rank: the smallest value with at least `p` of the values at or below it; -infinity
// for no values.
inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return -INFINITY;
    }
    const auto n = static_cast<std::ptrdiff_t>(values.size());
    const std::ptrdiff_t rank =
        std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(std::ceil(p * n)) - 1, 0, n - 1);
    std::nth_element(values.begin(), values.begin() + rank, values.end());
    return values[static_cast<std::size_t>(rank)];
}

}  // namespace quillar::quality
