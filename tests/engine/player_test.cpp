// The channel voices and the player that drives them, through a MIDI sender that keeps every
// message with the clock's time.
#include "corvane/engine/player.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <ostream>
#include <span>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/tune_notes.h"
#include "corvane/platform/manual_timer_service.h"
#include "corvane/tuning/mts_pitch.h"

namespace corvane::engine {
namespace {

struct Message {
    std::int64_t ms;
    int status, channel, data1, data2;
    bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << "{" << m.ms << "ms " << std::hex << m.status << " ch" << std::dec << m.channel << " " << m.data1 << " "
              << m.data2 << "}";
}

// A note-on; with velocity 0 it is the note-off the voices send.
Message on(std::int64_t ms, int channel, int note, int velocity = 127) { return {ms, 0x90, channel, note, velocity}; }
Message off(std::int64_t ms, int channel, int note) { return on(ms, channel, note, 0); }
// A control change; the clock of the voices' tests stands still at 0.
Message cc(int channel, int controller, int value) { return {0, 0xB0, channel, controller, value}; }
Message bend(int channel, int value, std::int64_t ms = 0) { return {ms, 0xE0, channel, value & 0x7F, value >> 7}; }
// The program of every voice by default.
Message program_73(int channel, std::int64_t ms = 0) { return {ms, 0xC0, channel, 73, 0}; }
// A tuning change, as the sender keeps it.
Message retune(int channel, int key) { return {0, 0xF0, channel, key, 0}; }

using Messages = std::vector<Message>;

// The note-ons among `messages` (a note-on of velocity 0 is an off).
Messages note_ons(Messages messages) {
    std::erase_if(messages, [](const Message& m) { return m.status != 0x90 || m.data2 == 0; });
    return messages;
}

// Groups lock, as the port's do, so a test that holds one keeps the vibrato thread out.
struct RecordingSender final : platform::MessageSender {
    explicit RecordingSender(const platform::Clock& c) : clock(c) {}

    platform::SendResult send(const platform::SendRequest& r) noexcept override {
        const std::lock_guard lock(group);
        sent.push_back({clock.now_ms(), r.status, r.channel, r.data1, r.data2});
        due_ms.push_back(due.immediate() ? -1 : due.us / 1000);
        return platform::SendResult::sent;
    }
    // A tuning change goes in as F0 with its key; its bytes are kept beside.
    platform::SendResult send_sysex(std::span<const std::uint8_t> message, int channel) noexcept override {
        const std::lock_guard lock(group);
        sent.push_back({clock.now_ms(), 0xF0, channel, message[7], 0});
        sysex.emplace_back(message.begin(), message.end());
        return platform::SendResult::sent;
    }
    void begin_group() override { group.lock(); }
    void end_group() override { group.unlock(); }
    platform::DueTime exchange_due_time(platform::DueTime d) override { return std::exchange(due, d); }

    // Note-ons and note-offs only (a note-on with velocity 0 is an off).
    Messages notes() const {
        Messages out = sent;
        std::erase_if(out, [](const Message& m) { return m.status != 0x90 && m.status != 0x80; });
        return out;
    }
    // What was sent since the last call.
    Messages take() { return std::exchange(sent, {}); }

    const platform::Clock& clock;
    Messages sent;
    std::vector<std::vector<std::uint8_t>> sysex;
    std::recursive_mutex group;
    platform::DueTime due;
    std::vector<std::int64_t> due_ms;  // of each short message sent, -1 for none
};

class VoicesTest : public ::testing::Test {
protected:
    Composition composition;
    VoiceSettings settings;
    platform::ManualClock clock;
    RecordingSender sender{clock};
    ChannelVoices voices{composition, settings, sender, clock};

    void set_range(int voice, int lo, int hi, RangeAction action) {
        composition.Min_notes_for_channels[static_cast<std::size_t>(voice)] = lo;
        composition.Max_notes_for_channels[static_cast<std::size_t>(voice)] = hi;
        composition.iActionIfOutOfRange[static_cast<std::size_t>(voice)] = static_cast<int>(action);
    }
    int ranged(int note, int voice = 0) const {
        voices.apply_range(note, voice);
        return note;
    }
};

TEST_F(VoicesTest, RangeActions) {
    set_range(0, 48, 72, RangeAction::hover);
    EXPECT_EQ(ranged(86), 62);
    EXPECT_EQ(ranged(40), 52);
    EXPECT_EQ(ranged(60), 60);
    set_range(0, 60, 72, RangeAction::rebound);  // narrow: as hover
    EXPECT_EQ(ranged(80), 68);
    set_range(0, 48, 83, RangeAction::wrap_around);
    EXPECT_EQ(ranged(90), 54);
    EXPECT_EQ(ranged(40), 76);
    set_range(0, 40, 80, RangeAction::rebound);
    EXPECT_EQ(ranged(85), 61);
    set_range(0, 40, 80, RangeAction::hover_and_rebound);
    EXPECT_EQ(ranged(85), 73);
    set_range(0, 48, 72, RangeAction::silent);
    EXPECT_EQ(ranged(90), kNoNote);
    set_range(0, 40, 65, RangeAction::rebound);  // 25 wide: rebounds, no longer narrow
    EXPECT_EQ(ranged(70), 46);
    set_range(0, 70, 60, RangeAction::hover);  // lowest above highest: folded down from the highest
    EXPECT_EQ(ranged(65), 53);
}

// A percussion voice plays its key on channel 10 whatever the note. Rests, a channel or a
// velocity out of range, and a note shifted beyond 127 where that is silent send nothing.
TEST_F(VoicesTest, NoteOffWithVelocity127GoesOutAsNoteOnZeroAndBadArgumentsSendNothing) {
    using platform::SendResult;
    composition.Voices_for_channels[1] = 128;
    EXPECT_EQ(voices.note_on(1, 1, 0, 60, 100), SendResult::nothing_done);
    EXPECT_EQ(voices.note_on(0, 16, 0, 60, 100), SendResult::nothing_done);
    EXPECT_EQ(voices.note_on(0, 0, 0, 60, 128), SendResult::nothing_done);
    set_range(0, 0, 127, RangeAction::silent);
    EXPECT_EQ(voices.note_on(0, 0, 6, 60, 100), SendResult::nothing_done);
    EXPECT_TRUE(sender.sent.empty());
    composition.Voices_for_channels[2] = 128 + 38;
    voices.note_on(0, 0, 0, 60, 100);
    EXPECT_EQ(voices.sounding_note(0), 60);
    EXPECT_EQ(voices.note_channels(60), 1u);
    voices.note_off(0, 0, 0, 60, 127);
    voices.note_on(0, 0, 0, 62, 100);
    voices.note_off(0, 0, 0, 62, 64);
    voices.note_on(2, 2, 0, 71, 90);
    voices.note_off(2, 2, 0, 71, 127);
    EXPECT_EQ(sender.notes(), (Messages{on(0, 0, 60, 100), off(0, 0, 60), on(0, 0, 62, 100), {0, 0x80, 0, 62, 64},
                                       on(0, 9, 38, 90), off(0, 9, 38)}));
    EXPECT_EQ(voices.sounding_note(0), -1);
    EXPECT_EQ(voices.note_channels(60), 0u);
    // Of two keys on a channel, the one still held sounds when the other ends, key 0 as well.
    voices.note_on(0, 0, 0, 0, 100);
    voices.note_on(0, 0, 0, 5, 100);
    voices.note_off(0, 0, 0, 5, 127);
    EXPECT_EQ(voices.sounding_note(0), 0);
    voices.note_off(0, 0, 0, 0, 127);
    // The note-off of a note the range moved ends the key its note-on sounded.
    set_range(0, 48, 72, RangeAction::hover);
    sender.take();
    voices.note_on(0, 0, 0, 86, 100);
    voices.note_off(0, 0, 0, 86, 127);
    EXPECT_EQ(sender.take(), (Messages{on(0, 0, 62, 100), off(0, 0, 62)}));
}

TEST_F(VoicesTest, DifferentBendMovesTheVoiceToTheFirstFreeSpareChannel) {
    composition.Channels_in_Play = 3;
    voices.set_voice_bend(0, 8192, false);
    voices.note_on_for_voice(0, 0, 60, 100);
    sender.sent.clear();
    voices.set_voice_bend(0, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(0), 3);
    voices.note_on_for_voice(0, 0, 0, 100);
    // The voice's program first, then its bend range.
    EXPECT_EQ(sender.sent, (Messages{program_73(3), cc(3, 101, 0), cc(3, 100, 0), cc(3, 6, 2), cc(3, 38, 0),
                                     bend(3, 9000), on(0, 3, 0, 100)}));
    // Ended, MIDI note 0 still rings out on channel 3: another bend takes the next free channel.
    voices.note_off_for_voice(0, 0, 0, 64);
    voices.set_voice_bend(0, 9500, false);
    EXPECT_EQ(voices.channel_of_voice(0), 4);
    // Back at 9000 the voice takes channel 3 again; its new instrument goes to every channel it has.
    composition.Voices_for_channels[0] = 20;
    sender.sent.clear();
    voices.set_voice_bend(0, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(0), 3);
    EXPECT_EQ(sender.sent, (Messages{{0, 0xC0, 3, 20, 0}, {0, 0xC0, 0, 20, 0}, {0, 0xC0, 4, 20, 0}}));
    // Its first note ended, channel 0 no longer holds the voice's last note: free again.
    voices.note_off(0, 0, 0, 60, 64);
    voices.set_voice_bend(0, 9700, false);
    EXPECT_EQ(voices.channel_of_voice(0), 0);
}

// A voice's first bend of all goes on its own channel, even with a spare channel below it.
TEST_F(VoicesTest, AVoicesFirstBendStaysOnItsOwnChannel) {
    composition.Voices_for_channels[1] = -1;
    composition.Channels_in_Play = 3;  // channels 0, 2 and 3
    voices.set_voice_bend(2, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(2), 2);
}

// A start of play resets expression and bend range on every channel; the first bend of the run
// then sends the program, all sound off and the bend, and the same bend again nothing.
// With every channel in play none is spare: the voice ends its notes and bends its own channel.
// A restart gives each channel without notes back to its own voice.
TEST_F(VoicesTest, StartVoicesResetsEveryChannelAndWithEveryChannelInPlayAVoiceBendsItsOwn) {
    voices.start_voices();
    ASSERT_EQ(sender.sent.size(), 16u + 16u * 4u);
    EXPECT_EQ(sender.sent[0], cc(0, 11, 127));
    EXPECT_EQ(sender.sent[16], cc(0, 101, 0));
    EXPECT_EQ(sender.take().back(), cc(15, 38, 0));
    voices.set_voice_bend(0, 6144, true);
    EXPECT_EQ(sender.take(), (Messages{program_73(0), cc(0, 120, 0), bend(0, 6144)}));
    voices.set_voice_bend(0, 6144, true);
    EXPECT_TRUE(sender.sent.empty());

    composition.Channels_in_Play = 16;
    voices.set_voice_bend(1, 8192, false);
    voices.note_on_for_voice(1, 0, 60, 100);
    sender.sent.clear();
    voices.set_voice_bend(1, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(1), 1);
    EXPECT_EQ(sender.sent, (Messages{off(0, 1, 60), bend(1, 9000)}));
    voices.restart_voices();
    for (int c = 0; c < kMidiChannels; ++c) EXPECT_EQ(voices.voice_of_channel(c), c);
}

// Four notes a 19-tone step apart sound at once on the voice's own channel, each on a key of
// its own near its pitch, retuned just before its note; a key already holding a pitch plays
// it again with no retuning, and one whose note has just ended is retuned last. Every tuned
// channel selects tuning program 0 first; no bend.
TEST_F(VoicesTest, TheTuningStandardGivesEveryKeyItsOwnPitchOnOneChannel) {
    settings.tuning_output = TuningOutput::mts;
    voices.start_voices();
    const auto selects = [&](int c) {
        const Messages select{cc(c, 101, 0), cc(c, 100, 4), cc(c, 6, 0), cc(c, 101, 0), cc(c, 100, 3), cc(c, 6, 0)};
        return std::search(sender.sent.begin(), sender.sent.end(), select.begin(), select.end()) != sender.sent.end();
    };
    EXPECT_TRUE(selects(0));
    EXPECT_TRUE(selects(15));
    EXPECT_FALSE(selects(9));
    sender.take();
    std::vector<SoundingNote> chord;
    for (int step = 0; step < 4; ++step) chord.push_back(voices.sound_tuned_pitch(0, 60 + step * 12.0 / 19, 100));
    EXPECT_EQ(sender.take(), (Messages{program_73(0), retune(0, 60), on(0, 0, 60, 100), retune(0, 61),
                                       on(0, 0, 61, 100), retune(0, 62), on(0, 0, 62, 100), retune(0, 63),
                                       on(0, 0, 63, 100)}));
    for (std::size_t step = 0; step < 4; ++step) {
        const auto pitch = tuning::mts_pitch(60 + static_cast<double>(step) * 12 / 19);
        const auto expected = platform::single_note_tuning_change(0, 60 + static_cast<int>(step), pitch);
        EXPECT_TRUE(std::ranges::equal(sender.sysex[step], expected.view())) << step;
    }
    voices.end_note(chord[1]);
    sender.take();
    voices.sound_tuned_pitch(0, 60 + 12.0 / 19, 90);
    EXPECT_EQ(sender.take(), (Messages{on(0, 0, 61, 90)}));
    // Key 62 falls silent this moment: its release still rings, so a free key near the pitch
    // is retuned instead.
    voices.end_note(chord[2]);
    sender.take();
    voices.sound_tuned_pitch(0, 62.2, 90);
    EXPECT_EQ(sender.take(), (Messages{retune(0, 64), on(0, 0, 64, 90)}));
}

// MPE: the zone is declared first and its members bend 48 semitones; each note takes the
// member silent the longest, its bend before its note-on (a member's first bend is always
// sent); with every member sounding, the one used longest ago ends its note first, unless
// that note began this very moment.
TEST_F(VoicesTest, MpeGivesEachNoteTheLeastRecentlyUsedMemberChannel) {
    settings.tuning_output = TuningOutput::mpe;
    settings.mpe_member_channels = 3;
    voices.start_voices();
    ASSERT_GE(sender.sent.size(), 3u);
    EXPECT_EQ(Messages(sender.sent.begin(), sender.sent.begin() + 3),
              (Messages{cc(0, 101, 0), cc(0, 100, 6), cc(0, 6, 3)}));
    const auto range_of = [&](int c) {
        for (std::size_t i = 0; i + 2 < sender.sent.size(); ++i) {
            if (sender.sent[i] == cc(c, 101, 0) && sender.sent[i + 1] == cc(c, 100, 0)) return sender.sent[i + 2].data2;
        }
        return -1;
    };
    EXPECT_EQ(range_of(1), 48);
    EXPECT_EQ(range_of(3), 48);
    EXPECT_EQ(range_of(0), 2);
    EXPECT_EQ(range_of(4), 2);
    sender.take();
    const SoundingNote first = voices.sound_tuned_pitch(0, 60.5, 100);  // key 61, half a semitone down
    voices.sound_tuned_pitch(1, 64, 100);
    const SoundingNote third = voices.sound_tuned_pitch(0, 67.25, 100);
    EXPECT_FALSE(voices.sound_tuned_pitch(0, 70, 100).valid());  // it would cut a note begun this moment
    EXPECT_EQ(first.channel, 1);
    EXPECT_EQ(third.channel, 3);
    const int half_down = 8192 - 85;  // 8192 / 48 steps a semitone
    const int quarter_up = 8192 + 43;
    EXPECT_EQ(sender.take(), (Messages{program_73(1), bend(1, half_down), on(0, 1, 61, 100), program_73(2),
                                       bend(2, 8192), on(0, 2, 64, 100), program_73(3), bend(3, quarter_up),
                                       on(0, 3, 67, 100)}));
    clock.set(5);
    voices.sound_tuned_pitch(0, 70, 100);
    EXPECT_EQ(sender.take(), (Messages{off(5, 1, 61), bend(1, 8192, 5), on(5, 1, 70, 100)}));
    voices.end_note(third);
    sender.take();
    voices.sound_tuned_pitch(0, 67.25, 100);
    EXPECT_EQ(sender.take(), (Messages{on(5, 3, 67, 100)}));
}

TEST_F(VoicesTest, SustainRingBatchingAndLegatoDecideWhenNotesEnd) {
    composition.Sustain = 2;
    SoundingNote last;
    for (int note = 60; note < 64; ++note) {
        last = voices.sound_note(0, 0, note, 100);
        voices.stop_note_from_player(last, false, composition.SustainSlots());
    }
    // Each note is stopped when the next one enters the ring: one note held over.
    EXPECT_EQ(sender.take(), (Messages{on(0, 0, 60, 100), on(0, 0, 61, 100), off(0, 0, 60), on(0, 0, 62, 100),
                                       off(0, 0, 61), on(0, 0, 63, 100), off(0, 0, 62)}));
    voices.end_note(last);
    voices.end_note(last);  // once only
    EXPECT_EQ(sender.take(), (Messages{off(0, 0, 63)}));

    // Batched notes go out when flushed, note-offs first; legato stops the previous note after
    // the next one starts.
    voices.note_on(0, 0, 0, 60, 100);
    voices.set_batching(true, true);
    voices.note_on(1, 1, 0, 64, 100);
    voices.note_off(0, 0, 0, 60, 127);
    EXPECT_EQ(sender.notes().size(), 1u);
    voices.flush_queue();
    voices.set_batching(false, false);
    settings.legato = true;
    voices.note_on(0, 0, 0, 67, 100);
    voices.note_off(0, 0, 0, 67, 127);  // held over
    voices.note_on(0, 0, 0, 69, 100);
    EXPECT_EQ(sender.notes(), (Messages{on(0, 0, 60, 100), off(0, 0, 60), on(0, 1, 64, 100), on(0, 0, 67, 100),
                                       on(0, 0, 69, 100), off(0, 0, 67)}));
}

// Vibrato by modulation, its volume and portamento are controllers; pitch bend vibrato follows a
// sine on the voice's channel only.
TEST_F(VoicesTest, ModulationPortamentoAndPitchBendVibrato) {
    const platform::SendGroup group(sender);  // the vibrato thread waits until the test is done
    composition.iVibrato[0] = 1;
    composition.dVibrato_amp[0] = 50;
    composition.dVibrato_vol_amp[0] = 20;
    composition.iPortamento[0] = 1;
    composition.iPortamento_slide_time[0] = 30;
    voices.apply_effects(0, 0, Effects::all);
    EXPECT_EQ(sender.sent, (Messages{cc(0, 5, 30), cc(0, 1, 63), cc(0, 33, 63), cc(0, 92, 25)}));
    composition.dVibrato_freq[0] = 1;  // one cycle a second
    composition.dVibrato_amp[0] = 10;
    composition.dVibrato_vol_amp[0] = 0;
    voices.sync_program(0, 0, 73, true);
    voices.set_channel_bend(0, 8192);
    voices.note_on(0, 0, 0, 60, 100);
    sender.sent.clear();
    clock.advance(250);  // a quarter cycle: the top of the sine
    voices.pitch_bend_vibrato_step();
    EXPECT_EQ(sender.sent, (Messages{bend(0, 8192 + 819, 250)}));
}

// With portamento each note is preceded by controller 65 carrying the voice's last note; a
// voice without portamento sends none.
TEST_F(VoicesTest, PortamentoSlidesFromTheVoicesLastNote) {
    composition.iPortamento[0] = 1;
    Messages slides;
    for (const int voice : {0, 1}) {
        voices.note_on(voice, voice, 0, 60, 100);
        voices.note_off(voice, voice, 0, 60, 127);
        sender.take();
        voices.note_on(voice, voice, 0, 64, 100);
        std::ranges::copy(sender.take(), std::back_inserter(slides));
    }
    EXPECT_EQ(slides, (Messages{cc(0, 65, 60), on(0, 0, 64, 100), on(0, 1, 64, 100)}));
}

// A tuned pitch moves the voice's bend without cutting what its channel still sounds, even
// where a bend may be preceded by all sound off.
TEST_F(VoicesTest, ATunedPitchBendsWithoutAllSoundOff) {
    settings.all_sound_off_before_pitch_bends = true;
    voices.sound_tuned_pitch(0, 60.25, 100);
    voices.sound_tuned_pitch(0, 64.5, 100);
    for (const Message& m : sender.sent) EXPECT_FALSE(m.status == 0xB0 && m.data1 == 120) << m;
}

struct Listener final : PlayerListener {
    void play_display_update() override {}
    void priority_reset() override { ++priority_resets; }
    void play_stopped() override { ++stopped; }
    int priority_resets = 0;
    int stopped = 0;
};

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        composition.Note_length = 0.1;
        set_seed(composition, std::vector<int>{0, 1});
        composition.Levels = 0;
        settings.cycle_melody = false;
    }

    Composition composition;
    VoiceSettings voice_settings;
    PlayerSettings settings;
    platform::ManualClock clock{1000};
    platform::ManualTimerService timers{clock};
    RecordingSender sender{clock};
    platform::SettableKeyState keys;
    Listener listener;
    ChannelVoices voices{composition, voice_settings, sender, clock};
    Player player{composition, settings, voices, timers, clock, keys, &listener};
};

// Sustain 1 ends each note as the next begins, 0.5 half-way; without cycling play stops.
TEST_F(PlayerTest, SustainEndsEachNoteAtItsFractionOfTheStepAndLookAheadDelaysTheNotes) {
    for (const auto& [sustain, end] : {std::pair{1.0, 100}, std::pair{0.5, 50}}) {
        composition.Sustain = sustain;
        sender.sent.clear();
        player.start();
        timers.advance_to(clock.now_ms() + 1000);
        const std::int64_t first = clock.now_ms() - 998;
        EXPECT_EQ(sender.notes(), (Messages{on(first, 0, 60), off(first + end, 0, 60), on(first + 100, 0, 62),
                                           off(first + 100 + end, 0, 62)}))
            << sustain;
        EXPECT_FALSE(player.playing());
        EXPECT_EQ(timers.pending(), 0u);
    }
    EXPECT_EQ(listener.stopped, 2);

    // With a look-ahead of 3 the first two computed notes sound nothing; then each sounds the one
    // two before it.
    composition.Sustain = 1;
    settings.iLookAhead = 3;
    set_seed(composition, std::vector<int>{0, 1, 2, 3, 4});
    sender.sent.clear();
    const std::int64_t start = clock.now_ms();
    player.start();
    timers.advance_to(start + 5 * 100 + 10);
    EXPECT_EQ(sender.notes(), (Messages{on(start + 202, 0, 60), off(start + 302, 0, 60), on(start + 302, 0, 62),
                                       off(start + 402, 0, 62), on(start + 402, 0, 64), off(start + 502, 0, 64)}));
}

// The rhythm fractal: positions of lengths 1 and 3 make notes of 1, 3, 3 and 9 parts at level 1
// (50, 150, 150 and 450 ms of a 0.1 s note over the tune's 8 parts). A timing shift of 0.25
// weighs each position three parts the next one's length to one its own: 2.5 and 1.5, so
// 3.125, 1.875, 1.875 and 1.125 parts; the first note waits a quarter of its own length, so
// the notes start 78, 312, 500 and 687 ms in, counted here from the first.
TEST_F(PlayerTest, RhythmFractalLengthsMultiplyLevelByLevelAndATimingShiftBlendsTheNextPosition) {
    composition.Levels = 1;
    composition.has_times_by_melody_pos = true;
    composition.times_by_melody_pos = {1, 3};
    composition.iRhythmFractalToLevel = 1;
    for (const auto& [shift, onsets] : {std::pair{0.0, std::vector<std::int64_t>{0, 50, 200, 350}},
                                        std::pair{0.25, std::vector<std::int64_t>{0, 234, 421, 608}}}) {
        composition.has_Note_timing_shift = shift != 0;
        composition.Note_timing_shift = shift;
        sender.sent.clear();
        player.start();
        timers.advance_to(clock.now_ms() + 2000);
        const Messages started = note_ons(sender.sent);
        std::vector<std::int64_t> times;
        for (const Message& m : started) times.push_back(m.ms - started.front().ms);
        EXPECT_EQ(times, onsets) << shift;
    }
}

// Play starts one timer resolution after Play, the channel's program and bend before its
// first note; a channel at volume 0 sounds nothing (a note-on of velocity 0 would be a
// note-off), nor is it given a program or a bend.
TEST_F(PlayerTest, PlayStartsAfterOneTimerResolutionAndSilentChannelsSoundNothing) {
    settings.uTimerRes = 1;
    player.start();
    timers.advance_to(1001);
    Messages first = sender.sent;
    std::erase_if(first, [](const Message& m) { return m.ms != 1001; });
    EXPECT_EQ(first, (Messages{program_73(0, 1001), bend(0, 8192, 1001), on(1001, 0, 60)}));
    player.stop();
    timers.advance_to(2000);
    sender.sent.clear();
    composition.Volumes_for_channels[0] = 0;
    player.start();
    timers.advance_to(2300);
    for (const Message& m : sender.sent) EXPECT_EQ(m.status, 0xB0) << m;
}

// Hold ends the notes at once and stops time until released; Stop switches every note off
// at once, and nothing sounds after it.
TEST_F(PlayerTest, HoldStopsTimeAndSoundAndStopEndsPlay) {
    settings.cycle_melody = true;
    player.start();
    timers.advance_to(1050);
    player.hold();
    timers.advance_to(1500);
    EXPECT_EQ(sender.notes().back(), off(1050, 0, 60));
    player.release();
    timers.advance_to(1550);
    EXPECT_EQ(sender.notes().back(), on(1522, 0, 62));  // the second note, only after the release
    EXPECT_TRUE(player.playing());
    player.stop();
    timers.advance_to(1551);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(listener.stopped, 1);
    EXPECT_EQ(sender.notes().back(), off(1550, 0, 62));
    timers.advance_to(2000);
    EXPECT_EQ(sender.notes().back(), off(1550, 0, 62));
}

TEST_F(PlayerTest, RuleFiveSoundsOneNotePerChangedLevel) {
    composition.Levels = 2;
    composition.Channels_in_Play = 3;
    select_channel_rule(composition, 5);
    player.start();
    timers.advance_to(1000 + 350);
    std::map<std::int64_t, int> started;  // how many notes start at each time
    for (const Message& m : note_ons(sender.sent)) ++started[m.ms];
    // Levels 2, 1 and 0 start together, then level 0 alone, then levels 1 and 0.
    EXPECT_EQ(started, (std::map<std::int64_t, int>{{1002, 3}, {1102, 1}, {1202, 2}, {1302, 1}}));
}

// The channel in use is the player's: the composition it plays is never written, and the Voice
// menu follows the last note while playing and the composition's Channel once stopped.
TEST_F(PlayerTest, TheChannelInUseFollowsTheNotesAndTheCompositionStaysAsItWas) {
    set_seed(composition, std::vector<int>{0, 1, 2});
    composition.Levels = 1;
    composition.Channels_in_Play = 3;
    composition.Channel = 5;
    select_channel_rule(composition, static_cast<int>(ChannelRule::by_note_height));
    const Composition before = composition;
    player.start();
    for (const std::int64_t ms : {1002, 1102, 1202, 1302}) {
        timers.advance_to(ms);
        const auto& notes = sender.notes();
        ASSERT_FALSE(notes.empty());
        EXPECT_EQ(player.channel_in_use(), notes.back().channel) << ms;
    }
    player.stop();
    timers.advance_to(3000);
    EXPECT_EQ(player.channel_in_use(), 5);
    EXPECT_TRUE(composition == before);
}

// What a timer event sends is meant for the event's deadline, however late the timer thread
// woke, so that an output that places messages in time plays them on the grid; a stop is
// meant for the moment it is asked for.
TEST_F(PlayerTest, MessagesAreMeantForTheirEventsDeadlineNotForWhenTheTimerWoke) {
    settings.uTimerRes = 1;
    composition.Sustain = 0.5;
    player.start();
    using SentAndDue = std::pair<std::int64_t, std::int64_t>;
    const auto last_note = [&] {
        for (std::size_t i = sender.sent.size(); i-- > 0;) {
            if (sender.sent[i].status == 0x90) return SentAndDue{sender.sent[i].ms, sender.due_ms[i]};
        }
        return SentAndDue{-1, -1};
    };
    // The first note due at 1001, its note-off due at 1051, the second note due at 1101.
    for (const auto& [now, due] : {SentAndDue{1004, 1001}, SentAndDue{1058, 1051}, SentAndDue{1102, 1101}}) {
        clock.set(now);
        timers.advance_to(now);
        EXPECT_EQ(last_note(), SentAndDue(now, due));
    }
    clock.set(1120);
    player.stop();
    timers.advance_to(1120);
    EXPECT_EQ(last_note(), SentAndDue(1120, 1120));
}

TEST_F(PlayerTest, SkippingCatchesUpAfterAStall) {
    settings.ok_to_skip_fast_notes = true;
    settings.cycle_melody = true;
    set_seed(composition, std::vector<int>{0, 1, 2, 3});
    composition.Levels = 5;
    player.start();
    timers.advance_to(1002);
    clock.advance(2000);  // the machine stalls for two seconds
    timers.advance_to(clock.now_ms());
    EXPECT_NE(player.note_text().find("skipped)"), std::string::npos) << player.note_text();
    // Back on schedule: the note sounding now is the one due now, give or take a note.
    const auto steps = player.notes_stepped();
    EXPECT_GE(steps, 19);
    EXPECT_LE(steps, 21);
    timers.advance_to(clock.now_ms() + 100);
    EXPECT_EQ(player.note_text(), "Note " + std::to_string(player.notes_stepped()));
}

// Without skipping: events a little late keep the schedule (the steps they held up go at once,
// then play is back on time), while a long stall starts the schedule again from the present:
// play slows down rather than rush through the notes it missed.
TEST_F(PlayerTest, LateEventsKeepTheScheduleAndAStallMovesIt) {
    settings.cycle_melody = true;
    composition.Note_length = 0.005;
    set_seed(composition, std::vector<int>{0, 1, 2, 3});
    composition.Levels = 5;
    player.start();
    timers.advance_to(1002);  // the first note; then one every 5 ms
    const auto start_times = [&] {  // of the notes begun since the last look
        std::vector<std::int64_t> times;
        for (const Message& m : note_ons(sender.take())) times.push_back(m.ms);
        return times;
    };
    sender.take();
    clock.set(1007 + 12);  // the step due at 1007 runs 12 ms late
    timers.advance_to(1022);
    EXPECT_EQ(start_times(), (std::vector<std::int64_t>{1019, 1019, 1019, 1022}));
    EXPECT_EQ(player.schedule_moved_ms(), 0);

    clock.set(1027 + 500);  // a stall of half a second
    timers.advance_to(1537);
    EXPECT_EQ(start_times(), (std::vector<std::int64_t>{1527, 1527, 1532, 1537}));
    EXPECT_EQ(player.schedule_moved_ms(), 495);  // the step due at 1032 went at 1527
}

// Shift+Escape drops a raised priority to idle and play goes on, cycling; Escape alone stops play
// only when its option is on.
TEST_F(PlayerTest, ShiftEscapeDropsARaisedPriorityCyclingGoesOnAndEscapeStopsPlayWhenItsOptionIsOn) {
    settings.set_high_priority_for_crv = 2;
    settings.cycle_melody = true;
    player.start();
    timers.advance_to(1050);
    EXPECT_EQ(player.priority_level(), 2);
    keys.set_shift(true);
    keys.set_escape(true);
    timers.advance_to(1150);
    EXPECT_EQ(player.priority_level(), 0);
    EXPECT_EQ(listener.priority_resets, 1);
    EXPECT_TRUE(player.playing());
    keys.set_shift(false);
    keys.set_escape(false);
    timers.advance_to(1250);
    EXPECT_EQ(player.cycles(), 1);
    EXPECT_EQ(player.cycle_text(), "Cycle 2");
    EXPECT_EQ(sender.notes()[4], on(1202, 0, 60));  // the new cycle keeps time: no pause at the restart
    keys.set_escape(true);
    settings.escape_interrupts = true;
    timers.advance_to(1400);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(listener.stopped, 1);
}

TEST_F(PlayerTest, BendRangeTestAlternatesLowAndHighForms) {
    composition.seed_has_test = true;
    set_seed(composition, std::vector<int>{60, 64});
    player.start();
    timers.advance_to(1250);
    std::vector<std::pair<int, int>> played;  // note and the bend sent before it
    int bend = -1;
    for (const auto& m : sender.sent) {
        if (m.status == 0xE0) bend = m.data1 | m.data2 << 7;
        if (m.status == 0x90 && m.data2 > 0) played.emplace_back(m.data1, bend);
    }
    EXPECT_EQ(played, (std::vector<std::pair<int, int>>{{58, 16383}, {66, 0}}));
}

// Rendering with skipping passes over notes shorter than the file's time resolution (0.4 ms
// steps, 1 ms resolution). Where the levels sound together (the formula of the level) a step
// that starts a longer note of a level with a channel in play counts that note and is kept;
// level 2 has no channel (two in play), so its start counts only the step.
TEST_F(PlayerTest, RenderingSkipsWhatTheFileCannotHoldButNotTheStartOfALongerNote) {
    settings.ok_to_skip_fast_notes = true;
    composition.Note_length = 0.0004;
    composition.Levels = 2;
    composition.Channels_in_Play = 2;
    select_channel_rule(composition, static_cast<int>(ChannelRule::formula));
    set_formula(composition, "L");
    std::atomic<bool> cancel{false};
    player.render(1, cancel);
    EXPECT_EQ(note_ons(sender.sent), (Messages{on(1000, 0, 60), on(1000, 1, 62), on(1000, 0, 64), on(1000, 1, 64)}));
}

// Rendering ends at the time asked for though the melody cycles, the last note cut short there;
// it runs in the tune's time, without timers, and the clock stands still.
TEST_F(PlayerTest, RenderingEndsAtTheTimeAskedFor) {
    settings.cycle_melody = true;
    std::atomic<bool> cancel{false};
    player.render(0.25, cancel);
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(timers.pending(), 0u);
    EXPECT_EQ(sender.notes(), (Messages{on(1000, 0, 60), off(1000, 0, 60), on(1000, 0, 62), off(1000, 0, 62),
                                       on(1000, 0, 60), off(1000, 0, 60)}));
}

// The tune of seed "0 1 2 1" to level 2 (4^3 = 64 notes), computed without playing as the
// player would play it: the seed's shape at every level over the pentatonic on C, every level
// starting on the first note, each note as long as a step; at most the notes asked for.
TEST(TuneNotes, AreWhatThePlayerWouldPlayAndStopAtTheMostAskedFor) {
    Composition c;
    c.Note_heights = {0, 1, 2, 1};
    c.Levels = 2;
    const std::atomic<bool> never{false};
    const TuneNotes computed = compute_tune_notes(c, {}, {}, 1000, 3600, never);
    EXPECT_FALSE(computed.capped);
    ASSERT_EQ(computed.notes.size(), 64u);
    EXPECT_DOUBLE_EQ(computed.end_secs, 64 * c.Note_length);
    const auto note = [&](std::size_t i) { return computed.notes[i].note; };
    EXPECT_EQ(std::tuple(note(0).value, note(5).value, note(63).value), std::tuple(0, 2, 3));
    EXPECT_EQ(std::tuple(note(0).level, note(1).level, note(4).level, note(16).level), std::tuple(2, 0, 1, 2));
    EXPECT_EQ(std::tuple(note(2).midi_channel, note(2).key, note(2).bend), std::tuple(0, 64, 8192));
    EXPECT_DOUBLE_EQ(note(2).pitch, 64);
    EXPECT_DOUBLE_EQ(note(1).time, c.Note_length);
    EXPECT_DOUBLE_EQ(computed.notes[1].length, c.Note_length);

    const TuneNotes first = compute_tune_notes(c, {}, {}, 10, 3600, never);
    EXPECT_EQ(first.notes.size(), 10u);
    EXPECT_TRUE(first.capped);
}

// The notes keep the tune's own time: under MPE with one member channel and a sustain of two
// steps, each note cuts the one still ringing there (it began a step before, not this moment).
TEST(TuneNotes, EachNoteCutsTheOneRingingOnTheOnlyMemberChannel) {
    Composition c;
    c.Note_heights = {0, 1, 2, 1};
    c.Levels = 0;
    c.Sustain = 2;
    VoiceSettings mpe;
    mpe.tuning_output = TuningOutput::mpe;
    mpe.mpe_member_channels = 1;
    const std::atomic<bool> never{false};
    const TuneNotes computed = compute_tune_notes(c, {}, mpe, 1000, 3600, never);
    ASSERT_EQ(computed.notes.size(), 4u);
    for (const TuneNote& n : computed.notes) {
        EXPECT_EQ(n.note.midi_channel, 1);
        EXPECT_DOUBLE_EQ(n.length, c.Note_length);
    }
}

}  // namespace
}  // namespace corvane::engine
