#pragma once

// Small text helpers shared by the tools: ASCII case rules whatever the locale, trimming,
// and the number texts of the closing messages.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "corvane/tuning/ascii_text.h"

namespace corvane::tools {

using ascii::ascii_upper;
using ascii::equals_any_case;
using ascii::is_blank;
using ascii::less_any_case;
using ascii::starts_with_any_case;
using ascii::trimmed;
using ascii::upper_copy;

inline std::string trimmed_copy(std::string_view text) { return std::string(trimmed(text)); }

// "s" for counts other than one.
inline std::string_view plural(long long count) { return count == 1 ? "" : "s"; }

}  // namespace corvane::tools
