#pragma once

// The program's one way of writing numbers as text, the same under every locale.

#include <cstdint>
#include <string>

namespace corvane::tuning {

// "%.*Lg" without the locale: the C library's general format with `figures` significant figures.
std::string format_general(double value, int figures);
// The shortest text that reads back as exactly `value`, without the locale.
std::string format_shortest(double value);
// "%.*Lf" without the locale.
std::string format_fixed(double value, int decimals);

// A file size: "512 bytes", "1.2 kB", "205 kB", "3.4 MB" (kB of 1024 bytes, MB of 1024 kB, as
// the size limits of the settings count): a decimal below 100 of the unit, none from 100.
std::string format_size(std::uint64_t bytes);

// A length of time in words: "1 hour 1 minute 1.50 sec", "2 days 2 hours " (at most
// `max_parts` parts when not 0), "0 secs".
std::string format_duration(double seconds, int max_parts = 0);

}  // namespace corvane::tuning
