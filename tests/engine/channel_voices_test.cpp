#include "corvane/engine/channel_voices.h"

#include <gtest/gtest.h>

#include <mutex>

namespace corvane::engine {
namespace {

using platform::SendRequest;

struct Sent {
    std::uint8_t status, channel, data1, data2;
    bool operator==(const Sent&) const = default;
};

// Groups lock, as the port's do, so a test that holds one keeps the vibrato thread out.
struct RecordingSender final : platform::MessageSender {
    platform::SendResult send(const SendRequest& r) noexcept override {
        const std::lock_guard lock(group);
        sent.push_back({r.status, r.channel, r.data1, r.data2});
        return platform::SendResult::sent;
    }
    void begin_group() override { group.lock(); }
    void end_group() override { group.unlock(); }
    std::vector<Sent> notes() const {
        std::vector<Sent> out;
        for (const auto& s : sent) {
            if (s.status == 0x80 || s.status == 0x90) out.push_back(s);
        }
        return out;
    }
    std::vector<Sent> sent;
    std::recursive_mutex group;
};

class VoicesTest : public ::testing::Test {
protected:
    Composition composition;
    VoiceSettings settings;
    RecordingSender sender;
    platform::ManualClock clock;
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

TEST_F(VoicesTest, NoteOffWithVelocity127GoesOutAsNoteOnZero) {
    voices.note_on(0, 0, 0, 60, 100);
    EXPECT_EQ(voices.sounding_note(0), 60);
    EXPECT_EQ(voices.note_channels(60), 1u);
    voices.note_off(0, 0, 0, 60, 127);
    voices.note_on(0, 0, 0, 62, 100);
    voices.note_off(0, 0, 0, 62, 64);
    const std::vector<Sent> expected{{0x90, 0, 60, 100}, {0x90, 0, 60, 0}, {0x90, 0, 62, 100}, {0x80, 0, 62, 64}};
    EXPECT_EQ(sender.notes(), expected);
    EXPECT_EQ(voices.sounding_note(0), -1);
    EXPECT_EQ(voices.note_channels(60), 0u);
}

TEST_F(VoicesTest, PercussionVoicePlaysItsKeyOnChannelTen) {
    composition.Voices_for_channels[2] = 128 + 38;
    voices.note_on(2, 2, 0, 71, 90);
    voices.note_off(2, 2, 0, 71, 127);
    const std::vector<Sent> expected{{0x90, 9, 38, 90}, {0x90, 9, 38, 0}};
    EXPECT_EQ(sender.notes(), expected);
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
    const std::vector<Sent> expected{
        {0xC0, 3, 73, 0},                                                       // the voice's program first
        {0xB0, 3, 101, 0}, {0xB0, 3, 100, 0}, {0xB0, 3, 6, 2}, {0xB0, 3, 38, 0},  // bend range
        {0xE0, 3, 9000 & 0x7F, 9000 >> 7},
        {0x90, 3, 64, 100}};
    EXPECT_EQ(sender.sent, expected);
}

TEST_F(VoicesTest, FirstBendOfARunSendsProgramRangeAndBend) {
    voices.start_voices();
    sender.sent.clear();
    voices.set_voice_bend(0, 6144, true);
    const std::vector<Sent> expected{{0xC0, 0, 73, 0}, {0xB0, 0, 120, 0}, {0xE0, 0, 6144 & 0x7F, 6144 >> 7}};
    EXPECT_EQ(sender.sent, expected);
    sender.sent.clear();
    voices.set_voice_bend(0, 6144, true);  // the same bend again sends nothing
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(VoicesTest, StartVoicesResetsExpressionAndBendRangeOnEveryChannel) {
    voices.start_voices();
    ASSERT_EQ(sender.sent.size(), 16u + 16u * 4u);
    EXPECT_EQ(sender.sent[0], (Sent{0xB0, 0, 11, 127}));
    EXPECT_EQ(sender.sent[16], (Sent{0xB0, 0, 101, 0}));
    EXPECT_EQ(sender.sent.back(), (Sent{0xB0, 15, 38, 0}));
}

TEST_F(VoicesTest, AllNotesOffStopsWhatTheBookkeepingHolds) {
    voices.note_on(0, 0, 0, 60, 100);
    voices.note_on(1, 1, 0, 60, 100);
    voices.note_on(2, 2, 0, 67, 100);
    sender.sent.clear();
    voices.all_notes_off();
    const std::vector<Sent> expected{{0x90, 0, 60, 0}, {0x90, 1, 60, 0}, {0x90, 2, 67, 0}};
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
    const std::vector<Sent> expected{{0x90, 0, 60, 100}, {0x90, 0, 61, 100}, {0x90, 0, 60, 0},
                                     {0x90, 0, 62, 100}, {0x90, 0, 61, 0},   {0x90, 0, 63, 100},
                                     {0x90, 0, 62, 0}};
    EXPECT_EQ(sender.notes(), expected);
    sender.sent.clear();
    voices.end_note(last);
    voices.end_note(last);  // once only
    EXPECT_EQ(sender.notes(), (std::vector<Sent>{{0x90, 0, 63, 0}}));
}

TEST_F(VoicesTest, BatchedNotesGoOutWhenFlushedNoteOffsFirst) {
    voices.note_on(0, 0, 0, 60, 100);
    sender.sent.clear();
    voices.set_batching(true, true);
    voices.note_on(1, 1, 0, 64, 100);
    voices.note_off(0, 0, 0, 60, 127);
    EXPECT_TRUE(sender.sent.empty());
    voices.flush_queue();
    const std::vector<Sent> expected{{0x90, 0, 60, 0}, {0x90, 1, 64, 100}};
    EXPECT_EQ(sender.notes(), expected);
}

TEST_F(VoicesTest, LegatoStopsThePreviousNoteAfterTheNextStarts) {
    settings.legato = true;
    voices.note_on(0, 0, 0, 60, 100);
    voices.note_off(0, 0, 0, 60, 127);  // held over
    voices.note_on(0, 0, 0, 62, 100);
    const std::vector<Sent> expected{{0x90, 0, 60, 100}, {0x90, 0, 62, 100}, {0x90, 0, 60, 0}};
    EXPECT_EQ(sender.notes(), expected);
}

TEST_F(VoicesTest, ModulationVibratoAndPortamentoControllers) {
    composition.iVibrato[0] = 1;
    composition.dVibrato_amp[0] = 50;
    composition.dVibrato_vol_amp[0] = 20;
    composition.iPortamento[0] = 1;
    composition.iPortamento_slide_time[0] = 30;
    voices.apply_effects(0, 0, Effects::all);
    const std::vector<Sent> expected{{0xB0, 0, 5, 30}, {0xB0, 0, 1, 63}, {0xB0, 0, 33, 63}, {0xB0, 0, 92, 25}};
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
    ASSERT_FALSE(sender.sent.empty());
    const Sent bend = sender.sent.back();
    EXPECT_EQ(bend.status, 0xE0);
    EXPECT_EQ(bend.data1 | bend.data2 << 7, 8192 + 819);
}

}  // namespace
}  // namespace corvane::engine
