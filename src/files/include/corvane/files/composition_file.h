#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/files/colours.h"
#include "corvane/files/save_buffer.h"

namespace corvane::files {

// What a read brought besides the values it stored in the record. The caller (the main
// window, or the open flow) acts on it: applying voices, refreshing, loading a modes list.
struct CompositionReading {
    bool colours_read = false;
    bool voices_read = false;        // "Voices_for_channels": the channel voices are to be applied
    bool scale_title_read = false;
    bool arpeggio_title_read = false;
    // An older file whose arpeggio key predates separate scales: the scale was set to
    // twelve-tone equal temperament.
    bool scale_set_to_twelve_tone = false;
    // The modes of the built-in scale whose title was read (":12", ":" or a modes file),
    // empty when the title is not that of a built-in scale.
    std::string builtin_scale_modes;
    bool list_of_modes_named = false;     // "ListOfModesFile="
    std::string list_of_modes_directory;  // "ListOfModesDirectory=", when given
    // A "dVibrato_amp" line with no number on it ends the reading there.
    bool ended_early = false;
    std::size_t end_position = 0;  // where reading stopped
};

// Appends the composition items in file order, numbers under the full-precision pitch
// format. Items that do not fit in the buffer are left out.
void write_composition(SaveBuffer& out, const engine::Composition& c);

// Reads composition items from `position` to the end of the text (a "Colours" key hands
// the rest to the Colours reader). Unknown tokens are skipped; missing keys leave their
// fields as they were; values that do not read leave the field unchanged.
CompositionReading read_composition(std::string_view text, std::size_t position, engine::Composition& c,
                                    Colours& colours);
inline CompositionReading read_composition(std::string_view text, engine::Composition& c, Colours& colours) {
    return read_composition(text, 0, c, colours);
}

// Opening a composition file first puts the channel-choice set-up (rule, formula and its
// options) back to that of a new composition; the rest of the record keeps its values.
void reset_channel_choice(engine::Composition& c);

// The scale an arpeggio key of an older file brings with it: twelve-tone equal temperament.
inline constexpr std::string_view kOlderFilesScaleText = "1 n(1/12)";

}  // namespace corvane::files
