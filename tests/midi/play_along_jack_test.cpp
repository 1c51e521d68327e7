// Play-along through a JACK server: a keyboard of the test plays into Corvane's virtual
// MIDI input, and what Corvane's output port sends arrives at a capture port of the test.
// (How notes are re-pitched and recorded is checked without JACK in play_along_test.)
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "corvane/midi/play_along.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/rtmidi_input.h"
#include "jack_capture.h"
#include "midi_test_support.h"

namespace corvane::midi {
namespace {

using namespace std::chrono_literals;

// The test's keyboard: an output connected to the input port whose name contains `target`.
class Keyboard {
public:
    Keyboard(const std::string& client, const std::string& target)
        : outputs_(platform::RtMidiOptions{platform::MidiApi::jack, client, "keyboard"}) {
        const auto names = outputs_.output_names();
        for (std::size_t device = 0; device < names.size(); ++device) {
            if (names[device].find(target) == std::string::npos) continue;
            std::string error;
            out_ = outputs_.open_output(static_cast<int>(device), error);
        }
    }
    bool connected() const { return out_ != nullptr; }
    void send(unsigned char status, unsigned char data1, unsigned char data2) {
        EXPECT_EQ(out_->send_short(platform::pack_short_message(status & 0xF0, status & 0x0F, data1, data2)), platform::kSendOk);
        std::this_thread::sleep_for(40ms);  // in order, one JACK period or more apart
    }

private:
    platform::RtMidiOutputSystem outputs_;
    std::unique_ptr<platform::MidiOutput> out_;
};

// Corvane playing along in JACK: its output port into the test's capture, its virtual input
// port fed by the test's keyboard.
struct PlayAlongRig {
    explicit PlayAlongRig(const std::string& name)
        : client(name + "-" + std::to_string(::getpid())),
          capture(client),
          jack(composition, client),
          inputs(platform::RtMidiOptions{platform::MidiApi::jack, client + "-in", "Corvane"}),
          play_along(jack.playback, composition, settings, smf, PlayAlongMachine{inputs, jack.clock, jack.reporter},
                     folder.path()) {}

    // Output to the capture, input from our virtual port, and the keyboard connected to it.
    void connect() {
        ASSERT_TRUE(jack.choose_capture_port(client));
        ASSERT_TRUE(play_along.midi_in().enumerate_devices());
        ASSERT_EQ(play_along.midi_in().open(), OpenResult::opened);  // device 0: our virtual input
        keyboard = std::make_unique<Keyboard>(client + "-kbd", client + "-in:Corvane");
        ASSERT_TRUE(keyboard->connected());
    }

    std::string client;
    testing::Capture capture;
    testing::TempFolder folder;
    engine::Composition composition;
    PlayAlongSettings settings;
    SmfSettings smf;
    testing::JackPlayback jack;
    platform::RtMidiInputSystem inputs;
    PlayAlong play_along;
    std::unique_ptr<Keyboard> keyboard;
};

// MIDI clock, time code and active sensing pass through to the output; the modulation wheel
// gives vibrato to the play-along voice's channel only, not to the tune's channels. Then
// leaving play-along as corvane-cli does (MIDI in closed, the exit's all sound off, the port
// closed) with two keys held and a note held by the pedal leaves nothing sounding.
TEST(PlayAlongThroughJack, SystemMessagesAndTheModWheelPassAndLeavingWithKeysHeldLeavesNothingSounding) {
    if (!testing::fixture_server_running()) GTEST_SKIP() << testing::kNoJackServer;
    PlayAlongRig rig("corvane-system");
    rig.settings.iVoiceChannelForMidiInNote.fill(2);  // the keyboard plays voice 2
    rig.connect();
    ASSERT_EQ(rig.jack.playback.port().open(), OpenResult::opened);
    rig.keyboard->send(0x90, 60, 100);
    rig.keyboard->send(0xB0, 1, 127);  // modulation wheel up
    rig.keyboard->send(0xF8, 0, 0);    // clock
    rig.keyboard->send(0xFE, 0, 0);    // active sensing
    rig.keyboard->send(0xF1, 0x23, 0); // time code quarter frame
    rig.keyboard->send(0x90, 64, 100);
    rig.keyboard->send(0xB0, 64, 127);  // pedal down
    rig.keyboard->send(0x90, 67, 100);
    rig.keyboard->send(0x80, 67, 0);    // held by the pedal
    std::this_thread::sleep_for(100ms);
    std::vector<int> modulated_channels;
    std::vector<std::vector<unsigned char>> system;
    for (const auto& a : rig.capture.arrivals()) {
        if ((a.bytes[0] & 0xF0) == 0xB0 && a.bytes[1] == 1) modulated_channels.push_back(a.bytes[0] & 0x0F);
        if (a.bytes[0] >= 0xF0) system.push_back(a.bytes);
    }
    EXPECT_EQ(modulated_channels, std::vector<int>{2});
    const std::vector<std::vector<unsigned char>> passed{{0xF8}, {0xFE}, {0xF1, 0x23}};
    EXPECT_EQ(system, passed);

    rig.play_along.midi_in().close();
    rig.jack.playback.port().all_sound_off();
    rig.jack.playback.port().close();
    std::this_thread::sleep_for(60ms);
    const auto arrivals = rig.capture.arrivals();
    const auto audit = testing::audit_notes(testing::as_channel_events(arrivals), true);
    EXPECT_EQ(testing::joined(audit.faults), "");
    EXPECT_EQ(audit.notes.size(), 3u);
    EXPECT_EQ(testing::silenced_channels(arrivals), 16);
    EXPECT_TRUE(rig.jack.reporter.entries().empty()) << rig.jack.reporter.entries().front().message;
}

}  // namespace
}  // namespace corvane::midi
