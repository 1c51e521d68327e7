#include <gtest/gtest.h>

#include <RtMidi.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "../cli/run_cli.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/rtmidi_output.h"
#include "corvane/platform/thread_handoff.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

// A MIDI input of this test on the JACK server, noting what arrives and when.
class Capture {
public:
    explicit Capture(const std::string& client) : in_(RtMidi::UNIX_JACK, client) {
        in_.setCallback(&Capture::arrived, this);
    }

    RtMidiIn& input() { return in_; }

    // Waits until `count` messages have come (or three seconds have passed).
    std::vector<Bytes> wait_for(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 3s, [&] { return messages_.size() >= count; });
        return messages_;
    }
    std::vector<std::chrono::steady_clock::time_point> arrival_times() {
        const std::lock_guard lock(mutex_);
        return times_;
    }

private:
    static void arrived(double, Bytes* message, void* self) {
        auto& capture = *static_cast<Capture*>(self);
        {
            const std::lock_guard lock(capture.mutex_);
            capture.messages_.push_back(*message);
            capture.times_.push_back(std::chrono::steady_clock::now());
        }
        capture.changed_.notify_all();
    }

    // What JACK's thread uses is made before the input that starts that thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Bytes> messages_;
    std::vector<std::chrono::steady_clock::time_point> times_;
    RtMidiIn in_;
};

// A JACK MIDI input port read straight through libjack, keeping what arrives in room made
// beforehand: quick enough to read a whole cycle of thousands of messages before the next
// one starts (RtMidi's input takes too long for that under a sanitizer, and then reads a
// buffer the sender has already begun to refill).
class FloodCapture {
public:
    FloodCapture(const std::string& client, std::size_t expected) : kept_(expected) {
        client_ = jack_client_open(client.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr) return;
        port_ = jack_port_register(client_, "capture", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, &FloodCapture::process, this);
        jack_set_xrun_callback(client_, &FloodCapture::overrun, this);
        jack_activate(client_);
    }
    ~FloodCapture() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    FloodCapture(const FloodCapture&) = delete;
    FloodCapture& operator=(const FloodCapture&) = delete;

    // Waits until the room is full (or three seconds have passed); what came, packed.
    std::vector<std::uint32_t> wait_for_all() {
        for (int i = 0; i < 300 && count_.load() < kept_.size(); ++i) std::this_thread::sleep_for(10ms);
        const std::size_t count = std::min(count_.load(std::memory_order_acquire), kept_.size());
        return {kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(count)};
    }
    // Cycles the server reported overrun: what crossed it then may be lost.
    int overruns() const { return overruns_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& capture = *static_cast<FloodCapture*>(self);
        void* buffer = jack_port_get_buffer(capture.port_, frames);
        take_over(buffer);
        std::size_t at = capture.count_.load(std::memory_order_relaxed);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events && at < capture.kept_.size(); ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size != 3) continue;
            capture.kept_[at++] = static_cast<std::uint32_t>(event.buffer[0] | event.buffer[1] << 8 | event.buffer[2] << 16);
        }
        capture.count_.store(at, std::memory_order_release);
        hand_over(buffer);
        return 0;
    }
    static int overrun(void* self) {
        static_cast<FloodCapture*>(self)->overruns_.fetch_add(1);
        return 0;
    }

    std::vector<std::uint32_t> kept_;
    std::atomic<std::size_t> count_{0};
    std::atomic<int> overruns_{0};
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
};

// Names unique to this process: ctest may run these tests side by side on one server.
std::string unique(const std::string& name) { return name + "-" + std::to_string(::getpid()); }

std::optional<int> device_named(RtMidiOutputSystem& devices, const std::string& name) {
    const auto names = devices.output_names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return std::nullopt;
}

const std::vector<std::uint32_t> kPhrase = {
    pack_short_message(kProgramChange, 0, 19, 0),  pack_short_message(kPitchBend, 0, 0x00, 0x50),
    pack_short_message(kNoteOn, 0, 60, 100),       0x000040D0u,  // channel pressure 64
    pack_short_message(kNoteOff, 0, 60, 127),
};
const std::vector<Bytes> kPhraseBytes = {{0xC0, 19}, {0xE0, 0x00, 0x50}, {0x90, 60, 100}, {0xD0, 0x40}, {0x80, 60, 127}};

// Sends the phrase 20 ms apart; returns how long the sending took from first to last.
std::chrono::steady_clock::duration play_phrase(MidiOutput& output) {
    std::vector<std::chrono::steady_clock::time_point> sent;
    for (const std::uint32_t message : kPhrase) {
        if (!sent.empty()) std::this_thread::sleep_for(20ms);
        EXPECT_EQ(output.send_short(message), kSendOk);
        sent.push_back(std::chrono::steady_clock::now());
    }
    return sent.back() - sent.front();
}

class JackMidi : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("JACK_DEFAULT_SERVER", "corvane-test", 0);
        if (!jack_server_running()) GTEST_SKIP() << "no JACK server named corvane-test (ctest starts one where jackd is installed)";
    }
};

TEST_F(JackMidi, APhraseReachesAListedPortWithItsBytesInOrder) {
    Capture capture(unique("corvane-test-in"));
    capture.input().openVirtualPort("capture");
    RtMidiOutputSystem devices(RtMidiOptions{MidiApi::jack, unique("corvane-test-out"), "Corvane"});
    ASSERT_EQ(devices.api(), MidiApi::jack);
    const auto device = device_named(devices, unique("corvane-test-in") + ":capture");
    ASSERT_TRUE(device.has_value());
    EXPECT_GT(*device, kVirtualPortDevice);

    std::string error;
    auto output = devices.open_output(*device, error);
    ASSERT_NE(output, nullptr) << error;
    const auto sending = play_phrase(*output);

    EXPECT_EQ(capture.wait_for(kPhraseBytes.size()), kPhraseBytes);
    // Each message goes out at once, not held back: JACK delivers once per period (256
    // frames, 5.3 ms), so the arrivals spread over the time the sending took, give or take.
    const auto times = capture.arrival_times();
    ASSERT_EQ(times.size(), kPhraseBytes.size());
    const auto spread = times.back() - times.front();
    EXPECT_LT(spread > sending ? spread - sending : sending - spread, 20ms);
}

// A JACK port buffer holds about 2700 short messages a cycle (256 frames); a held-up player
// sends more than that at once. What does not fit goes in the next cycles, none dropped.
TEST_F(JackMidi, MoreMessagesThanACycleHoldsAllArriveInOrder) {
    constexpr int kFlood = 4000;
    FloodCapture capture(unique("corvane-test-in"), kFlood);
    RtMidiOutputSystem devices(RtMidiOptions{MidiApi::jack, unique("corvane-test-out"), "Corvane"});
    const auto device = device_named(devices, unique("corvane-test-in") + ":capture");
    ASSERT_TRUE(device.has_value());
    std::string error;
    auto output = devices.open_output(*device, error);
    ASSERT_NE(output, nullptr) << error;

    std::vector<std::uint32_t> expected;
    for (int i = 0; i < kFlood; ++i) {
        expected.push_back(pack_short_message(kNoteOn, 0, static_cast<std::uint8_t>(i % 128),
                                              static_cast<std::uint8_t>(1 + i / 128)));
        ASSERT_EQ(output->send_short(expected.back()), kSendOk);
    }
    const auto arrived = capture.wait_for_all();
    EXPECT_EQ(arrived.size(), expected.size());
    const auto first_difference = std::mismatch(arrived.begin(), arrived.end(), expected.begin(), expected.end());
    EXPECT_TRUE(first_difference.first == arrived.end())
        << "message " << first_difference.first - arrived.begin() << " of " << kFlood << " is 0x" << std::hex
        << *first_difference.first << ", not 0x" << *first_difference.second << std::dec << " ("
        << capture.overruns() << " cycles overrun)";
}

TEST_F(JackMidi, OtherProgramsConnectToTheVirtualPort) {
    const std::string client = unique("corvane-test-out");
    RtMidiOutputSystem devices(RtMidiOptions{MidiApi::jack, client, "Corvane"});
    ASSERT_EQ(devices.output_names().front(), "Corvane (virtual port)");
    std::string error;
    auto output = devices.open_output(kVirtualPortDevice, error);
    ASSERT_NE(output, nullptr) << error;

    Capture capture(unique("corvane-test-in"));
    const unsigned int ports = capture.input().getPortCount();
    unsigned int port = ports;
    for (unsigned int i = 0; i < ports; ++i) {
        if (capture.input().getPortName(i) == client + ":Corvane") port = i;
    }
    ASSERT_LT(port, ports) << "the virtual port is not among the JACK MIDI sources";
    capture.input().openPort(port, "capture");
    std::this_thread::sleep_for(20ms);  // the connection is made on the server's next cycle

    play_phrase(*output);
    EXPECT_EQ(capture.wait_for(kPhraseBytes.size()), kPhraseBytes);
}

TEST_F(JackMidi, TheDevicesCommandListsTheJackPorts) {
    Capture capture(unique("corvane-test-in"));
    capture.input().openVirtualPort("capture");

    const auto result = testing::run_cli({"devices", "--api", "jack", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto listing = nlohmann::json::parse(result.out);
    EXPECT_EQ(listing["midi_system"], "JACK");
    const auto& devices = listing["devices"];
    ASSERT_GE(devices.size(), 3u);
    EXPECT_EQ(devices[0]["device"], -1);
    EXPECT_EQ(devices[0]["kind"], "built-in synthesizer");
    EXPECT_EQ(devices[1]["device"], 0);
    EXPECT_EQ(devices[1]["name"], "Corvane (virtual port)");
    bool listed = false;
    for (const auto& device : devices) listed = listed || device["name"] == unique("corvane-test-in") + ":capture";
    EXPECT_TRUE(listed) << result.out;
}

}  // namespace
}  // namespace corvane::platform
