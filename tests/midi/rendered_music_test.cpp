// Properties of what is saved, over generated compositions: what a listener hears from the
// file must be as right as the tune. A counterexample that RapidCheck shrinks becomes a
// plain test in every_note_test.cpp.

#include <filesystem>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "composition_recipes.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/reporter.h"
#include "midi_test_support.h"
#include "music_audit.h"

namespace corvane::testing {
namespace {

std::filesystem::path scratch_file() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("corvane-properties-" + std::to_string(::getpid()) + ".mid");
    return path;
}

// Saves the recipe's composition in `format` and reads the file back.
SmfFile saved(const Recipe& recipe, int format) {
    const engine::Composition composition = composition_of(recipe);
    SaveSetup setup = save_setup_of(recipe);
    setup.save.midi_file_format = format;
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    const midi::SaveResult result = midi::render_midi_file(scratch_file(), composition, setup.save, setup.player,
                                                           setup.voices, reporter, abort);
    RC_ASSERT(result.written);
    return read_smf(scratch_file());
}

double ticks_per_second(const SmfFile& file) { return file.division * 2.0; }  // at the default tempo

// The step of the tune that starts at `tick`, if any does.
std::optional<long long> step_at_tick(const engine::Composition& c, double tps, std::uint64_t tick) {
    const double step_ticks = c.Note_length * tps;
    const auto guess = static_cast<long long>(static_cast<double>(tick) / step_ticks);
    for (long long s = std::max(guess - 1, 0LL); s <= guess + 1; ++s) {
        if (midi::file_tick(static_cast<double>(s) * c.Note_length, tps) == tick) return s;
    }
    return std::nullopt;
}

RC_GTEST_PROP(RenderedMusic, EveryNoteEndsOnceAndNoBendDetunesASoundingNote, ()) {
    const Recipe recipe = *recipes();
    const NoteAudit audit = audit_notes(channel_events(saved(recipe, recipe.format)));
    if (!audit.faults.empty()) RC_FAIL(joined(audit.faults));
}

RC_GTEST_PROP(RenderedMusic, EachNoteSoundsAtThePitchTheTuneGivesIt, ()) {
    const Recipe recipe = *recipes();
    const engine::Composition c = composition_of(recipe);
    const SmfFile file = saved(recipe, 0);
    const NoteAudit audit = audit_notes(channel_events(file));
    for (const HeardNote& note : audit.notes) {
        if (note.channel == 9) continue;  // percussion: a fixed key, no pitch
        const auto step = step_at_tick(c, ticks_per_second(file), note.on);
        RC_ASSERT(step.has_value());
        const int value = tune_value_at_step(c, *step);
        bool found = false;
        for (const int voice : c.channels_in_play().list()) {
            const int program = c.Voices_for_channels[static_cast<std::size_t>(voice)];
            if (program < 0 || program > 127) continue;
            for (const int units : expected_pitch_units(c, value, voice)) found = found || units == note.pitch_units();
        }
        if (!found) {
            RC_FAIL("key " + std::to_string(note.key) + " bend " + std::to_string(note.bend) + " on channel " +
                    std::to_string(note.channel) + " at tick " + std::to_string(note.on) + " (step " +
                    std::to_string(*step) + ", value " + std::to_string(value) + ") is no pitch of the tune");
        }
    }
}

RC_GTEST_PROP(RenderedMusic, SimultaneousLevelsLastTheirLevelsLength, ()) {
    Recipe recipe = *recipes();
    recipe.rule = 5;
    RC_PRE(recipe.seed.size() >= 2);
    const engine::Composition c = composition_of(recipe);
    const SmfFile file = saved(recipe, 0);
    const double tps = ticks_per_second(file);
    const auto end_tick = midi::file_tick(recipe.seconds, tps);
    const int in_play = c.channels_in_play().count;
    const auto n = static_cast<long long>(c.Note_heights.size());
    std::map<long long, std::multiset<long long>> lengths_by_start;
    for (const HeardNote& note : audit_notes(channel_events(file)).notes) {
        const auto start = step_at_tick(c, tps, note.on);
        RC_ASSERT(start.has_value());
        if (note.off == end_tick) continue;  // cut by the end of the file
        const auto end = step_at_tick(c, tps, note.off);
        RC_ASSERT(end.has_value());
        lengths_by_start[*start].insert(*end - *start);
    }
    for (const auto& [start, lengths] : lengths_by_start) {
        const int top = std::min(changed_level_at_step(c, start), in_play - 1);
        std::multiset<long long> allowed;
        long long level_length = 1;
        for (int level = 0; level <= top; ++level, level_length *= n) allowed.insert(level_length);
        for (const long long length : lengths) {
            const auto it = allowed.find(length);
            if (it == allowed.end()) {
                RC_FAIL("a note of step " + std::to_string(start) + " lasts " + std::to_string(length) +
                        " steps; its levels 0.." + std::to_string(top) + " last 1, n, n^2... steps");
            }
            allowed.erase(it);
        }
    }
}

RC_GTEST_PROP(RenderedMusic, EveryFormatHoldsTheSameEventsAtTheSameTicks, ()) {
    const Recipe recipe = *recipes();
    const auto format0 = event_multiset(saved(recipe, 0));
    RC_ASSERT(event_multiset(saved(recipe, 1)) == format0);
    RC_ASSERT(event_multiset(saved(recipe, 2)) == format0);
}

}  // namespace
}  // namespace corvane::testing
