// Properties of what is saved, over generated compositions: every note ends once and no bend
// detunes it while it sounds, each note sounds at a pitch of the tune, every format holds the
// same music, and live play sends what a save writes. A counterexample that RapidCheck
// shrinks becomes a plain test in midi_file_save_test.cpp.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/degree_mapping.h"
#include "corvane/engine/player.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/pitch_list.h"
#include "corvane/tuning/pitch_mapping.h"
#include "corvane/tuning/step_list.h"
#include "corvane/tuning/temperament.h"
#include "music_audit.h"

namespace corvane::testing {
namespace {

// A composition and how to save it, as plain values that RapidCheck generates and shrinks.
struct Recipe {
    std::vector<int> seed{0, 1};
    int levels = 1;
    std::string scale = "1 n(1/12)";  // ratio form, or "eN" for N-tone equal temperament
    std::string arpeggio = "0 2 4 7 9 12";  // "Use_ratios" follows the scale
    double frequency = 261.6255653005986;
    int channels_in_play = 1;
    std::vector<int> voices = std::vector<int>(16, 73);
    int rule = 4;
    std::string formula = "N+H+1";
    bool sym_chs = false;
    bool multiple_notes = true;
    int first_channel = 0;
    double sustain = 1;
    std::vector<int> lowest = std::vector<int>(16, 0);
    std::vector<int> highest = std::vector<int>(16, 127);
    std::vector<int> actions = std::vector<int>(16, 2);
    int shift_mode = 0;
    std::vector<int> shifts = std::vector<int>(16, 0);
    bool cycle = true;
    int note_length_128ths = 16;  // Note_length in 1/128 s: exact in binary, so step times add up exactly
    int format = 0;
    int seconds = 2;
    engine::TuningOutput tuning_output = engine::TuningOutput::bend;
    int mpe_members = 15;

    double note_length() const { return note_length_128ths / 128.0; }
};

std::ostream& operator<<(std::ostream& os, const std::vector<int>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) os << (i ? " " : "") << values[i];
    return os;
}

std::ostream& operator<<(std::ostream& os, const Recipe& r) {
    return os << "seed \"" << r.seed << "\" levels " << r.levels << " scale \"" << r.scale << "\" arpeggio \""
              << r.arpeggio << "\" frequency " << r.frequency << " channels " << r.channels_in_play << " voices \""
              << r.voices << "\" rule " << r.rule << " formula \"" << r.formula << "\" sym_chs " << r.sym_chs
              << " multiple " << r.multiple_notes << " first " << r.first_channel << " sustain " << r.sustain
              << " lowest \"" << r.lowest << "\" highest \"" << r.highest << "\" actions \"" << r.actions
              << "\" shift_mode " << r.shift_mode << " shifts \"" << r.shifts << "\" cycle " << r.cycle
              << " note_length " << r.note_length_128ths << "/128 format " << r.format << " seconds " << r.seconds
              << " tuning_output " << engine::tuning_output_word(r.tuning_output) << " mpe_members " << r.mpe_members;
}

engine::Composition composition_of(const Recipe& r) {
    engine::Composition c;
    engine::set_seed(c, r.seed);
    c.Levels = r.levels;
    if (r.scale.size() > 1 && r.scale[0] == 'e') {
        engine::set_intervals(c, tuning::make_equal_temperament(std::stoi(r.scale.substr(1))).entries);
    } else {
        engine::set_intervals(c, tuning::read_pitch_list(r.scale, tuning::PitchForm::ratio,
                                                         tuning::ListNotation::absolute, r.frequency)
                                     .entries);
    }
    c.Use_ratios = tuning::is_follow_scale_text(r.arpeggio);
    if (!c.Use_ratios) c.Arpeggio = tuning::read_step_list(r.arpeggio, tuning::ListNotation::absolute);
    c.Frequency_of_lowest_note = r.frequency;
    for (std::size_t i = 0; i < 16; ++i) {
        c.Voices_for_channels[i] = r.voices[i];
        c.Min_notes_for_channels[i] = r.lowest[i];
        c.Max_notes_for_channels[i] = r.highest[i];
        c.iActionIfOutOfRange[i] = r.actions[i];
        c.Octave_shifts_for_channels[i] = r.shifts[i];
    }
    c.Channels_in_Play = r.channels_in_play;
    engine::select_channel_rule(c, r.rule);
    if (r.rule == 2) {
        engine::set_formula(c, r.formula);
        c.ccbo_sym_chs = r.sym_chs;
        c.ccbo_multiple_notes_in_same_channel = r.multiple_notes;
        c.ccbo_first_channel = r.first_channel;
    }
    c.Sustain = r.sustain;
    c.shift_by_octave_or_arpeggio = r.shift_mode;
    c.Note_length = r.note_length();
    return c;
}

struct SaveSetup {
    engine::PlayerSettings player;
    engine::VoiceSettings voices;
    midi::MidiSaveSettings save;
};

SaveSetup save_setup_of(const Recipe& r) {
    SaveSetup s;
    s.player.cycle_melody = r.cycle;
    s.voices.midi_fade_secs = 0;
    s.voices.tuning_output = r.tuning_output;
    s.voices.mpe_member_channels = r.mpe_members;
    s.save.midi_file_play_mins = 0;
    s.save.midi_file_play_secs = r.seconds;
    s.save.midi_file_format = r.format;
    s.save.mf_auto_generate_key_signatures = false;
    return s;
}

// ---- generators -------------------------------------------------------------------------

rc::Gen<int> voice_program() {
    return rc::gen::weightedOneOf<int>({{12, rc::gen::inRange(0, 128)},
                                        {2, rc::gen::just(128)},                     // rests
                                        {2, rc::gen::just(-1)},                      // not in play
                                        {1, rc::gen::inRange(128 + 35, 128 + 82)}});  // percussion
}

rc::Gen<std::string> scale_text() {
    return rc::gen::oneOf(
        rc::gen::just(std::string("1 n(1/12)")), rc::gen::just(std::string("1 9/8 5/4 4/3 3/2 5/3 15/8 2")),
        rc::gen::just(std::string("1 n(1/19)")), rc::gen::just(std::string("1 63.1579 cents")),
        rc::gen::map(rc::gen::inRange(5, 44), [](int n) { return "e" + std::to_string(n); }),
        rc::gen::map(rc::gen::container<std::vector<int>>(rc::gen::inRange(1, 400)),
                     [](const std::vector<int>& steps) {  // cents, rising; the last is the period
                         std::string text = "1";
                         int cents = 0;
                         for (int s : steps) text += " " + std::to_string(cents += s) + ".5 cents";
                         return text;
                     }));
}

rc::Gen<std::string> arpeggio_text() {
    const auto rising = [](const std::vector<int>& steps) {
        std::string text = "0";
        int degree = 0;
        for (int s : steps) text += " " + std::to_string(degree += s);
        return text;
    };
    const auto part = rc::gen::map(rc::gen::resize(12, rc::gen::container<std::vector<int>>(rc::gen::inRange(1, 5))),
                                   rising);
    return rc::gen::oneOf(rc::gen::just(std::string("Use_ratios")), part,
                          rc::gen::map(rc::gen::pair(part, part),
                                       [](const auto& p) { return p.first + " | " + p.second; }));
}

// Every composition is drawn from the whole of each range (RapidCheck would otherwise start
// with small values); shrinking still makes a counterexample as small as it can.
rc::Gen<Recipe> recipes() {
    return rc::gen::resize(100, rc::gen::exec([] {
        Recipe r;
        r.seed = *rc::gen::container<std::vector<int>>(static_cast<std::size_t>(*rc::gen::inRange(1, 6)),
                                                       rc::gen::inRange(-4, 7));
        r.levels = *rc::gen::inRange(0, 5);
        r.scale = *scale_text();
        r.arpeggio = *arpeggio_text();
        r.frequency = *rc::gen::element(261.6255653005986, 55.0, 440.0, 1000.0, 3000.0, 20.0, 270.0);
        r.channels_in_play = *rc::gen::inRange(1, 17);
        r.voices = *rc::gen::container<std::vector<int>>(16, voice_program());
        r.rule = *rc::gen::inRange(0, 6);
        r.formula = *rc::gen::element<std::string>("N+H+1", "2*L", "L", "H", "C+H", "T", "L+1", "N", "L*L+P");
        r.sym_chs = *rc::gen::arbitrary<bool>();
        r.multiple_notes = *rc::gen::arbitrary<bool>();
        r.first_channel = *rc::gen::inRange(0, 4);
        r.sustain = *rc::gen::inRange(0, 81) / 4.0;
        const bool ranges = *rc::gen::arbitrary<bool>();
        if (ranges) {
            r.lowest = *rc::gen::container<std::vector<int>>(16, rc::gen::inRange(0, 90));
            r.highest = r.lowest;
            for (int& h : r.highest) h = *rc::gen::inRange(h, 128);
            r.actions = *rc::gen::container<std::vector<int>>(16, rc::gen::inRange(0, 5));
        }
        r.shift_mode = *rc::gen::inRange(0, 5);
        if (*rc::gen::arbitrary<bool>()) r.shifts = *rc::gen::container<std::vector<int>>(16, rc::gen::inRange(-2, 3));
        r.cycle = *rc::gen::weightedElement<bool>({{5, true}, {1, false}});
        r.note_length_128ths = *rc::gen::inRange(3, 17);
        r.format = *rc::gen::inRange(0, 3);
        r.seconds = *rc::gen::inRange(2, 5);
        r.tuning_output = *rc::gen::element(engine::TuningOutput::bend, engine::TuningOutput::mts,
                                            engine::TuningOutput::mpe);
        r.mpe_members = *rc::gen::weightedElement<int>({{3, 15}, {1, 1}, {1, 4}, {1, 9}});
        return r;
    }));
}

// ---- what the tune says ------------------------------------------------------------------

// The tune value of step s (counted from the start, across cycles).
int tune_value_at_step(const engine::Composition& c, long long step) {
    const auto n = static_cast<long long>(c.Note_heights.size());
    int value = 0;
    long long rest = step;
    for (int level = 0; level <= c.Levels; ++level) {
        value += c.Note_heights[static_cast<std::size_t>(rest % n)];
        rest /= n;
    }
    return value;
}

// A range action, as the ranges dialog describes them: octaves down (or up) until the note
// fits, twice as many for Rebound, wrapped for Wrap around; a narrow range moves once.
int ranged_note(int note, int lo, int hi, int action) {
    const bool narrow = hi - lo < 25;
    int used = -1;
    for (int round = 0; round < 100; ++round) {
        if (note >= lo && note <= hi) break;
        if (round > 0 && narrow) break;
        if (action == 0) return 128;
        const bool above = note > hi;
        int k = (above ? note - hi - 1 : lo - note - 1) / 12 + 1;
        if (used >= 0 && used <= k) --k;
        used = k;
        const int octaves = (action == 1 || narrow) ? k : action == 2 ? 2 * k : action == 4 ? 2 * k - 1 : 0;
        if (action == 3) {
            if (above) {
                int base = (hi - lo + 1) % 12 + lo;
                const int span = std::max(hi - base + 1, 12);
                if (hi <= base) base = hi - 12;
                note = ((note - base) % span + span) % span + base;
            } else {
                int top = hi - (hi - lo + 1) % 12;
                const int span = std::max(top - lo + 1, 12);
                if (top <= lo) top = lo + 12;
                note = top - ((top - note) % span + span) % span;
            }
        } else {
            note += above ? -12 * octaves : 12 * octaves;
        }
    }
    return note >= 0 && note <= 127 ? note : 128;
}

// The pitches, in 1/4096 semitone, at which tune value `value` may sound on `voice`: through
// either form of the arpeggio, the voice's range, then its shift. Empty when it is silent.
std::vector<int> expected_pitch_units(const engine::Composition& c, int value, int voice) {
    std::vector<long> degrees;
    if (c.Use_ratios) {
        degrees.push_back(value);
    } else {
        const auto up = c.Arpeggio.ascending();
        degrees.push_back(tuning::to_degree(tuning::wrap_step(value, static_cast<int>(up.size()) - 1, up)));
        if (c.Arpeggio.has_descending_part()) {
            const auto down = c.Arpeggio.descending();
            degrees.push_back(tuning::to_degree(tuning::wrap_step(value, static_cast<int>(down.size()) - 1, down)));
        }
    }
    std::vector<int> units;
    const auto v = static_cast<std::size_t>(voice);
    for (long degree : degrees) {
        const double frequency = c.Frequency_of_lowest_note * tuning::degree_ratio(c.Intervals, degree);
        const double pitch = std::clamp(12 * std::log2(std::max(frequency / 440.0, 1e-50)) + 69, -1e6, 1e6);
        const int note = static_cast<int>(std::trunc(pitch + 0.5));
        const int bend = static_cast<int>(std::trunc((pitch - note) * 4096 + 8192));
        const int ranged = ranged_note(note, c.Min_notes_for_channels[v], c.Max_notes_for_channels[v],
                                       c.iActionIfOutOfRange[v]);
        if (ranged == 128) continue;
        const tuning::NoteAndBend shifted = engine::channel_shift({ranged, bend}, voice, c);
        units.push_back(shifted.note * 4096 + shifted.bend - 8192);
    }
    return units;
}

// The step of the tune that starts at `tick`, if any does.
std::optional<long long> step_at_tick(const engine::Composition& c, double ticks_per_second, std::uint64_t tick) {
    const double step_ticks = c.Note_length * ticks_per_second;
    const auto guess = static_cast<long long>(static_cast<double>(tick) / step_ticks);
    for (long long s = std::max(guess - 1, 0LL); s <= guess + 1; ++s) {
        if (midi::file_tick(static_cast<double>(s) * c.Note_length, ticks_per_second) == tick) return s;
    }
    return std::nullopt;
}

std::filesystem::path scratch_file() {
    static const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("corvane-properties-" + std::to_string(::getpid()) + ".mid");
    return path;
}

// Saves `composition` as `setup` says and reads the file back.
SmfFile saved(const engine::Composition& composition, const SaveSetup& setup) {
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    RC_ASSERT(midi::render_midi_file(scratch_file(), composition, setup.save, setup.player, setup.voices, reporter,
                                     abort)
                  .written);
    return read_smf(scratch_file());
}

// Saves the recipe's composition in `format` and reads the file back.
SmfFile saved(const Recipe& recipe, int format) {
    SaveSetup setup = save_setup_of(recipe);
    setup.save.midi_file_format = format;
    return saved(composition_of(recipe), setup);
}

// With the tuning standard a voice keeps its channel and no bend is sent; with MPE the zone is
// declared before anything else and a member channel sounds one note at a time.
std::vector<std::string> tuning_output_faults(const Recipe& recipe, const std::vector<ChannelEvent>& events,
                                              const NoteAudit& audit) {
    std::vector<std::string> faults;
    const engine::Composition c = composition_of(recipe);
    const engine::ChannelsInPlay playing = c.channels_in_play();
    const auto in_play = playing.list();
    if (recipe.tuning_output == engine::TuningOutput::mts) {
        for (const ChannelEvent& e : events) {
            if (e.kind == 0xE0) faults.push_back("a bend on channel " + std::to_string(e.channel));
        }
        for (const HeardNote& n : audit.notes) {
            if (n.channel != 9 && std::find(in_play.begin(), in_play.end(), n.channel) == in_play.end()) {
                faults.push_back("a note on spare channel " + std::to_string(n.channel));
            }
        }
    }
    if (recipe.tuning_output == engine::TuningOutput::mpe) {
        const bool declared = events.size() >= 3 && events[0].kind == 0xB0 && events[0].channel == 0 &&
                              events[0].data1 == 101 && events[0].data2 == 0 && events[1].data1 == 100 &&
                              events[1].data2 == 6 && events[2].data1 == 6 && events[2].data2 == recipe.mpe_members;
        if (!declared) faults.push_back("the MPE zone is not declared first");
        for (std::size_t i = 0; i < audit.notes.size(); ++i) {
            const HeardNote& a = audit.notes[i];
            for (std::size_t j = i + 1; j < audit.notes.size() && audit.notes[j].on < a.off; ++j) {
                const HeardNote& b = audit.notes[j];
                if (a.channel == b.channel && a.channel != 9) {
                    faults.push_back("two notes at once on member channel " + std::to_string(a.channel));
                }
            }
        }
    }
    return faults;
}

RC_GTEST_PROP(RenderedMusic, EveryNoteEndsOnceAndNothingDetunesASoundingNote, ()) {
    const Recipe recipe = *recipes();
    const std::vector<ChannelEvent> events = channel_events(saved(recipe, recipe.format));
    const NoteAudit audit = audit_notes(events);
    if (!audit.faults.empty()) RC_FAIL(joined(audit.faults));
    const auto faults = tuning_output_faults(recipe, events, audit);
    if (!faults.empty()) RC_FAIL(joined(faults));
    RC_TAG(engine::tuning_output_word(recipe.tuning_output));
    RC_TAG(audit.notes.size() < 10 ? "under 10 notes" : audit.notes.size() < 100 ? "10-99 notes" : "100 notes or more");
}

// The tuning standard writes pitches from MIDI note 0 to just under 128; one beyond sounds at
// that edge.
double heard_as(double pitch, engine::TuningOutput output) {
    return output == engine::TuningOutput::mts ? std::clamp(pitch, 0.0, 127 + 16382.0 / 16384) : pitch;
}

// How near the heard pitch comes to the tune's, in semitones: bends carry the pitch in 1/4096
// semitone exactly as the tune splits it; the tuning standard holds the unrounded pitch to
// 1/16384; an MPE member's bend steps are 48/8192 of a semitone.
double pitch_tolerance(engine::TuningOutput output) {
    switch (output) {
        case engine::TuningOutput::bend: return 1e-9;
        case engine::TuningOutput::mts: return 1.5 / 4096;
        case engine::TuningOutput::mpe: return 1.0 / 4096 + 24.0 / 8192;
    }
    return 0;
}

RC_GTEST_PROP(RenderedMusic, EachNoteSoundsAtThePitchTheTuneGivesIt, ()) {
    const Recipe recipe = *recipes();
    const engine::Composition c = composition_of(recipe);
    const SmfFile file = saved(recipe, 0);
    const double ticks_per_second = file.division * 2.0;  // at the default tempo
    for (const HeardNote& note : audit_notes(channel_events(file)).notes) {
        if (note.channel == 9) continue;  // percussion: a fixed key, no pitch
        const auto step = step_at_tick(c, ticks_per_second, note.on);
        RC_ASSERT(step.has_value());
        const int value = tune_value_at_step(c, *step);
        bool found = false;
        const engine::ChannelsInPlay playing = c.channels_in_play();
        for (const int voice : playing.list()) {
            const int program = c.Voices_for_channels[static_cast<std::size_t>(voice)];
            if (program < 0 || program > 127) continue;
            for (const int units : expected_pitch_units(c, value, voice)) {
                found = found || std::fabs(heard_as(units / 4096.0, recipe.tuning_output) - note.pitch) <=
                                     pitch_tolerance(recipe.tuning_output);
            }
        }
        if (!found) {
            RC_FAIL("key " + std::to_string(note.key) + " bend " + std::to_string(note.bend) + " pitch " +
                    std::to_string(note.pitch) + " on channel " +
                    std::to_string(note.channel) + " at tick " + std::to_string(note.on) + " (step " +
                    std::to_string(*step) + ", value " + std::to_string(value) + ") is no pitch of the tune");
        }
    }
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
    platform::SendResult send_sysex(std::span<const std::uint8_t> message, int) noexcept override {
        if (const auto change = tuning_change(message, static_cast<std::uint64_t>(clock.now_ms()), 0)) {
            events.push_back(*change);
        }
        return platform::SendResult::sent;
    }
    const platform::Clock& clock;
    std::vector<ChannelEvent> events;
};

// The messages that make the music: the set-up of bend ranges, expression and the tuning,
// which live play sends to every channel as it starts and stops, is left out; so is an MPE
// zone's instrument on its manager channel.
std::vector<std::tuple<std::uint64_t, int, int, int, int>> music_before(const std::vector<ChannelEvent>& events,
                                                                       std::uint64_t end, bool mpe) {
    std::vector<std::tuple<std::uint64_t, int, int, int, int>> out;
    for (const ChannelEvent& e : events) {
        const bool set_up = (e.kind == 0xB0 && (e.data1 == 11 || e.data1 == 101 || e.data1 == 100 || e.data1 == 6 ||
                                                e.data1 == 38)) ||
                            (mpe && e.kind == 0xC0 && e.channel == 0);
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
    const auto end_ms = static_cast<std::uint64_t>(recipe.seconds) * 1000;
    const std::vector<ChannelEvent> saved_music_events = channel_events(saved(composition, setup));

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
    const bool mpe = recipe.tuning_output == engine::TuningOutput::mpe;
    RC_ASSERT(music_before(take.events, end_ms - 1, mpe) == music_before(saved_music_events, end_ms - 1, mpe));
    const NoteAudit live = audit_notes(take.events, true);
    if (!live.faults.empty()) RC_FAIL("live: " + joined(live.faults));
}

}  // namespace
}  // namespace corvane::testing
