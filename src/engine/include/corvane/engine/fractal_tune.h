#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "corvane/platform/clock.h"

namespace corvane::engine {

inline constexpr int MaxTuneNotes = 10240;
// Making the array gives up after this long; the clock is read once every so many notes.
inline constexpr std::int64_t kTuneBuildLimitMs = 1000;
inline constexpr int kNotesBetweenClockReadings = 100;

// The tune laid out note by note for the tune line of the main window, lowest value 0.
// The player works from the LevelCounter instead and never needs it complete.
struct FractalTune {
    std::array<int, MaxTuneNotes> values{};
    int count = 1;                 // at least 1
    bool tune_full = false;        // the tune had more notes than the array holds
    bool tune_truncated = false;   // the same moment, as shown to the user
    bool tune_timed_out = false;   // making the array took longer than the limit

    std::span<const int> notes() const { return std::span<const int>(values).first(static_cast<std::size_t>(count)); }
};

// Lays the tune of `seed` over levels 0..`levels` (at most 29) into `tune`, seed order
// with the top level slowest, then shifts it so that its lowest value is 0.
void build_fractal_tune(FractalTune& tune, std::span<const int> seed, int levels, const platform::Clock& clock);

// The tune line of the main window: "Fractal tune:" and the values that lead up to
// `current_note` + `look_ahead`, each followed by a blank, as many as the 70-character
// line holds; indices run modulo the count.
inline constexpr std::size_t kTuneLineWidth = 70;
std::string tune_line_text(const FractalTune& tune, std::int64_t current_note, int look_ahead);

}  // namespace corvane::engine
