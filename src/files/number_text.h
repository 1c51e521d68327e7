#pragma once

// Number texts of the file formats, written without the locale ("%d", "%g", "%12Lg").

#include <string>
#include <string_view>

#include "corvane/tuning/pitch_format.h"

namespace corvane::files::detail {

// "%g": six significant figures.
inline std::string general_text(double value) { return tuning::format_general(value, 6); }

// Right-aligned in `width` characters, as "%12Lg" writes.
inline std::string right_aligned(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

inline std::string general_text(double value, std::size_t width) { return right_aligned(general_text(value), width); }

inline std::string integer_text(long long value) { return std::to_string(value); }

// "%.*f" without its trailing zeros, but with a digit after the point: "100.0", "261.6255653006".
inline std::string point_decimal_text(double value, int decimals) {
    std::string text = tuning::format_fixed(value, decimals);
    while (text.size() > 2 && text.back() == '0' && text[text.size() - 2] != '.') text.pop_back();
    return text;
}

}  // namespace corvane::files::detail
