#pragma once

// Small text helpers shared by the tools: ASCII case rules whatever the locale, trimming,
// and the number texts of the closing messages.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::tools {

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string upper_copy(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), ascii_upper);
    return out;
}

inline bool starts_with_any_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (ascii_upper(text[i]) != ascii_upper(prefix[i])) return false;
    }
    return true;
}

inline bool equals_any_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_any_case(a, b);
}

inline bool less_any_case(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(ascii_upper(x)) < static_cast<unsigned char>(ascii_upper(y));
    });
}

inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}
inline std::string trimmed_copy(std::string_view text) { return std::string(trimmed(text)); }

// "s" for counts other than one.
inline std::string_view plural(long long count) { return count == 1 ? "" : "s"; }

}  // namespace corvane::tools
