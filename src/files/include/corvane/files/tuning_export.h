#pragma once

// The composition's tuning for other instruments: its scale laid on the keyboard, degree 0 on
// the base key (the key nearest the frequency of the lowest note) and one key per degree up
// and down, so that key k plays degree k - base key. The arpeggio is not part of it.
//
// Four forms: a Scala scale with the keyboard mapping that lays it out so (.scl and .kbm, or
// the .kbm alone), an AnaMark tuning (.tun), and a MIDI Tuning Standard bulk dump of all 128
// keys (.syx). A scale that repeats at a period is written as it is; one that does not (a
// one-entry or an arithmetic scale) is written as the pitches of keys 1 to 127 above key 0,
// mapped from key 0.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/engine/composition.h"
#include "corvane/platform/midi_message.h"

namespace corvane::files {

enum class TuningFormat { scl, kbm, tun, syx };

// "scl", "kbm", "tun", "syx": the format names, also their files' extensions.
[[nodiscard]] std::string_view tuning_format_name(TuningFormat format);
[[nodiscard]] std::optional<TuningFormat> tuning_format_named(std::string_view name);
inline constexpr std::string_view kTuningFormatChoices = "scl, kbm, tun or syx";

// The file dialog's file types, in the order of TuningFormat.
inline constexpr std::array<std::string_view, 4> kTuningFileFilters{
    "Scala scale and keyboard mapping (*.scl)",
    "Scala keyboard mapping (*.kbm)",
    "AnaMark tuning (*.tun)",
    "MIDI tuning dump (*.syx)",
};

// The typed name with its extension replaced by the format's.
[[nodiscard]] std::filesystem::path tuning_file_name(const std::filesystem::path& typed, TuningFormat format);

// The name a tuning dump carries: the composition file's name without its folder and
// extension, or "Corvane" while it has none.
[[nodiscard]] std::string tuning_name(std::string_view composition_file);

// The key of degree 0: the one nearest the frequency of the lowest note, within 0..127.
[[nodiscard]] int base_key(const engine::Composition& composition);

// The unrounded MIDI pitch (69 is A 440) of each key.
using KeyPitches = std::array<double, platform::kMidiKeys>;
[[nodiscard]] KeyPitches key_pitches(const engine::Composition& composition);

// What an export did: an error in words (empty when every file was written), the files
// written, and for a dump how many keys lay beyond what the tuning standard can say and
// were held at its lowest or highest pitch.
struct TuningExportResult {
    std::string error;
    std::vector<std::filesystem::path> written;
    int held_keys = 0;

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Writes the tuning to `path` through the one safe save; the scl format writes the keyboard
// mapping beside it too, named as `path` with ".kbm". Each file goes to a temporary first and
// takes its place only once all were written in full, so a failed export replaces nothing.
// `name` goes into the files' comments and is the dump's name.
[[nodiscard]] TuningExportResult export_tuning(const std::filesystem::path& path, TuningFormat format,
                                               const engine::Composition& composition, std::string_view name);

}  // namespace corvane::files
