#pragma once

#include <string_view>

namespace corvane::engine {

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Case folding that does not depend on the user's locale.
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool starts_with_any_case(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (ascii_upper(text[i]) != ascii_upper(word[i])) return false;
    }
    return true;
}

inline bool contains_any_case(std::string_view text, std::string_view word) {
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (starts_with_any_case(text.substr(i), word)) return true;
    }
    return false;
}

// Splits a text into runs of characters between blanks.
class BlankSeparatedWords {
public:
    explicit BlankSeparatedWords(std::string_view text) : text_(text) {}

    // The next word, or an empty view at the end of the text.
    std::string_view next() {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !is_blank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace corvane::engine
