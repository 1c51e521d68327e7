#pragma once

// Numbers written the same whatever the user's locale.

#include <array>
#include <charconv>
#include <string>

namespace corvane::midi::detail {

// Appends "%g": six significant figures, the C library's general format.
inline void append_general(std::string& out, double value) {
    std::array<char, 48> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::general, 6);
    if (ec != std::errc()) {
        out += '0';
        return;
    }
    out.append(buffer.data(), end);
}

inline std::string general_text(double value) {
    std::string out;
    append_general(out, value);
    return out;
}

// Appends a whole number in decimal.
template <typename Integer>
void append_integer(std::string& out, Integer value) {
    std::array<char, 24> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), ec == std::errc() ? end : buffer.data());
}

}  // namespace corvane::midi::detail
