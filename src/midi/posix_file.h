#pragma once

// Thin wrappers over POSIX file calls for the MIDI file writer and the hex dump. Every call
// returns 0 or the errno value of the failure, retrying interrupted calls.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace corvane::midi::detail {

int create_for_writing(const std::filesystem::path& path, int& fd);  // create or truncate, read-write
// Creates a new file beside `target`, under a name no one else uses, to be renamed over it.
int create_temporary_beside(const std::filesystem::path& target, std::filesystem::path& temporary, int& fd);
// Flushes the finished temporary to the device, gives it the permissions of the file it
// replaces, and renames it over that file.
int replace_with(const std::filesystem::path& temporary, int fd, const std::filesystem::path& target);
int remove_file(const std::filesystem::path& path);
// Whether a save may go through a temporary: a regular file or one not there yet, not a
// device, a pipe or a link.
bool replaceable_by_rename(const std::filesystem::path& path);
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
