// A fractal tune played in real time through RtMidi into a JACK port, captured by a MIDI
// input of the test: the notes, their pitch bends and their timing, then play stopped at
// many moments, and corvane-cli ended by Ctrl-C.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "corvane/engine/seed.h"
#include "corvane/tuning/pitch_list.h"
#include "jack_capture.h"

namespace corvane::midi {
namespace {

using namespace std::chrono_literals;

// After the tune, play is stopped at many moments, three ways: Stop (as Escape and Ctrl-C
// do), the end of a tune that does not cycle, and a change of output device in the middle of
// play followed by Stop. After each, nothing sounds. CORVANE_STOP_TRIALS sets how many (200
// by default).
TEST(PlaybackThroughJack, ATuneArrivesInTuneAndOnTimeAndEveryStopLeavesNothingSounding) {
    if (!testing::fixture_server_running()) GTEST_SKIP() << testing::kNoJackServer;
    const std::string client = "corvane-playback-test-" + std::to_string(::getpid());
    testing::Capture capture(client);

    engine::Composition composition;
    composition.Note_length = 0.05;
    engine::set_seed(composition, engine::read_seed("0 1 2 3", engine::SeedStrictness::strict)->values);
    composition.Levels = 0;
    engine::set_intervals(composition, tuning::read_pitch_list("1 16/15 9/8 6/5 5/4 4/3 45/32 3/2 8/5 5/3 9/5 15/8 2",
                                                               tuning::PitchForm::ratio, tuning::ListNotation::absolute,
                                                               composition.Frequency_of_lowest_note)
                                           .entries);
    testing::JackPlayback jack(composition, client);
    ASSERT_TRUE(jack.choose_capture_port(client));
    ASSERT_TRUE(jack.playback.start()) << jack.last_report();
    std::this_thread::sleep_for(2s);
    jack.stop();
    std::this_thread::sleep_for(50ms);

    // Ticks of the audit are places in the arrivals.
    const auto arrivals = capture.arrivals();
    const auto tune = testing::audit_notes(testing::as_channel_events(arrivals));
    EXPECT_EQ(testing::joined(tune.faults), "");  // stopping switched the last note off
    const auto& notes = tune.notes;
    ASSERT_GE(notes.size(), 30u);
    // Values 0 1 2 3 over the pentatonic mode of a just scale: 1, 9/8, 5/4, 3/2, each within
    // half a cent (64 bent by -561/4096 is 12 log2(5/4) above middle C, say).
    const std::vector<std::pair<int, int>> expected{{60, 8192}, {62, 8352}, {64, 7631}, {67, 8272}};
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(std::make_pair(notes[i].key, notes[i].bend), expected[i % 4]) << "note " << i;
        if (i > 0) {
            EXPECT_LE(notes[i - 1].off, notes[i].on) << "note " << i << " overlaps the one before";
        }
    }

    // On the schedule: note k arrives 50 ms a note after the first, the cycles keeping time,
    // within a JACK period or two. Checked for most notes rather than all, as a loaded machine
    // may hold one back; the last shows there is no drift.
    const auto schedule_error = [&](std::size_t k) {
        const auto offset = arrivals[notes[k].on].at - arrivals[notes[0].on].at;
        return std::fabs(std::chrono::duration<double, std::milli>(offset).count() - 50.0 * static_cast<double>(k));
    };
    std::size_t on_time = 0;
    for (std::size_t k = 1; k < notes.size(); ++k) on_time += schedule_error(k) <= 15.0 ? 1 : 0;
    EXPECT_GE(on_time * 10, (notes.size() - 1) * 8) << on_time << " of " << notes.size() - 1 << " on time";
    EXPECT_LE(schedule_error(notes.size() - 1), 30.0);

    // Faster, held by sustain, over three channels with a level each.
    composition.Note_length = 0.02;
    composition.Sustain = 2.5;
    engine::set_seed(composition, engine::read_seed("0 2 -1 1", engine::SeedStrictness::strict)->values);
    composition.Channels_in_Play = 3;
    composition.Voices_for_channels[1] = 40;
    composition.Voices_for_channels[2] = 19;
    composition.Choose_channels_by = 5;
    const int device_command = jack.playback.port().device() + kFirstDeviceCommand;
    const char* trials_text = std::getenv("CORVANE_STOP_TRIALS");
    const int trials = trials_text != nullptr ? std::atoi(trials_text) : 200;
    std::mt19937 random(19);
    std::uniform_int_distribution<int> moment_ms(5, 250);
    for (int trial = 0; trial < trials; ++trial) {
        const int way = trial % 3;
        jack.settings.cycle_melody = way != 1;
        composition.Levels = way == 1 ? 1 : 2;  // the tune that ends: 16 notes, 0.32 s; else 64 notes a cycle
        ASSERT_TRUE(jack.playback.start()) << jack.last_report();
        if (way == 1) {
            for (int i = 0; i < 300 && !jack.playback.player().stopped(); ++i) std::this_thread::sleep_for(10ms);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
            if (way == 2) {
                jack.playback.port().select(device_command);
                std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random) / 4));
            }
        }
        jack.stop();
        if (trial % 20 == 19 || trial == trials - 1) {
            std::this_thread::sleep_for(30ms);  // a JACK cycle or two for the last messages
            const auto audit = testing::audit_notes(testing::as_channel_events(capture.arrivals()), true);
            ASSERT_EQ(testing::joined(audit.faults), "") << "after trial " << trial;
        }
    }
}

// corvane-cli play into the capture port, interrupted with Ctrl-C (SIGINT) at two moments:
// after it exits, nothing sounds, and the exit's all sound off reached every channel.
TEST(PlaybackThroughJack, CtrlCEndsCorvaneCliWithNothingSounding) {
    if (!testing::fixture_server_running()) GTEST_SKIP() << testing::kNoJackServer;
    const std::string client = "corvane-cli-stop-" + std::to_string(::getpid());
    testing::Capture capture(client);
    for (const int after_ms : {900, 1560}) {
        const std::size_t before = capture.arrivals().size();
        const pid_t child = ::fork();
        if (child == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            const std::string device = client + ":capture";
            ::execl(CORVANE_CLI, CORVANE_CLI, "play", "--no-config", "--device", device.c_str(), "--seed", "0 2 -1 1",
                    "--levels", "3", "--scale", "e31", "--channels-in-play", "3", "--voices", "73 40 19",
                    "--choose-channels-by", "0", "--sustain", "2", nullptr);
            ::_exit(127);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(after_ms));
        ::kill(child, SIGINT);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "after " << after_ms << " ms: " << status;
        std::this_thread::sleep_for(30ms);
        const auto all = capture.arrivals();
        const std::vector<testing::Arrival> run(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
        const auto audit = testing::audit_notes(testing::as_channel_events(run), true);
        EXPECT_EQ(testing::joined(audit.faults), "") << "after " << after_ms << " ms";
        EXPECT_GT(audit.notes.size(), 0u) << "after " << after_ms << " ms";  // it had begun to play
        EXPECT_EQ(testing::silenced_channels(run), 16) << "after " << after_ms << " ms";
    }
}

}  // namespace
}  // namespace corvane::midi
