#pragma once

#include <optional>
#include <string_view>

namespace corvane::tuning {

// Walks a text line by line; lines end at LF, CR LF or a lone CR, and the line ends are
// not part of the lines.
class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        if (pos_ >= text_.size()) return std::nullopt;
        const std::size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r') ++pos_;
        const std::string_view line = text_.substr(start, pos_ - start);
        if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
        return line;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace corvane::tuning
