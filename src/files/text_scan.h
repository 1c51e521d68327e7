#pragma once

// Reading the key-and-value texts of the composition, configuration and list files: tokens
// between blanks, keys compared without regard to case (ASCII only, whatever the locale),
// values read with the pitch-expression reader.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "corvane/tuning/ascii_text.h"
#include "corvane/tuning/expression.h"

namespace corvane::files::detail {

inline constexpr std::size_t kMaxTextToken = 100;  // a text value read as one token
inline constexpr std::size_t kMaxPathText = 260;   // a path read as the rest of a line

using ascii::ascii_upper;
using ascii::ends_with_any_case;
using ascii::equals_any_case;
using ascii::is_blank;
using ascii::is_line_end;
using ascii::starts_with_any_case;
using ascii::trimmed;

// Walks a text token by token, from a given position; can stay within one line.
class TokenReader {
public:
    explicit TokenReader(std::string_view text, std::size_t position = 0)
        : text_(text), pos_(std::min(position, text.size())) {}

    std::optional<std::string_view> next() { return take(false); }
    std::optional<std::string_view> peek() const { return TokenReader(*this).take(false); }
    // The next token before the end of the current line, or nothing.
    std::optional<std::string_view> next_on_line() { return take(true); }
    std::optional<std::string_view> peek_on_line() const { return TokenReader(*this).take(true); }

    // The rest of the current line after the blanks that follow the last token, without
    // trailing blanks, cut to `max_length` characters; the reader moves to the line end.
    std::string_view rest_of_line(std::size_t max_length = kMaxPathText) {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !is_line_end(text_[pos_])) ++pos_;
        std::string_view line = text_.substr(start, pos_ - start);
        while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
        return line.substr(0, max_length);
    }

    std::size_t position() const { return pos_; }
    bool at_end() const { return pos_ >= text_.size(); }

private:
    std::optional<std::string_view> take(bool same_line) {
        while (pos_ < text_.size() && is_blank(text_[pos_])) {
            if (same_line && is_line_end(text_[pos_])) return std::nullopt;
            ++pos_;
        }
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && !is_blank(text_[pos_])) ++pos_;
        return text_.substr(start, pos_ - start);
    }

    std::string_view text_;
    std::size_t pos_;
};

// The value of a number or pitch expression (ratio form unless said), or nothing when the
// token holds no number.
inline std::optional<double> number_value(std::string_view token,
                                          tuning::PitchForm form = tuning::PitchForm::ratio) {
    const auto e = tuning::evaluate_expression(token, form);
    if (!e.number_read) return std::nullopt;
    return e.value;
}

// Truncated toward zero and kept within the range of the integer type.
template <class Int>
Int truncated(double value) {
    if (std::isnan(value)) return 0;
    const double low = static_cast<double>(std::numeric_limits<Int>::min());
    const double high = static_cast<double>(std::numeric_limits<Int>::max());
    const double t = std::trunc(value);
    if (t <= low) return std::numeric_limits<Int>::min();
    if (t >= high) return std::numeric_limits<Int>::max();
    return static_cast<Int>(t);
}

// A text value as one token: every blank becomes "_", an empty text is "_".
inline std::string token_text(std::string_view text) {
    if (text.empty()) return "_";
    std::string token(text);
    std::replace_if(token.begin(), token.end(), is_blank, '_');
    return token;
}

// A title as its line of the file holds it: blanks as "_", so that it is one token; an
// underscore of the title itself as "\_", so that it comes back as written. An empty
// title is "_".
inline std::string title_text(std::string_view title) {
    if (title.empty()) return "_";
    std::string text;
    for (const char ch : title) {
        if (ch == '_') text += "\\_";
        else text += is_blank(ch) ? '_' : ch;
    }
    return text;
}

// The title a line holds, after its key: the whole rest of the line, so that a title typed
// into the file by hand in several words is one title. "\_" is an underscore, any other
// "_" a blank; runs of blanks become one; at most `limit` characters.
inline std::string title_of_line(std::string_view line, std::size_t limit) {
    std::string title;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char ch = line[i];
        if (ch == '\\' && i + 1 < line.size() && line[i + 1] == '_') {
            ch = line[++i];
        } else if (ch == '_' || is_blank(ch)) {
            ch = ' ';
        }
        if (ch == ' ' && !title.empty() && title.back() == ' ') continue;
        title += ch;
    }
    while (title.size() > 1 && title.back() == ' ') title.pop_back();
    if (title.size() > 1 && title.front() == ' ') title.erase(0, 1);
    return title.substr(0, limit);
}

// The text a token stands for: at most 100 characters, each "_" read as a blank.
inline std::string text_of_token(std::string_view token) {
    std::string text(token.substr(0, kMaxTextToken));
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

}  // namespace corvane::files::detail
