#include "corvane/midi/midi_out_port.h"

#include <gtest/gtest.h>

#include "../expected_output.h"
#include "corvane/midi/smf_writer_sink.h"
#include "corvane/platform/recording_output.h"
#include "midi_test_support.h"
#include "smf_reader.h"

namespace corvane::midi {
namespace {

struct FakeDevices final : platform::MidiOutputSystem {
    struct Output final : platform::MidiOutput {
        Output(std::vector<std::uint32_t>& sent, bool& drains) : sent_(sent), drains_(drains) {}
        int deliver_short(std::uint32_t message, platform::DueTime) noexcept override {
            sent_.push_back(message);
            return 0;
        }
        bool finish_sending(std::chrono::milliseconds) override { return drains_; }
        std::vector<std::uint32_t>& sent_;
        bool& drains_;
    };

    std::vector<std::string> output_names() override { return names; }
    std::string built_in_name() override { return built_in; }
    std::unique_ptr<platform::MidiOutput> open_output(int device, std::string& error) override {
        opened_device = device;
        if (fail_open) {
            error = "unavailable";
            return nullptr;
        }
        return std::make_unique<Output>(sent, drains);
    }

    std::vector<std::string> names{"Port A", "Port B"};
    std::string built_in = "Built-in synthesizer";
    bool fail_open = false;
    bool drains = true;  // what was sent leaves for the device in time
    int opened_device = -99;
    std::vector<std::uint32_t> sent;
};

struct Event {
    std::uint32_t delta;
    std::uint8_t status, channel, data1, data2;
    int length, track;
    bool operator==(const Event&) const = default;
};

struct FakeSink final : FileEventSink {
    int write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                            std::uint8_t data2, int length, int track) override {
        events.push_back({delta, status, channel, data1, data2, length, track});
        return fail ? -1 : length;
    }
    int write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int track) override {
        events.push_back({delta, platform::kSysexStart, 0, 0, 0, static_cast<int>(message.size()), track});
        return fail ? -1 : static_cast<int>(message.size());
    }
    std::vector<Event> events;
    bool fail = false;
};

class PortTest : public ::testing::Test {
protected:
    FakeDevices devices;
    platform::RecordingReporter reporter;
    MidiOutPort port{devices, reporter};
    FakeSink sink;
    double clock = 0;
    std::atomic<bool> abort{false};

    void start_render(int format, double end = 100, TrackOfChannel tracks = {0, 1, 2, 3}) {
        port.begin_render({.sink = &sink, .clock_secs = &clock, .end_secs = end, .abort = &abort,
                           .midi_file_format = format, .track_of_channel = tracks, .ticks_per_second = 1000});
    }
};

// With no port open and no render, a send does nothing, and choosing a device only chooses
// it; once open, messages go out packed, but a record-only one never plays.
TEST_F(PortTest, OnlyAnOpenPortSendsPackedMessages) {
    EXPECT_EQ(port.send({kNoteOn, 0, 60, 100}), SendResult::nothing_done);
    EXPECT_TRUE(sink.events.empty());
    port.select(0x3201);
    EXPECT_EQ(port.device(), 1);
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(devices.opened_device, -99);
    ASSERT_EQ(port.open(), OpenResult::opened);
    EXPECT_EQ(port.open(), OpenResult::already_open);
    EXPECT_EQ(devices.opened_device, 1);
    EXPECT_EQ(port.send({kPitchBend, 3, 0x00, 0x40}), SendResult::sent);
    EXPECT_EQ(port.send({kNoteOn, 0, 60, 100, 2, true}), SendResult::nothing_done);
    port.close();
    EXPECT_FALSE(port.is_open());
    EXPECT_EQ(devices.sent, std::vector<std::uint32_t>{0x004000E3u});  // expression resets reach only a file
}

TEST_F(PortTest, ClosingSwitchesOffEveryKeyTheDeviceStillSounds) {
    ASSERT_EQ(port.open(), OpenResult::opened);
    port.send({kNoteOn, 0, 60, 100});
    port.send({kNoteOn, 9, 38, 100});  // a drum sent straight to the port
    port.send({kNoteOn, 3, 64, 90});
    port.send({kNoteOn, 3, 64, 0});    // ended already
    port.send({kNoteOn, 5, 67, 90});
    port.send({kControlChange, 5, 120, 0});  // silenced already
    devices.sent.clear();
    port.close();
    const std::vector<std::uint32_t> expected{pack_short_message(kNoteOn, 0, 60, 0), pack_short_message(kNoteOn, 9, 38, 0)};
    EXPECT_EQ(devices.sent, expected);
    EXPECT_TRUE(reporter.entries().empty());
}

TEST_F(PortTest, AllSoundOffEndsTheKeysFirstAndAnUnfinishedCloseIsReported) {
    port.enumerate_devices();
    ASSERT_EQ(port.open(), OpenResult::opened);
    port.send({kNoteOn, 2, 61, 100});
    devices.sent.clear();
    port.all_sound_off();
    ASSERT_EQ(devices.sent.size(), 17u);
    EXPECT_EQ(devices.sent[0], pack_short_message(kNoteOn, 2, 61, 0));
    EXPECT_EQ(devices.sent[1], pack_short_message(kControlChange, 0, 120, 0));
    devices.drains = false;
    port.close();
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message,
              "Some MIDI messages did not reach the output device \"Built-in synthesizer\" before it closed, so notes "
              "may still be sounding there.");
}

TEST_F(PortTest, RenderWritesButNeverPlays) {
    ASSERT_EQ(port.open(), OpenResult::opened);
    start_render(0, 10);
    clock = 0.5;
    EXPECT_EQ(port.send({kNoteOn, 2, 60, 100}), SendResult::written);
    EXPECT_EQ(port.send({0xF0, 0, 1, 2}), SendResult::nothing_done);                 // system messages are not written
    EXPECT_EQ(port.send({kNoteOn, 2, 61, 100, 2, true}), SendResult::nothing_done);  // record-only is not written
    clock = 0.75;
    EXPECT_EQ(port.send({kProgramChange, 2, 5, 0, 1}), SendResult::written);
    clock = 10.5;
    EXPECT_EQ(port.send({kNoteOn, 2, 62, 100}), SendResult::dropped);  // beyond the end
    EXPECT_EQ(port.send({kNoteOff, 2, 60, 0}), SendResult::written);    // ends at the end
    EXPECT_EQ(port.send({kNoteOn, 2, 64, 0}), SendResult::written);     // so does a note-on of velocity 0
    port.end_render();
    EXPECT_TRUE(devices.sent.empty());
    // The first event keeps its time from the start: a lead-in stays in the file.
    const std::vector<Event> expected{{500, kNoteOn, 2, 60, 100, 2, 0},
                                      {250, kProgramChange, 2, 5, 0, 1, 0},
                                      {9250, kNoteOff, 2, 60, 0, 2, 0},
                                      {0, kNoteOn, 2, 64, 0, 2, 0}};
    EXPECT_EQ(sink.events, expected);
}

TEST_F(PortTest, TracksTakeTheirChannelsEventsEachTimedFromItsOwnLastEventAndAFailedWriteAborts) {
    start_render(1, 100, {0, 1, 0});  // channel 2 has no track of its own: its events go into the first
    clock = 0.1;
    port.send({kNoteOn, 0, 60, 100});
    clock = 0.2;
    port.send({kNoteOn, 1, 64, 100});
    clock = 0.3;
    port.send({kControlChange, 2, 11, 127});
    clock = 0.5;
    port.send({kNoteOff, 0, 60, 0});
    clock = 0.6;
    port.send({kNoteOff, 1, 64, 0});
    const std::vector<std::pair<std::uint32_t, int>> expected{{100, 0}, {200, 1}, {200, 0}, {200, 0}, {400, 1}};
    std::vector<std::pair<std::uint32_t, int>> got;
    for (const auto& e : sink.events) got.emplace_back(e.delta, e.track);
    EXPECT_EQ(got, expected);
    EXPECT_FALSE(abort.load());
    sink.fail = true;  // a failed write stops the render
    port.send({kNoteOn, 0, 60, 100});
    EXPECT_TRUE(abort.load());
}

TEST_F(PortTest, RecordingWritesAndPlaysAndTimesByTheClock) {
    platform::ManualClock wall(5000);
    ASSERT_EQ(port.open(), OpenResult::opened);
    port.begin_recording({.sink = &sink, .clock = &wall, .start_ms = 5000, .abort = &abort});
    wall.set(5300);
    EXPECT_EQ(port.send({kNoteOn, 1, 60, 90}), SendResult::sent);
    wall.set(5400);
    EXPECT_EQ(port.send({kNoteOn, 1, 62, 90, 2, true}), SendResult::nothing_done);
    port.end_recording();
    EXPECT_EQ(devices.sent.size(), 1u);
    ASSERT_EQ(sink.events.size(), 2u);
    EXPECT_EQ(sink.events[0].delta, 300u);
    EXPECT_EQ(sink.events[1].delta, 100u);
}

// The default device is the built-in synthesizer; a device beyond the menu has no name to give.
TEST_F(PortTest, OpenFailureMessagesNameTheDeviceFromTheMenu) {
    for (int i = 2; i < 35; ++i) devices.names.push_back("Device " + std::to_string(i));
    port.enumerate_devices();
    const auto& menu = port.out_menu();
    ASSERT_EQ(menu.size(), 36u);  // the built-in synthesizer, then 35 devices, the last slot shared
    EXPECT_EQ(menu.front().command, 0x31FF);
    EXPECT_EQ(menu[1].command, 0x3200);
    EXPECT_EQ(menu.back().command, 0x3200 + 34);
    devices.fail_open = true;
    EXPECT_EQ(port.open(), OpenResult::failed);
    EXPECT_EQ(devices.opened_device, platform::kBuiltInSynthDevice);
    port.set_device(1);
    EXPECT_EQ(port.open(), OpenResult::failed);
    port.set_device(34);
    EXPECT_EQ(port.open(), OpenResult::failed);
    EXPECT_EQ(port.open_quiet(), OpenResult::failed);

    // With no device at all, the built-in synthesizer's place goes to the first.
    port.set_device(platform::kBuiltInSynthDevice);
    devices.names.clear();
    devices.built_in.clear();
    port.enumerate_devices();
    std::string reports;
    for (const auto& entry : reporter.entries()) reports += "==== " + entry.caption + "\n" + entry.message + "\n";
    // What the user is told, caption then message: the built-in synthesizer, "Port B" and the
    // device beyond the menu did not open, then no device was found.
    testing::expect_output_as_kept(reports, "midi/expected/open_failures.txt");
    EXPECT_EQ(port.device(), 0);
}

// In a rendered format 1 file a tuning change sent for channel 1 is a system exclusive event
// of its exact bytes at its time, in that channel's track before the note-on of the same tick;
// another after the file's end is dropped. (Format 0 files, and where the change falls there,
// are checked by the properties of saved music over the tuning standard.)
TEST_F(PortTest, ATuningChangeIsWrittenInItsChannelsTrackBeforeItsNote) {
    const auto change = platform::single_note_tuning_change(0, 61, {61, 0x40, 0x00});
    testing::TempFolder folder;
    SmfWriter writer(reporter, abort);
    SmfWriterSink file(writer);
    ASSERT_TRUE(writer.create(folder / "tuned.mid"));
    writer.write_file(1, 2, 500, [&](int) {  // 500 ticks a quarter: 1000 a second
        port.begin_render({.sink = &file, .clock_secs = &clock, .end_secs = 10, .abort = &abort,
                           .midi_file_format = 1, .track_of_channel = {0, 1}, .ticks_per_second = 1000});
        clock = 0.25;
        port.send(platform::note_on(0, 60, 100));
        clock = 0.5;
        EXPECT_EQ(port.send_sysex(change.view(), 1), SendResult::written);
        port.send(platform::note_on(1, 61, 90));
        clock = 10.5;
        EXPECT_EQ(port.send_sysex(change.view(), 1), SendResult::dropped);
        port.end_render();
    });
    ASSERT_TRUE(writer.close());
    const auto music = [](const testing::SmfTrack& track) {
        std::vector<testing::SmfEvent> events;
        for (const auto& e : track.events) {
            if (e.bytes[0] != 0xFF) events.push_back(e);
        }
        return events;
    };
    const auto by_channel = testing::read_smf(folder / "tuned.mid");
    ASSERT_EQ(by_channel.tracks.size(), 3u);  // the tempo track, then channels 0 and 1
    EXPECT_EQ(music(by_channel.tracks[1]), (std::vector<testing::SmfEvent>{{250, {0x90, 60, 100}}}));
    const testing::Bytes change_bytes(change.view().begin(), change.view().end());
    EXPECT_EQ(music(by_channel.tracks[2]),
              (std::vector<testing::SmfEvent>{{500, change_bytes}, {500, {0x91, 61, 90}}}));
}

// To a device the message goes as it is, in order with the short messages; a recording output
// keeps that order. What is no whole system exclusive message does nothing.
TEST(PortSysex, ReachesTheDeviceInOrderWithTheShortMessages) {
    platform::ManualClock clock(0);
    platform::RecordingOutputSystem devices(clock);
    platform::RecordingReporter reporter;
    MidiOutPort port(devices, reporter);
    const auto change = platform::single_note_tuning_change(2, 64, {63, 0x7F, 0x7F});
    EXPECT_EQ(port.send_sysex(change.view(), 0), SendResult::nothing_done);  // not open
    ASSERT_EQ(port.open(), OpenResult::opened);
    EXPECT_EQ(port.send(platform::note_on(0, 60, 100)), SendResult::sent);
    EXPECT_EQ(port.send_sysex(change.view(), 0), SendResult::sent);
    EXPECT_EQ(port.send_sysex(std::span(change.bytes.data(), 11), 0), SendResult::nothing_done);  // no F7
    EXPECT_EQ(port.send(platform::note_on(0, 64, 100)), SendResult::sent);
    const std::vector<std::vector<std::uint8_t>> expected{
        {0x90, 60, 100}, {change.view().begin(), change.view().end()}, {0x90, 64, 100}};
    EXPECT_EQ(devices.recording()->all_bytes(), expected);
}

}  // namespace
}  // namespace corvane::midi
