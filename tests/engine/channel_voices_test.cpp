#include "corvane/engine/channel_voices.h"

#include <gtest/gtest.h>

#include "recording_sender.h"

namespace corvane::engine {
namespace {

using testing::Message;
using testing::off;
using testing::on;

// A control change; the clock of these tests stands still at 0.
Message cc(int channel, int controller, int value) {
    return {0, 0xB0, static_cast<std::uint8_t>(channel), static_cast<std::uint8_t>(controller),
            static_cast<std::uint8_t>(value)};
}

class VoicesTest : public ::testing::Test {
protected:
    Composition composition;
    VoiceSettings settings;
    platform::ManualClock clock;
    testing::RecordingSender sender{clock};
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
    set_range(0, 70, 60, RangeAction::hover);  // lowest above highest: folded down from the highest
    EXPECT_EQ(ranged(65), 53);
}

// A percussion voice plays its key on channel 10 whatever the note.
TEST_F(VoicesTest, NoteOffWithVelocity127GoesOutAsNoteOnZero) {
    composition.Voices_for_channels[2] = 128 + 38;
    voices.note_on(0, 0, 0, 60, 100);
    EXPECT_EQ(voices.sounding_note(0), 60);
    EXPECT_EQ(voices.note_channels(60), 1u);
    voices.note_off(0, 0, 0, 60, 127);
    voices.note_on(0, 0, 0, 62, 100);
    voices.note_off(0, 0, 0, 62, 64);
    voices.note_on(2, 2, 0, 71, 90);
    voices.note_off(2, 2, 0, 71, 127);
    const std::vector<Message> expected{on(0, 0, 60, 100), off(0, 0, 60),    on(0, 0, 62, 100),
                                        {0, 0x80, 0, 62, 64}, on(0, 9, 38, 90), off(0, 9, 38)};
    EXPECT_EQ(sender.notes(), expected);
    EXPECT_EQ(voices.sounding_note(0), -1);
    EXPECT_EQ(voices.note_channels(60), 0u);
}

TEST_F(VoicesTest, RestsAndBadArgumentsSendNothing) {
    composition.Voices_for_channels[1] = 128;
    using platform::SendResult;
    EXPECT_EQ(voices.note_on(1, 1, 0, 60, 100), SendResult::nothing_done);
    EXPECT_EQ(voices.note_on(0, 16, 0, 60, 100), SendResult::nothing_done);
    EXPECT_EQ(voices.note_on(0, 0, 0, 60, 128), SendResult::nothing_done);
    set_range(0, 0, 127, RangeAction::silent);
    EXPECT_EQ(voices.note_on(0, 0, 6, 60, 100), SendResult::nothing_done);  // shifted beyond 127, and silent there
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(VoicesTest, DifferentBendMovesTheVoiceToTheFirstFreeSpareChannel) {
    composition.Channels_in_Play = 3;
    voices.set_voice_bend(0, 8192, false);
    voices.note_on_for_voice(0, 0, 60, 100);
    sender.sent.clear();
    voices.set_voice_bend(0, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(0), 3);
    voices.note_on_for_voice(0, 0, 64, 100);
    const std::vector<Message> expected{
        {0, 0xC0, 3, 73, 0},                                                       // the voice's program first
        cc(3, 101, 0), cc(3, 100, 0), cc(3, 6, 2), cc(3, 38, 0),  // bend range
        {0, 0xE0, 3, 9000 & 0x7F, 9000 >> 7},
        on(0, 3, 64, 100)};
    EXPECT_EQ(sender.sent, expected);
}

// A start of play resets expression and bend range on every channel; the first bend of the run
// then sends the program, all sound off and the bend, and the same bend again nothing.
// With every channel in play none is spare: the voice ends its notes and bends its own channel.
// A restart gives each channel without notes back to its own voice.
TEST_F(VoicesTest, WithEveryChannelInPlayTheVoiceBendsItsOwnChannel) {
    composition.Channels_in_Play = 16;
    voices.set_voice_bend(1, 8192, false);
    voices.note_on_for_voice(1, 0, 60, 100);
    sender.sent.clear();
    voices.set_voice_bend(1, 9000, false);
    EXPECT_EQ(voices.channel_of_voice(1), 1);
    const std::vector<Message> expected{off(0, 1, 60), {0, 0xE0, 1, 9000 & 0x7F, 9000 >> 7}};
    EXPECT_EQ(sender.sent, expected);
    voices.restart_voices();
    for (int c = 0; c < kMidiChannels; ++c) EXPECT_EQ(voices.voice_of_channel(c), c);
}

TEST_F(VoicesTest, StartVoicesResetsEveryChannelAndTheFirstBendSendsProgramAndBend) {
    voices.start_voices();
    ASSERT_EQ(sender.sent.size(), 16u + 16u * 4u);
    EXPECT_EQ(sender.sent[0], cc(0, 11, 127));
    EXPECT_EQ(sender.sent[16], cc(0, 101, 0));
    EXPECT_EQ(sender.sent.back(), cc(15, 38, 0));
    sender.sent.clear();
    voices.set_voice_bend(0, 6144, true);
    const std::vector<Message> expected{{0, 0xC0, 0, 73, 0}, cc(0, 120, 0), {0, 0xE0, 0, 6144 & 0x7F, 6144 >> 7}};
    EXPECT_EQ(sender.sent, expected);
    sender.sent.clear();
    voices.set_voice_bend(0, 6144, true);
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(VoicesTest, AllNotesOffStopsWhatTheBookkeepingHolds) {
    voices.note_on(0, 0, 0, 60, 100);
    voices.note_on(1, 1, 0, 60, 100);
    voices.note_on(2, 2, 0, 67, 100);
    sender.sent.clear();
    voices.all_notes_off();
    const std::vector<Message> expected{off(0, 0, 60), off(0, 1, 60), off(0, 2, 67)};
    EXPECT_EQ(sender.notes(), expected);
    EXPECT_EQ(voices.sounding_note(2), -1);
}

TEST_F(VoicesTest, SustainRingHoldsNotesForTheirSlots) {
    composition.Sustain = 2;
    SoundingNote last;
    for (int note = 60; note < 64; ++note) {
        last = voices.sound_note(0, 0, note, 100);
        voices.stop_note_from_player(last, false, composition.SustainSlots());
    }
    // Each note is stopped when the next one enters the ring: one note held over.
    const std::vector<Message> expected{on(0, 0, 60, 100), on(0, 0, 61, 100), off(0, 0, 60),
                                     on(0, 0, 62, 100), off(0, 0, 61),   on(0, 0, 63, 100),
                                     off(0, 0, 62)};
    EXPECT_EQ(sender.notes(), expected);
    sender.sent.clear();
    voices.end_note(last);
    voices.end_note(last);  // once only
    EXPECT_EQ(sender.notes(), (std::vector<Message>{off(0, 0, 63)}));
}

TEST_F(VoicesTest, BatchedNotesGoOutWhenFlushedNoteOffsFirst) {
    voices.note_on(0, 0, 0, 60, 100);
    sender.sent.clear();
    voices.set_batching(true, true);
    voices.note_on(1, 1, 0, 64, 100);
    voices.note_off(0, 0, 0, 60, 127);
    EXPECT_TRUE(sender.sent.empty());
    voices.flush_queue();
    const std::vector<Message> expected{off(0, 0, 60), on(0, 1, 64, 100)};
    EXPECT_EQ(sender.notes(), expected);
}

TEST_F(VoicesTest, LegatoStopsThePreviousNoteAfterTheNextStarts) {
    settings.legato = true;
    voices.note_on(0, 0, 0, 60, 100);
    voices.note_off(0, 0, 0, 60, 127);  // held over
    voices.note_on(0, 0, 0, 62, 100);
    const std::vector<Message> expected{on(0, 0, 60, 100), on(0, 0, 62, 100), off(0, 0, 60)};
    EXPECT_EQ(sender.notes(), expected);
}

TEST_F(VoicesTest, ModulationVibratoAndPortamentoControllers) {
    composition.iVibrato[0] = 1;
    composition.dVibrato_amp[0] = 50;
    composition.dVibrato_vol_amp[0] = 20;
    composition.iPortamento[0] = 1;
    composition.iPortamento_slide_time[0] = 30;
    voices.apply_effects(0, 0, Effects::all);
    const std::vector<Message> expected{cc(0, 5, 30), cc(0, 1, 63), cc(0, 33, 63), cc(0, 92, 25)};
    EXPECT_EQ(sender.sent, expected);
}

TEST_F(VoicesTest, PitchBendVibratoFollowsASine) {
    const platform::SendGroup group(sender);  // the vibrato thread waits until the test is done
    composition.iVibrato[0] = 1;
    composition.dVibrato_freq[0] = 1;  // one cycle a second
    composition.dVibrato_amp[0] = 10;
    voices.sync_program(0, 0, 73, true);
    voices.set_channel_bend(0, 8192);
    voices.note_on(0, 0, 0, 60, 100);
    sender.sent.clear();
    clock.advance(250);  // a quarter cycle: the top of the sine
    voices.pitch_bend_vibrato_step();
    constexpr int top = 8192 + 819;
    const std::vector<Message> expected{{250, 0xE0, 0, top & 0x7F, top >> 7}};  // on the voice's channel only
    EXPECT_EQ(sender.sent, expected);
}

}  // namespace
}  // namespace corvane::engine
