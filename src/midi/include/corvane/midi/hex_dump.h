#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "corvane/platform/reporter.h"

namespace corvane::midi {

// The annotated hex dump of a MIDI file, in the text form of the freeware hex editor b2hedit:
// ":" lines hold bytes as lowercase hex, ";" starts a comment that runs to the end of the
// line. Every group of bytes (a header field, a delta time with its event) is followed on the
// same line by a comment saying what it is. Lines end in "\n".
//
// Timing of the " ...time %g delta time %g" comments (seconds): with `ticks_per_second` given
// (the rate the file was written at), ticks / that rate. Without it (files from elsewhere),
// 2 x division ticks per second (120 quarter notes a minute, as this system writes format 0
// files) until a tempo event says otherwise; tempo events of a format 1 file apply to all of
// its tracks, those of a format 0 or 2 track to that track. SMPTE divisions give frames x
// ticks per frame.
//
// Malformed files are dumped as far as their bytes go: unrecognised chunk ids are commented
// and their bodies shown as data, a chunk length beyond the file is clamped and commented, an
// event cut off by the end of its track is shown and commented; nothing past the file is read.

enum class HexDumpStatus {
    written,
    no_memory,     // the MIDI file did not fit in memory (reported)
    read_failed,   // the MIDI file could not be read (reported)
    output_failed, // the dump file could not be created or written (not reported)
    interrupted,   // the abort flag was set; the dump holds what was done
};

struct HexDumpResult {
    HexDumpStatus status = HexDumpStatus::written;
    std::filesystem::path output;
    int error = 0;  // errno of an output failure
};

// "<path>.hex" beside the MIDI file; a path of 256 characters or more gives instead
// "midi hex dump for file" in the current folder.
std::filesystem::path hex_dump_path(const std::filesystem::path& midi_path);

// hex_dump_midi_file: reads the whole file and writes its dump beside it. Read failures are
// reported with the caption "Error reading from " + path.
HexDumpResult hex_dump_midi_file(const std::filesystem::path& midi_path, platform::Reporter& reporter,
                                 const std::atomic<bool>& abort,
                                 std::optional<double> ticks_per_second = std::nullopt);
// The same, to a dump file of the caller's choosing.
HexDumpResult hex_dump_midi_file_to(const std::filesystem::path& midi_path, const std::filesystem::path& output,
                                    platform::Reporter& reporter, const std::atomic<bool>& abort,
                                    std::optional<double> ticks_per_second = std::nullopt);

// The dump of a file already in memory; the banner names `shown_path`.
std::string hex_dump_text(std::span<const std::uint8_t> file, std::string_view shown_path,
                          std::optional<double> ticks_per_second = std::nullopt);

}  // namespace corvane::midi
