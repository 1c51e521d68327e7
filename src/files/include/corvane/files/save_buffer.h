#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace corvane::files {

// Every file is formatted into one buffer of this size and then written whole.
inline constexpr std::size_t kSaveBufferSize = 10240;

// The text of a file being written, bounded by the buffer size. An item is appended whole
// or not at all: it goes in only while position + length stays below the capacity (one
// byte is kept for the terminating NUL of the fixed buffer), so a file that is too large
// ends at its last whole item. Writers of lists stop at the first value that does not fit.
class SaveBuffer {
public:
    explicit SaveBuffer(std::size_t capacity = kSaveBufferSize) : capacity_(capacity) {}

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

// A buffer that never drops anything, for the lists of scales and modes, which grow with
// their entries.
inline SaveBuffer unbounded_buffer() { return SaveBuffer(static_cast<std::size_t>(-1)); }

}  // namespace corvane::files
