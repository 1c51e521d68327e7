#pragma once

// The one way Corvane saves a file. A regular file (or one not there yet) is written under a
// temporary name beside it and renamed over it only when the save is committed, so a save that
// fails part way (a full disk, a folder removed) leaves the earlier file as it was; the new file
// keeps the permissions of the one it replaces, and a link is followed so that the file it names
// is replaced and the link stays. A device or a pipe cannot be renamed over and is written in
// place. Every call returns 0 or the errno value of its failure.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace corvane::platform {

enum class SaveWay {
    replace,          // through a temporary, renamed into place on commit
    in_place_emptied,  // the target itself, emptied: a recording that grows as it plays
    in_place_kept,     // the target itself, as it is: a recording continued
};

class FileSave {
public:
    FileSave() = default;
    ~FileSave();  // a save neither committed nor abandoned is abandoned
    FileSave(const FileSave&) = delete;
    FileSave& operator=(const FileSave&) = delete;

    [[nodiscard]] int open(const std::filesystem::path& target, SaveWay way = SaveWay::replace);
    [[nodiscard]] bool is_open() const { return fd_ >= 0; }
    // Read-write, positioned at the start; for the writers that seek back and read what they wrote.
    [[nodiscard]] int descriptor() const { return fd_; }

    [[nodiscard]] int write(std::span<const std::uint8_t> bytes);
    [[nodiscard]] int write(std::string_view text);

    // Ends the save: the temporary gets the old file's permissions, reaches the device and takes
    // the target's place; a file written in place is closed. The temporary is removed when any
    // step fails, leaving the target as it was.
    [[nodiscard]] int commit();
    // Ends the save leaving the target as it was (a file written in place keeps what it got).
    void abandon();

private:
    void close_quietly();

    int fd_ = -1;
    std::filesystem::path target_;
    std::filesystem::path temporary_;  // empty when writing in place
};

// Opens a file to read without waiting for a writer when it is a pipe; -1 and errno on failure.
[[nodiscard]] int open_for_reading(const std::filesystem::path& path);

// The system's text for an errno value, the same under every locale's thread state.
[[nodiscard]] std::string system_error_text(int error);

}  // namespace corvane::platform
