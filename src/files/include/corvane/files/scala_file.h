#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "corvane/files/save_buffer.h"
#include "corvane/files/settings.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "corvane/tuning/scala.h"

namespace corvane::files {

// The title a scale read from a Scala file takes: the reading's note ("~" for a period
// other than the octave, shown only with scala_show_if_last_note_is_other_than_octave;
// the note-count mismatch always), then, with scala_show_original_filename, the file name
// and " | ", then the file's description.
std::string scala_scale_title(const tuning::ScalaReading& reading, std::string_view file_name, const Settings& s);

// Whether a scale (increment form) starts at 1/1, so that write_scl writes it as it is.
bool starts_at_unison(std::span<const double> scale);

// A scale (increment form, entries 0..n) as a Scala file. A scale starting at 1/1 is
// written from its second entry; one that does not is taken as a cycle of steps and
// written as 100 pitches, each the previous plus the next entry in turn.
void write_scl(SaveBuffer& out, std::string_view file_name, std::string_view title, std::span<const double> scale);

// One pitch (a ratio) as a Scala file line holds it: a ratio p/q when one is exact to
// 1e-12, otherwise cents with a decimal point, so that Scala readers take it as cents.
std::string scala_pitch_text(double ratio);

inline constexpr int kCycledScalaPitches = 100;

// A Scala keyboard mapping (.kbm) read from its file. The error names the file: one that
// cannot be read with the system's reason, one that is no mapping with the reader's line.
[[nodiscard]] std::variant<tuning::KeyboardMapping, tuning::KeyboardMappingError> read_keyboard_mapping_file(
    const std::filesystem::path& path);

}  // namespace corvane::files
