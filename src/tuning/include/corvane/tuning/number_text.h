#pragma once

// The program's one way of writing numbers as text, the same under every locale.

#include <string>

namespace corvane::tuning {

// "%.*Lg" without the locale: the C library's general format with `figures` significant figures.
std::string format_general(double value, int figures);
// The shortest text that reads back as exactly `value`, without the locale.
std::string format_shortest(double value);
// "%.*Lf" without the locale.
std::string format_fixed(double value, int decimals);

// A length of time in words: "1 hour 1 minute 1.50 sec", "2 days 2 hours " (at most
// `max_parts` parts when not 0), "0 secs".
std::string format_duration(double seconds, int max_parts = 0);

}  // namespace corvane::tuning
