#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace corvane::files {

// The text of a file being written. Files are written whole, however large: a composition
// with a scale of a thousand pitches loses nothing. A buffer may be given a capacity; an
// item is then appended whole or not at all (it goes in only while position + length stays
// below the capacity), and writers of lists stop at the first value that does not fit.
class SaveBuffer {
public:
    static constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);
    explicit SaveBuffer(std::size_t capacity = kUnbounded) : capacity_(capacity) {}

    // Appends `item` if it fits; returns its length, or 0 when nothing was appended.
    std::size_t append(std::string_view item) {
        if (text_.size() + item.size() >= capacity_) return 0;
        text_.append(item);
        return item.size();
    }

    std::string_view text() const { return text_; }
    std::string take() { return std::move(text_); }
    std::size_t size() const { return text_.size(); }
    std::size_t capacity() const { return capacity_; }

private:
    std::size_t capacity_;
    std::string text_;
};

// One formatted item made of several pieces (the key, its value, the line end), appended
// whole or not at all. Returns the length appended, or 0.
inline std::size_t append_formatted(SaveBuffer& out, std::initializer_list<std::string_view> pieces) {
    std::string item;
    for (const auto piece : pieces) item.append(piece);
    return out.append(item);
}

inline SaveBuffer unbounded_buffer() { return SaveBuffer(); }

}  // namespace corvane::files
