#pragma once

#include <optional>
#include <string_view>

namespace corvane::tuning {

inline bool is_blank_char(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Case folding for keys and words, the same whatever the user's locale.
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// True when `text` begins with `word`, letters compared without regard to case.
inline bool starts_with_word(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (ascii_upper(text[i]) != ascii_upper(word[i])) return false;
    }
    return true;
}

// Walks a text token by token; tokens are runs of characters between blanks.
class TokenCursor {
public:
    struct Token {
        std::string_view text;
        std::size_t start;
    };

    explicit TokenCursor(std::string_view text) : text_(text) {}

    std::optional<Token> next() {
        while (pos_ < text_.size() && is_blank_char(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !is_blank_char(text_[pos_])) ++pos_;
        return Token{text_.substr(start, pos_ - start), start};
    }

    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace corvane::tuning
