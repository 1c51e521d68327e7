// The JACK server dies in the middle of play: the player stops by itself at its next event,
// the user is told which device stopped working, nothing hangs, and play starts again once
// a server is back. The test runs a JACK server of its own (the dummy driver), so killing it
// leaves the other JACK tests alone.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "corvane/midi/playback.h"
#include "jack_capture.h"
#include "midi_test_support.h"

namespace corvane::midi {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::Capture;

// A JACK server of the test's own, through the same script as the ctest fixture.
class OwnJackServer {
public:
    OwnJackServer(std::string name, std::filesystem::path state) : name_(std::move(name)), state_(std::move(state)) {}
    ~OwnJackServer() { run("stop"); }
    OwnJackServer(const OwnJackServer&) = delete;
    OwnJackServer& operator=(const OwnJackServer&) = delete;

    bool start() { return run("start"); }
    void kill_now() const {
        std::ifstream pid_file(state_ / "jackd.pid");
        pid_t pid = 0;
        if (!(pid_file >> pid) || pid <= 0) return;
        ::kill(pid, SIGKILL);
        // A new server of the same name refuses to start while the old process exists.
        for (int i = 0; i < 400 && ::kill(pid, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

private:
    bool run(const char* action) const {
        const std::string command = "CORVANE_JACK_SERVER=" + name_ + " " CORVANE_JACK_FIXTURE " " + action + " '" +
                                    state_.string() + "' >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }
    std::string name_;
    std::filesystem::path state_;
};

std::size_t note_ons(Capture& capture) {
    return testing::audit_notes(testing::as_channel_events(capture.arrivals()), true).notes.size();
}

TEST(DeviceLossThroughJack, ServerKilledMidPlayStopsPlayAndPlayResumesWhenItIsBack) {
    if (std::system("command -v jackd >/dev/null 2>&1") != 0) GTEST_SKIP() << "jackd is not installed";
    const testing::TempFolder folder;
    const std::string server_name = "corvane-loss-" + std::to_string(::getpid());
    ::setenv("JACK_DEFAULT_SERVER", server_name.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
    OwnJackServer server(server_name, folder.path() / "jack");
    ASSERT_TRUE(server.start());

    const std::string client = "corvane-loss-test-" + std::to_string(::getpid());
    auto capture = std::make_unique<Capture>(client);
    engine::Composition composition;
    composition.Note_length = 0.02;
    testing::JackPlayback jack(composition, client);
    Playback& playback = jack.playback;
    ASSERT_TRUE(jack.choose_capture_port(client));
    const std::string device = playback.port().device_name();

    ASSERT_TRUE(playback.start());
    ASSERT_TRUE(testing::eventually([&] { return note_ons(*capture) >= 5; }, 5s)) << "no notes arrived";

    server.kill_now();
    const auto killed = Clock::now();
    ASSERT_TRUE(testing::eventually([&] { return playback.player().stopped(); }, 5s)) << "play went on without its server";
    const auto noticed = Clock::now();
    EXPECT_FALSE(playback.player().playing());

    const auto failure = playback.take_device_failure();  // closes the port on a dead server
    const auto closed = Clock::now();
    ASSERT_TRUE(failure.has_value());  // its text is checked without JACK in playback_test
    EXPECT_NE(failure->find("\"" + device + "\""), std::string::npos) << *failure;
    EXPECT_FALSE(playback.port().is_open());
    EXPECT_LT(noticed - killed, 2s);
    EXPECT_LT(closed - noticed, 3s);
    capture.reset();

    ASSERT_TRUE(server.start());
    capture = std::make_unique<Capture>(client);
    ASSERT_TRUE(jack.choose_capture_port(client));
    ASSERT_TRUE(playback.start()) << jack.last_report();
    EXPECT_TRUE(testing::eventually([&] { return note_ons(*capture) >= 5; }, 5s)) << "no notes after the restart";
    jack.stop();
    EXPECT_TRUE(playback.player().stopped());
}

}  // namespace
}  // namespace corvane::midi
