#pragma once

// The notes of the whole tune as the player would play them, computed without playing: the
// player renders on its own clock into a sender that only writes the notes down, so what a
// picture shows is what plays (the tune, degree mapping, channels, ranges and shifts).

#include <atomic>
#include <cstddef>
#include <vector>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"

namespace corvane::engine {

// A rendered note and how long it sounded (to its note-off, or the end of the render).
struct TuneNote {
    RenderedNote note;
    double length = 0;  // seconds
};

struct TuneNotes {
    std::vector<TuneNote> notes;  // in the order they sounded
    double end_secs = 0;          // the time the render reached
    bool capped = false;          // the tune has more notes than were computed
};

// One cycle of the tune (no cycling), at most `most_notes` notes and `longest_secs` of tune
// time; `cancel` stops it early, leaving what was computed so far.
[[nodiscard]] TuneNotes compute_tune_notes(const Composition& composition, const PlayerSettings& player_settings,
                                           const VoiceSettings& voice_settings, std::size_t most_notes,
                                           double longest_secs, const std::atomic<bool>& cancel);

}  // namespace corvane::engine
