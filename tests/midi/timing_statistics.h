#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace corvane::testing {

// The value below which `fraction` of `values` lie (the largest for 1).
inline double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

}  // namespace corvane::testing
