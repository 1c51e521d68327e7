#pragma once

// The fuzzers' inputs as text, as a reader of a file would see them.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace corvane::fuzz {

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace corvane::fuzz
