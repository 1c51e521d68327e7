#pragma once

// Byte lists shared by the MIDI tests, and their temporary folders.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

#include "../temp_folder.h"

namespace corvane::testing {

using Bytes = std::vector<std::uint8_t>;

// Joins byte lists: cat({0x4D, 0x54}, other, ...).
inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

}  // namespace corvane::testing
