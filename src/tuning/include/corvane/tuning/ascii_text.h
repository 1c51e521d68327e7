#pragma once

// Blanks and letter case as every text file of the program reads them: ASCII only, the same
// whatever the user's locale.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::ascii {

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
inline bool is_line_end(char c) { return c == '\r' || c == '\n'; }
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

// Whole-word comparison: the token matches the key only if it ends where the key ends.
inline bool equals_any_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && starts_with_any_case(a, b);
}

inline bool ends_with_any_case(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equals_any_case(text.substr(text.size() - suffix.size()), suffix);
}

inline bool contains_any_case(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (starts_with_any_case(text.substr(i), word)) return true;
    }
    return false;
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

}  // namespace corvane::ascii
