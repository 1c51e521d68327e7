// Properties of what is saved, over generated compositions: every note ends once and no bend
// detunes it while it sounds, every format holds the same music, and live play sends what a
// save writes. A counterexample that RapidCheck shrinks becomes a plain test in
// midi_file_save_test.cpp.

#include <filesystem>

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include "composition_recipes.h"
#include "corvane/engine/player.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/manual_timer_service.h"
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
    RC_ASSERT(save_recipe(recipe, scratch_file(),
                          [format](engine::Composition&, SaveSetup& setup) { setup.save.midi_file_format = format; }));
    return read_smf(scratch_file());
}

RC_GTEST_PROP(RenderedMusic, EveryNoteEndsOnceAndNoBendDetunesASoundingNote, ()) {
    const Recipe recipe = *recipes();
    const NoteAudit audit = audit_notes(channel_events(saved(recipe, recipe.format)));
    if (!audit.faults.empty()) RC_FAIL(joined(audit.faults));
    RC_TAG(audit.notes.size() < 10 ? "under 10 notes" : audit.notes.size() < 100 ? "10-99 notes" : "100 notes or more");
}

RC_GTEST_PROP(RenderedMusic, EveryFormatHoldsTheSameEventsAtTheSameTicks, ()) {
    const Recipe recipe = *recipes();
    const auto format0 = event_multiset(saved(recipe, 0));
    RC_ASSERT(event_multiset(saved(recipe, 1)) == format0);
    RC_ASSERT(event_multiset(saved(recipe, 2)) == format0);
}

// Live play on a simulated clock: every message with the millisecond it was sent at.
struct LiveTake final : platform::MessageSender {
    explicit LiveTake(const platform::Clock& c) : clock(c) {}
    platform::SendResult send(const platform::SendRequest& r) noexcept override {
        events.push_back({static_cast<std::uint64_t>(clock.now_ms()), static_cast<std::uint8_t>(r.status & 0xF0),
                          r.channel, r.data1, r.data2, 0});
        return platform::SendResult::sent;
    }
    const platform::Clock& clock;
    std::vector<ChannelEvent> events;
};

// The messages that make the music: the set-up of bend ranges and expression, which live
// play sends to every channel at its start, is left out.
std::vector<std::tuple<std::uint64_t, int, int, int, int>> music_before(const std::vector<ChannelEvent>& events,
                                                                       std::uint64_t end) {
    std::vector<std::tuple<std::uint64_t, int, int, int, int>> out;
    for (const ChannelEvent& e : events) {
        const bool set_up = e.kind == 0xB0 && (e.data1 == 11 || e.data1 == 101 || e.data1 == 100 || e.data1 == 6 ||
                                               e.data1 == 38);
        if (e.tick < end && !set_up) out.emplace_back(e.tick, e.channel, is_note_off(e) ? 0x80 : e.kind, e.data1,
                                                      is_note_off(e) ? 0 : e.data2);
    }
    return out;
}

RC_GTEST_PROP(RenderedMusic, LivePlaySendsWhatASaveWrites, ()) {
    Recipe recipe = *recipes();
    const int step_ms = *rc::gen::inRange(20, 200);
    engine::Composition composition = composition_of(recipe);
    composition.Note_length = step_ms / 1000.0;
    SaveSetup setup = save_setup_of(recipe);
    setup.save.smf.midi_ticks_per_quarter_note = 500;  // a tick a millisecond
    setup.save.midi_file_format = 0;                   // one track: the order of sending
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    RC_ASSERT(midi::render_midi_file(scratch_file(), composition, setup.save, setup.player, setup.voices, reporter,
                                     abort)
                  .written);
    const auto end_ms = static_cast<std::uint64_t>(recipe.seconds) * 1000;
    const std::vector<ChannelEvent> saved_music_events = channel_events(read_smf(scratch_file()));

    constexpr std::int64_t kStart = 10000;
    constexpr std::int64_t kFirstEventDelay = 2;  // the first event waits uTimerRes
    platform::ManualClock clock{kStart};
    platform::ManualTimerService timers{clock};
    LiveTake take{clock};
    platform::NoKeysHeld keys;
    engine::Composition live_composition = composition;
    engine::ChannelVoices voices{live_composition, setup.voices, take, clock};
    engine::Player player{live_composition, setup.player, voices, timers, clock, keys};
    player.start();
    // Stopped a millisecond before the end: what both send before that moment is compared.
    timers.advance_to(kStart + kFirstEventDelay + static_cast<std::int64_t>(end_ms) - 1);
    player.stop();
    timers.advance_to(clock.now_ms() + 1000);
    RC_ASSERT(player.stopped());
    for (ChannelEvent& e : take.events) e.tick -= static_cast<std::uint64_t>(kStart + kFirstEventDelay);
    RC_ASSERT(music_before(take.events, end_ms - 1) == music_before(saved_music_events, end_ms - 1));
    const NoteAudit live = audit_notes(take.events, true);
    if (!live.faults.empty()) RC_FAIL("live: " + joined(live.faults));
}

}  // namespace
}  // namespace corvane::testing
