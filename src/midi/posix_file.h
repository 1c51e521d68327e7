#pragma once

// Thin wrappers over POSIX file calls for the MIDI file writer and the hex dump. Every call
// returns 0 or the errno value of the failure, retrying interrupted calls.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace corvane::midi::detail {

int create_for_writing(const std::filesystem::path& path, int& fd);  // create or truncate, read-write
int open_for_update(const std::filesystem::path& path, int& fd);      // an existing file, read-write
int open_for_reading(const std::filesystem::path& path, int& fd);
int close_file(int& fd);
int file_size(int fd, std::uint64_t& size);
int current_position(int fd, std::uint64_t& position);
int seek_to(int fd, std::uint64_t position);
int write_all(int fd, std::span<const std::uint8_t> bytes);
// Reads exactly out.size() bytes at `position`; a file that ends first gives EIO.
int read_at(int fd, std::uint64_t position, std::span<std::uint8_t> out);
int truncate_at(int fd, std::uint64_t size);

// The system's text for an errno value, independent of the locale's thread state.
std::string system_error_text(int error);

}  // namespace corvane::midi::detail
