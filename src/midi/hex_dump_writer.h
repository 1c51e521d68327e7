#pragma once

// The hex dump itself, over bytes in memory, writing through a DumpOutput.

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "corvane/platform/file_save.h"

namespace corvane::midi::detail {

// Gathers the dump text and, when it has a file, passes it on in large pieces so that the
// memory used does not grow with the file.
class DumpOutput {
public:
    explicit DumpOutput(platform::FileSave* file = nullptr) : file_(file) {}
    std::string& text() { return text_; }
    void pass_on_if_large();
    // Writes what is left; false when any write failed.
    bool finish();
    int error() const { return error_; }

private:
    void pass_on();

    platform::FileSave* file_;
    std::string text_;
    int error_ = 0;
};

// Writes the dump of `file`; false when the abort flag stopped it.
bool write_hex_dump(std::span<const std::uint8_t> file, std::string_view shown_path,
                    std::optional<double> ticks_per_second, const std::atomic<bool>* abort, DumpOutput& out);

}  // namespace corvane::midi::detail
