#include <gtest/gtest.h>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <chrono>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "../cli/run_cli.h"
#include "../midi/jack_frame_recorder.h"
#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/midi_port_input.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/short_message.h"
#include "corvane/platform/thread_handoff.h"

namespace corvane::platform {
namespace {

using namespace std::chrono_literals;

using Bytes = std::vector<std::uint8_t>;

using testing::Capture;

std::string unique(const std::string& name) { return testing::unique_jack_name(name); }

// The bytes of each message that arrived.
std::vector<Bytes> bytes_of(const std::vector<testing::Arrival>& arrivals) {
    std::vector<Bytes> all;
    for (const auto& arrival : arrivals) all.push_back(arrival.bytes);
    return all;
}

// A program, a bend, a note, channel pressure 64 and the note's end.
const std::vector<Bytes> kPhrase = {{0xC0, 19}, {0xE0, 0x00, 0x50}, {0x90, 60, 100}, {0xD0, 64}, {0x80, 60, 127}};

class JackMidi : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("JACK_DEFAULT_SERVER", "corvane-test", 0);
        if (!jack_server_running()) GTEST_SKIP() << "no JACK server named corvane-test (ctest starts one where jackd is installed)";
    }
};

// The port of another program is listed, by our devices and by the devices command, and a
// phrase sent to it arrives with its bytes in order.
TEST_F(JackMidi, APhraseReachesAListedPortWithItsBytesInOrder) {
    Capture capture(unique("corvane-test-in"));
    MidiClient client(MidiClientOptions{MidiApi::jack, unique("corvane-test-out")});
    MidiPortOutputSystem devices(client);
    ASSERT_EQ(devices.api(), MidiApi::jack);
    const auto names = devices.output_names();
    const auto device = std::find(names.begin(), names.end(), unique("corvane-test-in") + ":capture") - names.begin();
    ASSERT_LT(device, std::ssize(names));
    EXPECT_GT(device, kVirtualPortDevice);

    const auto result = testing::run_cli({"devices", "--api", "jack", "--json"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto listing = nlohmann::json::parse(result.out);
    EXPECT_EQ(listing["midi_system"], "JACK");
    const auto& listed = listing["devices"];
    EXPECT_EQ(listed.at(1)["name"], "Corvane:MIDI out (virtual port)");
    EXPECT_EQ(listing["inputs"].at(0)["name"], "Corvane:MIDI in (virtual port)");
    const auto named = [&](const auto& entry) { return entry["name"] == unique("corvane-test-in") + ":capture"; };
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), named)) << result.out;

    std::string error;
    auto output = devices.open_output(static_cast<int>(device), error);
    ASSERT_NE(output, nullptr) << error;
    std::vector<std::chrono::steady_clock::time_point> sent;  // the phrase, 20 ms apart
    for (const Bytes& message : kPhrase) {
        if (!sent.empty()) std::this_thread::sleep_for(20ms);
        EXPECT_EQ(output->send_short(*packed_short_message(message)), kSendOk);
        sent.push_back(std::chrono::steady_clock::now());
    }
    const auto sending = sent.back() - sent.front();
    const auto arrivals = capture.wait_for(kPhrase.size());
    EXPECT_EQ(bytes_of(arrivals), kPhrase);
    // Each message goes out at once, not held back: JACK delivers once per period (256
    // frames, 5.3 ms), so the arrivals spread over the time the sending took (80 ms), give or
    // take a few periods and a stall of the dummy server (30 ms seen on a busy machine).
    ASSERT_FALSE(arrivals.empty());
    const auto spread = arrivals.back().at - arrivals.front().at;
    EXPECT_LT(spread > sending ? spread - sending : sending - spread, 40ms);
}

// With a latency, each message goes at the frame the server's clock gives its due time plus
// the latency, however early it was sent; one already overdue goes at the start of the next
// cycle, counted, and those after it keep their times.
TEST_F(JackMidi, TimedMessagesLandOnTheFramesOfTheirDueTimes) {
    testing::FrameRecorder recorder(unique("corvane-test-frames"));
    ASSERT_TRUE(recorder.ready());
    MidiClient client(MidiClientOptions{MidiApi::jack, unique("corvane-test-out")});
    MidiPortOutputSystem devices(client);
    const auto names = devices.output_names();
    const auto device = std::find(names.begin(), names.end(), unique("corvane-test-frames") + ":capture") - names.begin();
    std::string error;
    auto output = devices.open_output(static_cast<int>(device), error);
    ASSERT_NE(output, nullptr) << error;
    output->set_latency_periods(1);
    EXPECT_EQ(output->latency_us(), 5333);  // 256 frames at 48 kHz

    constexpr int kNotes = 10;
    constexpr std::int64_t kApartUs = 7'000;  // 336 frames
    const std::int64_t first_due = SteadyClock::steady_now_us() + 20'000;
    const auto jack_minus_steady = static_cast<std::int64_t>(jack_get_time()) - SteadyClock::steady_now_us();
    ASSERT_EQ(output->send_short(pack_short_message(kNoteOn, 0, 80, 100), DueTime{first_due - 100'000}), kSendOk);
    for (int k = 0; k < kNotes; ++k) {
        const auto note = pack_short_message(kNoteOn, 0, static_cast<std::uint8_t>(60 + k), 100);
        ASSERT_EQ(output->send_short(note, DueTime{first_due + k * kApartUs}), kSendOk);
    }
    std::this_thread::sleep_for(200ms);
    const auto frames = recorder.frames();
    const auto times = recorder.times_us();
    ASSERT_EQ(frames.size(), kNotes + 1u);
    EXPECT_EQ(frames[0] % recorder.period(), 0u);  // the overdue one
    EXPECT_NEAR(static_cast<double>(times[1]), static_cast<double>(first_due + jack_minus_steady + 5333), 50.0);
    for (int k = 1; k < kNotes; ++k) {  // within a frame (21 us)
        EXPECT_NEAR(static_cast<double>(times[k + 1] - times[1]), static_cast<double>(k * kApartUs), 21.0) << "note " << k;
    }
    EXPECT_EQ(output->late_messages(), 1u);
}

// Other programs connect to the virtual port. A tuning change and a bulk tuning dump travel
// with the short messages around them, in the order sent and with their bytes exact; one longer
// than the output's queue could ever hold is refused whole. A JACK port buffer holds about
// 2700 short messages a cycle (256 frames); a held-up player sends more than that at once: what
// does not fit goes in the next cycles, none dropped.
TEST_F(JackMidi, TheVirtualPortPassesSystemExclusiveAndMoreThanACycleHoldsInOrder) {
    std::array<TuningBytes, kMidiKeys> keys{};
    for (int key = 0; key < kMidiKeys; ++key) keys[key] = {static_cast<std::uint8_t>(key), 0x20, 0x00};
    const auto dump = bulk_tuning_dump(0, "Quarter sharp", keys);
    const auto change = single_note_tuning_change(0, 60, {60, 0x40, 0x00});
    std::vector<Bytes> sent{{0xB0, 101, 0},
                            {0xB0, 100, 3},
                            {dump.begin(), dump.end()},
                            {change.view().begin(), change.view().end()},
                            {0x90, 60, 100},
                            {change.view().begin(), change.view().end()},
                            {0x80, 60, 64}};
    for (int i = 0; i < 4000; ++i) sent.push_back({0x90, static_cast<std::uint8_t>(i % 128), static_cast<std::uint8_t>(1 + i / 128)});
    MidiClient client(MidiClientOptions{MidiApi::jack, unique("corvane-test-out")});
    MidiPortOutputSystem devices(client);
    ASSERT_EQ(devices.output_names().front(), unique("corvane-test-out") + ":MIDI out (virtual port)");
    std::string error;
    auto output = devices.open_output(kVirtualPortDevice, error);
    ASSERT_NE(output, nullptr) << error;
    Capture capture(unique("corvane-test-in"));
    ASSERT_TRUE(capture.connect_from(unique("corvane-test-out") + ":MIDI out"))
        << "the virtual port is not among the JACK MIDI sources";
    std::this_thread::sleep_for(20ms);  // the connection is made on the server's next cycle

    for (const Bytes& message : sent) {
        const auto short_message = packed_short_message(message);
        ASSERT_EQ(short_message ? output->send_short(*short_message) : output->send_sysex(message), kSendOk);
    }
    Bytes too_long(1 << 17, 0x00);
    too_long.front() = kSysexStart;
    too_long.back() = kSysexEnd;
    EXPECT_EQ(output->send_sysex(too_long), kSendInvalidMessage);
    EXPECT_EQ(output->send_sysex(Bytes{0x90, 60, 100}), kSendInvalidMessage);
    const std::vector<Bytes> arrived = bytes_of(capture.wait_for(sent.size()));
    EXPECT_EQ(arrived.size(), sent.size());
    const auto first_difference = std::mismatch(arrived.begin(), arrived.end(), sent.begin(), sent.end());
    EXPECT_TRUE(first_difference.first == arrived.end())
        << "message " << first_difference.first - arrived.begin() << " of " << sent.size() << " differs ("
        << capture.overruns() << " cycles overrun)";
}

// Another program's JACK MIDI output: sends the messages it was given, some hundreds a cycle,
// once told to start.
class Sender {
public:
    Sender(const std::string& client, std::vector<Bytes> messages)
        : messages_(std::move(messages)), port_(client, "out", JackPortIsOutput) {
        port_.activate(&Sender::process, this);
    }

    std::string port_name() const { return port_.name(); }
    void start() { started_.store(true); }

private:
    static constexpr std::size_t kPerCycle = 500;

    static int process(jack_nframes_t frames, void* self) {
        auto& sender = *static_cast<Sender*>(self);
        void* buffer = sender.port_.buffer(frames);
        take_over(buffer);
        jack_midi_clear_buffer(buffer);
        if (sender.started_.load()) {
            const std::size_t end = std::min(sender.next_ + kPerCycle, sender.messages_.size());
            for (; sender.next_ < end; ++sender.next_) {
                const auto& bytes = sender.messages_[sender.next_];
                jack_midi_event_write(buffer, 0, bytes.data(), bytes.size());
            }
        }
        hand_over(buffer);
        return 0;
    }

    std::vector<Bytes> messages_;
    std::size_t next_ = 0;  // the process thread's own
    std::atomic<bool> started_{false};
    testing::JackMidiPort port_;
};

// What an input hands on, kept in order.
class Received final : public MidiInputReceiver {
public:
    void on_short_message(std::uint32_t message) override {
        const std::lock_guard lock(mutex_);
        messages_.push_back(message);
        count_.store(messages_.size());
    }
    // Waits until `count` have come (or three seconds have passed); what came.
    std::vector<std::uint32_t> wait_for(std::size_t count = 0) {
        for (int i = 0; i < 300 && count_.load() < count; ++i) std::this_thread::sleep_for(10ms);
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    std::atomic<std::size_t> count_{0};
    std::mutex mutex_;
    std::vector<std::uint32_t> messages_;
};

// A test's own look at the server, as a patchbay sees it: every port whose full name begins
// with `prefix`, in order of name.
std::set<std::string> ports_of(jack_client_t* patchbay, const std::string& prefix) {
    std::set<std::string> found;
    if (const char** ports = jack_get_ports(patchbay, nullptr, nullptr, 0)) {
        for (const char** port = ports; *port != nullptr; ++port) {
            if (std::string_view(*port).starts_with(prefix)) found.insert(*port);
        }
        jack_free(ports);
    }
    return found;
}
bool has_client(jack_client_t* patchbay, const std::string& name) {
    char* uuid = jack_get_uuid_for_client_name(patchbay, name.c_str());
    if (uuid == nullptr) return false;
    jack_free(uuid);
    return true;
}

// Output and input are two ports of one client named Corvane, which other programs see
// while either is open and not after both have closed.
TEST_F(JackMidi, OutputAndInputArePortsOfOneClientThatLastsWhileEitherIsOpen) {
    const testing::JackMidiPort look(unique("corvane-test-patchbay"), "look", JackPortIsInput);
    jack_client_t* const patchbay = look.client();
    ASSERT_FALSE(has_client(patchbay, "Corvane")) << "another Corvane runs on the test server";
    MidiClient client(MidiClientOptions{MidiApi::jack});
    MidiPortOutputSystem outputs(client);
    MidiPortInputSystem inputs(client);
    Received received;
    std::string error;
    auto output = outputs.open_output(kVirtualPortDevice, error);
    ASSERT_NE(output, nullptr) << error;
    auto input = inputs.open_input(kVirtualPortDevice, received, error);
    ASSERT_NE(input, nullptr) << error;
    EXPECT_EQ(ports_of(patchbay, "Corvane"), (std::set<std::string>{"Corvane:MIDI in", "Corvane:MIDI out"}));
    // Our own ports are no devices to connect to.
    const auto output_names = outputs.output_names();
    const auto input_names = inputs.input_names();
    EXPECT_EQ(std::count(output_names.begin(), output_names.end(), "Corvane:MIDI in"), 0);
    EXPECT_EQ(std::count(input_names.begin(), input_names.end(), "Corvane:MIDI out"), 0);

    output.reset();
    EXPECT_EQ(ports_of(patchbay, "Corvane"), std::set<std::string>{"Corvane:MIDI in"});
    output = outputs.open_output(kVirtualPortDevice, error);
    ASSERT_NE(output, nullptr) << error;
    input.reset();
    EXPECT_EQ(ports_of(patchbay, "Corvane"), std::set<std::string>{"Corvane:MIDI out"});
    EXPECT_TRUE(has_client(patchbay, "Corvane"));
    output.reset();
    EXPECT_EQ(ports_of(patchbay, "Corvane"), std::set<std::string>{});
    EXPECT_FALSE(has_client(patchbay, "Corvane"));
}

// Another program's port, opened as an input device, is connected to our MIDI in port. What
// it sends arrives in order with its bytes, thousands over a few cycles; system exclusive
// does not. Closed while the other program goes on sending, the input hands on nothing more.
TEST_F(JackMidi, MessagesOfAnotherProgramReachTheInputInOrderUntilItCloses) {
    std::vector<Bytes> sent{{0xC0, 19}, {0xE0, 0x00, 0x50}, {0x90, 60, 100},          {0xF8},
                            {0xD0, 64}, {0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7}, {0xF1, 0x23}, {0x80, 60, 127}};
    std::vector<std::uint32_t> expected{pack_short_message(kProgramChange, 0, 19, 0),
                                        pack_short_message(kPitchBend, 0, 0x00, 0x50),
                                        pack_short_message(kNoteOn, 0, 60, 100),
                                        0x000000F8u,
                                        0x000040D0u,
                                        0x000023F1u,
                                        pack_short_message(kNoteOff, 0, 60, 127)};
    for (int i = 0; i < 20000; ++i) {  // note-ons on channel 2, 40 cycles of them
        const auto key = static_cast<std::uint8_t>(i % 128);
        const auto velocity = static_cast<std::uint8_t>(1 + (i / 128) % 127);
        sent.push_back({0x91, key, velocity});
        expected.push_back(pack_short_message(kNoteOn, 1, key, velocity));
    }
    Sender sender(unique("corvane-test-keyboard"), sent);
    MidiClient client(MidiClientOptions{MidiApi::jack, unique("corvane-test-in")});
    MidiPortInputSystem inputs(client);
    const auto names = inputs.input_names();
    ASSERT_EQ(names.front(), unique("corvane-test-in") + ":MIDI in (virtual port)");
    const auto device = std::find(names.begin(), names.end(), sender.port_name()) - names.begin();
    ASSERT_LT(device, std::ssize(names));

    Received received;
    std::string error;
    auto input = inputs.open_input(static_cast<int>(device), received, error);
    ASSERT_NE(input, nullptr) << error;
    std::this_thread::sleep_for(20ms);  // the connection is made on the server's next cycle
    sender.start();
    const auto first = received.wait_for(2007);
    ASSERT_GE(first.size(), 2007u);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 2007, expected.begin()));

    input.reset();
    const auto at_close = received.wait_for();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(received.wait_for().size(), at_close.size());
    EXPECT_LT(at_close.size(), expected.size());
    EXPECT_TRUE(std::equal(at_close.begin(), at_close.end(), expected.begin()));
}

}  // namespace
}  // namespace corvane::platform
