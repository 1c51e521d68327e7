#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "corvane/platform/reporter.h"

namespace corvane::files {

inline constexpr std::size_t kNoCapacity = static_cast<std::size_t>(-1);

// The most a file read without a capacity may hold: far more than any text file the program
// reads, so that a huge or endless file is refused, as an allocation that fails, rather than
// taken into memory.
inline constexpr std::size_t kLargestWholeFile = std::size_t{64} << 20;

// The text of a file, or the errno value of the failure (EFBIG for a file above
// kLargestWholeFile).
struct WholeFileRead {
    std::optional<std::string> text;
    int error = 0;
};

// Reads a file whole. With a capacity, at most capacity - 2 bytes are read (the fixed buffer
// of the caller keeps room for a terminating NUL), however large the file. Opening never
// waits on a pipe that has no writer.
WholeFileRead read_whole_file_or_error(const std::filesystem::path& path, std::size_t capacity = kNoCapacity);

// The same, with nothing when the file cannot be opened or read.
std::optional<std::string> read_whole_file(const std::filesystem::path& path, std::size_t capacity = kNoCapacity);

// Replaces the content of `path` by `text` through platform::FileSave, so an earlier file
// survives a save that cannot be completed. Returns true only if every byte was written.
// Failures are reported: a full device with the incomplete-save message, anything else with
// the system's text under the caption "Error saving to <path>".
bool write_whole_file(const std::filesystem::path& path, std::string_view text, platform::Reporter& reporter);

inline constexpr std::string_view kErrorWritingCaption = "Error writing to this file";
std::string incomplete_save_message(std::string_view path);
// "Error saving to " and the path, at most 260 characters in all.
std::string error_saving_caption(std::string_view path);

}  // namespace corvane::files
