#pragma once

// Thin wrappers over the POSIX calls the MIDI file writer and the hex dump make on a file
// already open (see platform::FileSave for opening and finishing a save). Every call returns 0
// or the errno value of the failure, retrying interrupted calls.

#include <cstdint>
#include <span>

namespace corvane::midi::detail {

int close_file(int& fd);
int file_size(int fd, std::uint64_t& size);
int current_position(int fd, std::uint64_t& position);
int seek_to(int fd, std::uint64_t position);
// Reads exactly out.size() bytes at `position`; a file that ends first gives EIO.
int read_at(int fd, std::uint64_t position, std::span<std::uint8_t> out);
int truncate_at(int fd, std::uint64_t size);

}  // namespace corvane::midi::detail
