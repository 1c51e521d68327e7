#pragma once

#include <string_view>

#include "corvane/tuning/ascii_text.h"

namespace corvane::engine {

using ascii::ascii_upper;
using ascii::contains_any_case;
using ascii::is_blank;
using ascii::starts_with_any_case;

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
