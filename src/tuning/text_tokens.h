#pragma once

#include <optional>
#include <string_view>

#include "corvane/tuning/ascii_text.h"

namespace corvane::tuning {

using ascii::ascii_upper;
using ascii::is_blank;
using ascii::starts_with_any_case;

// Walks a text token by token; tokens are runs of characters between blanks.
class TokenCursor {
public:
    struct Token {
        std::string_view text;
        std::size_t start;
    };

    explicit TokenCursor(std::string_view text) : text_(text) {}

    std::optional<Token> next() {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !is_blank(text_[pos_])) ++pos_;
        return Token{text_.substr(start, pos_ - start), start};
    }

    std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace corvane::tuning
