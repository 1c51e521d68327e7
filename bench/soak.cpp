// Soak: plays a fractal tune in real time through a JACK MIDI port for a long time and checks
// that it holds: every message sent arrives, the memory does not grow, the schedule does not
// drift, and with skipping on the notes that cannot be kept up with are counted as skipped.
// A probe thread on each processor tells the machine's own hold-ups from play's: a move of
// the schedule in a second in which a probe, too, was held up 20 ms or more is the machine's.
//
//   soak [--seconds S] [--skip-seconds S] [--priority LEVEL] [--stalls 1] [--latency PERIODS]
//
// The steady run plays a two-note seed with every level on a channel of its own, a step a
// millisecond (the timers' finest): each step sounds the notes of all the levels that change,
// 1 + 1/2 + 1/4 + ... of them, about 2000 note-ons a second with their note-offs and bends.
// The player runs at priority LEVEL (default 5, real time + critical, where permitted).
// It needs a running JACK server (JACK_DEFAULT_SERVER names it); scripts/soak starts one with
// the dummy driver and keeps the other core busy. Exit status 0 when every check passes.
// With a latency (2 periods by default, as the program has it; 0 sends at once) the note-ons should land on the
// millisecond grid of their steps: how far they lie from it is printed, for the first 65536.

#include <jack/jack.h>
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/midi_port_output.h"
#include "corvane/platform/priority.h"
#include "corvane/platform/reporter.h"
#include "corvane/platform/steady_timer_service.h"
#include "../tests/midi/jack_frame_recorder.h"

namespace {

using namespace corvane;
using namespace std::chrono_literals;

struct Options {
    double seconds = 600;
    double skip_seconds = 30;
    int priority = 5;
    bool stalls = false;
    int latency = 2;
};

// Counts what the port hands to the device, message by message.
class CountingOutput final : public platform::MidiOutput {
public:
    CountingOutput(std::unique_ptr<platform::MidiOutput> inner, std::atomic<long>& sent)
        : inner_(std::move(inner)), sent_(sent) {}
    bool lost() const override { return inner_->lost(); }
    void set_latency_periods(int periods) override { inner_->set_latency_periods(periods); }
    std::int64_t latency_us() const override { return inner_->latency_us(); }
    std::uint64_t late_messages() const override { return inner_->late_messages(); }
    bool finish_sending(std::chrono::milliseconds timeout) override { return inner_->finish_sending(timeout); }

private:
    int deliver_short(std::uint32_t message, platform::DueTime due) noexcept override {
        const int result = inner_->send_short(message, due);
        if (result == platform::kSendOk) sent_.fetch_add(1, std::memory_order_relaxed);
        return result;
    }

    std::unique_ptr<platform::MidiOutput> inner_;
    std::atomic<long>& sent_;
};

class CountingOutputSystem final : public platform::MidiOutputSystem {
public:
    explicit CountingOutputSystem(platform::MidiOutputSystem& inner) : inner_(inner) {}
    std::vector<std::string> output_names() override { return inner_.output_names(); }
    std::string built_in_name() override { return inner_.built_in_name(); }
    std::unique_ptr<platform::MidiOutput> open_output(int device, std::string& error) override {
        auto output = inner_.open_output(device, error);
        return output ? std::make_unique<CountingOutput>(std::move(output), sent) : nullptr;
    }
    std::atomic<long> sent{0};

private:
    platform::MidiOutputSystem& inner_;
};

// The receiving end: a JACK MIDI input that counts what arrives, without keeping it.
class CountingCapture {
public:
    explicit CountingCapture(const std::string& client) : port_(client, "capture", JackPortIsInput) {
        port_.activate(&CountingCapture::process, this);
    }
    long messages() const { return messages_.load(); }
    long note_ons() const { return note_ons_.load(); }

private:
    static int process(jack_nframes_t frames, void* self) {
        auto& capture = *static_cast<CountingCapture*>(self);
        void* buffer = capture.port_.buffer(frames);
        const std::uint32_t events = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < events; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0) continue;
            capture.messages_.fetch_add(1, std::memory_order_relaxed);
            if (event.size == 3 && (event.buffer[0] & 0xF0) == 0x90 && event.buffer[2] > 0) {
                capture.note_ons_.fetch_add(1, std::memory_order_relaxed);
            }
        }
        return 0;
    }
    std::atomic<long> messages_{0};
    std::atomic<long> note_ons_{0};
    testing::JackMidiPort port_;
};

// Counts the cycles the JACK server itself reports as overrun (xruns): a client that did not
// finish its cycle in time. What the server drops then is lost to every client alike.
class XrunCounter {
public:
    explicit XrunCounter(const std::string& client) {
        client_ = jack_client_open(client.c_str(), JackNoStartServer, nullptr);
        if (client_ == nullptr) return;
        jack_set_xrun_callback(client_, &XrunCounter::overrun, this);
        jack_activate(client_);
    }
    ~XrunCounter() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    XrunCounter(const XrunCounter&) = delete;
    XrunCounter& operator=(const XrunCounter&) = delete;
    long xruns() const { return xruns_.load(); }

private:
    static int overrun(void* self) {
        static_cast<XrunCounter*>(self)->xruns_.fetch_add(1);
        return 0;
    }
    jack_client_t* client_ = nullptr;
    std::atomic<long> xruns_{0};
};

// A thread at the timer thread's priority, kept on one processor, that sleeps to absolute
// deadlines a millisecond apart and notes how late it wakes: what the machine itself does to a
// real-time thread there. Stalls it sees (the virtual machine or the kernel holding that
// processor) are not play's doing.
class StallProbe {
public:
    StallProbe(bool real_time, unsigned int cpu) : thread_([this, real_time, cpu] { run(real_time, cpu); }) {}
    ~StallProbe() {
        stop_.store(true);
        thread_.join();
    }
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;
    double longest_ms() const { return static_cast<double>(longest_us_.load()) / 1000; }
    // The latest wake-up since the last call.
    double take_recent_longest_ms() { return static_cast<double>(recent_longest_us_.exchange(0)) / 1000; }
    long over_20_ms() const { return stalls_.load(); }
    int tid() const { return tid_.load(); }

private:
    void run(bool real_time, unsigned int cpu) {
        tid_.store(static_cast<int>(::gettid()));
        cpu_set_t cpus;
        CPU_ZERO(&cpus);
        CPU_SET(cpu, &cpus);
        pthread_setaffinity_np(pthread_self(), sizeof cpus, &cpus);
        if (real_time) platform::set_current_thread_priority(platform::ThreadPriority::time_critical);
        auto due = std::chrono::steady_clock::now();
        while (!stop_.load()) {
            due += 1ms;
            std::this_thread::sleep_until(due);
            const auto late = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - due);
            if (late.count() > longest_us_.load()) longest_us_.store(late.count());
            if (late.count() > recent_longest_us_.load()) recent_longest_us_.store(late.count());
            if (late > 20ms) {
                stalls_.fetch_add(1);
                due = std::chrono::steady_clock::now();
            }
        }
    }
    std::atomic<int> tid_{0};
    std::atomic<bool> stop_{false};
    std::atomic<long> longest_us_{0};
    std::atomic<long> recent_longest_us_{0};
    std::atomic<long> stalls_{0};
    std::thread thread_;
};

// One probe on each processor.
class StallProbes {
public:
    explicit StallProbes(bool real_time) {
        for (unsigned int cpu = 0; cpu < std::max(1u, std::thread::hardware_concurrency()); ++cpu) {
            probes_.push_back(std::make_unique<StallProbe>(real_time, cpu));
        }
    }
    double longest_ms() const {
        double longest = 0;
        for (const auto& probe : probes_) longest = std::max(longest, probe->longest_ms());
        return longest;
    }
    long over_20_ms() const {
        long count = 0;
        for (const auto& probe : probes_) count += probe->over_20_ms();
        return count;
    }
    std::vector<int> tids() const {
        std::vector<int> ids;
        for (const auto& probe : probes_) ids.push_back(probe->tid());
        return ids;
    }
    // Each processor's latest wake-up since the last call.
    std::vector<double> take_recent_longest_ms() {
        std::vector<double> longest;
        for (const auto& probe : probes_) longest.push_back(probe->take_recent_longest_ms());
        return longest;
    }

private:
    std::vector<std::unique_ptr<StallProbe>> probes_;
};

// With --stalls 1: a thread on each processor, at real-time priority 80 (above JACK's and
// the player's), that takes it for 8 ms every 300 ms: a machine that now and then holds
// every real-time thread up past a JACK cycle (5.3 ms), to see what the server does then.
class StallMaker {
public:
    StallMaker() {
        for (unsigned int cpu = 0; cpu < std::max(1u, std::thread::hardware_concurrency()); ++cpu) {
            threads_.emplace_back([this, cpu] { run(cpu); });
        }
    }
    ~StallMaker() {
        stop_.store(true);
        for (auto& thread : threads_) thread.join();
    }
    StallMaker(const StallMaker&) = delete;
    StallMaker& operator=(const StallMaker&) = delete;

private:
    void run(unsigned int cpu) {
        cpu_set_t cpus;
        CPU_ZERO(&cpus);
        CPU_SET(cpu, &cpus);
        pthread_setaffinity_np(pthread_self(), sizeof cpus, &cpus);
        const sched_param priority{.sched_priority = 80};
        if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority) != 0 && cpu == 0) {
            std::printf("(no real-time priority for the stalls: they hold up only what runs beneath them)\n");
        }
        while (!stop_.load()) {
            const auto until = std::chrono::steady_clock::now() + 8ms;
            while (std::chrono::steady_clock::now() < until) {
            }
            std::this_thread::sleep_for(300ms);
        }
    }
    std::atomic<bool> stop_{false};
    std::vector<std::thread> threads_;
};

// What each thread of this process did: time on a processor and time waiting for one
// (from /proc/self/task/*/schedstat), and its real-time priority. Taken every second, so that
// a second in which the schedule jumped shows whether the player's thread ran, waited for a
// processor, or slept (waiting on something).
struct ThreadTimes {
    long long ran_ns = 0;
    long long waited_ns = 0;
    int rt_priority = 0;
};
std::map<int, ThreadTimes> thread_times() {
    std::map<int, ThreadTimes> times;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const int tid = std::atoi(task.path().filename().c_str());
        ThreadTimes t;
        std::ifstream(task.path() / "schedstat") >> t.ran_ns >> t.waited_ns;
        std::ifstream stat(task.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        for (int i = 3; i <= 40 && fields >> field; ++i) {
            if (i == 40) t.rt_priority = std::atoi(field.c_str());
        }
        times[tid] = t;
    }
    return times;
}
void print_thread_times(const std::map<int, ThreadTimes>& before, const std::map<int, ThreadTimes>& after) {
    for (const auto& [tid, t] : after) {
        const auto old = before.find(tid);
        if (old == before.end()) continue;
        std::printf("        thread %d (real-time priority %d): ran %.1f ms, waited for a processor %.1f ms\n", tid,
                    t.rt_priority, static_cast<double>(t.ran_ns - old->second.ran_ns) / 1e6,
                    static_cast<double>(t.waited_ns - old->second.waited_ns) / 1e6);
    }
}

// Watches the player: when it has not stepped for 15 ms, says where each other real-time
// thread of the player's priority (its timer thread) is at that moment: running, or asleep in
// which system call, and for a futex whether it is the port's lock or the timer service's.
class HoldUpWatch {
public:
    struct Place {
        const char* name;
        const void* object;
        std::size_t size;
    };
    HoldUpWatch(const engine::Player& player, std::vector<Place> places, std::vector<int> ignored)
        : player_(player), places_(std::move(places)), ignored_(std::move(ignored)),
          thread_([this] { run(); }) {}
    ~HoldUpWatch() {
        stop_.store(true);
        thread_.join();
    }
    HoldUpWatch(const HoldUpWatch&) = delete;
    HoldUpWatch& operator=(const HoldUpWatch&) = delete;

private:
    void run() {
        platform::set_current_thread_priority(platform::ThreadPriority::time_critical);
        ignored_.push_back(static_cast<int>(::gettid()));
        auto last_step = player_.notes_stepped();
        auto last_change = std::chrono::steady_clock::now();
        bool told = false;
        while (!stop_.load()) {
            std::this_thread::sleep_for(1ms);
            const auto step = player_.notes_stepped();
            const auto now = std::chrono::steady_clock::now();
            if (step != last_step) {
                last_step = step;
                last_change = now;
                told = false;
            } else if (!told && now - last_change > 15ms) {
                told = true;
                tell();
            }
        }
    }
    void tell() {
        for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
            const int tid = std::atoi(task.path().filename().c_str());
            if (std::find(ignored_.begin(), ignored_.end(), tid) != ignored_.end()) continue;
            std::ifstream stat_file(task.path() / "stat");
            std::string text((std::istreambuf_iterator<char>(stat_file)), std::istreambuf_iterator<char>());
            std::istringstream fields(text.substr(text.rfind(')') + 2));
            std::string state;
            std::string field;
            fields >> state;
            int priority = 0;
            int processor = -1;
            for (int i = 4; i <= 40 && fields >> field; ++i) {
                if (i == 39) processor = std::atoi(field.c_str());
                if (i == 40) priority = std::atoi(field.c_str());
            }
            if (priority != 40) continue;
            std::string call;
            std::getline(std::ifstream(task.path() / "syscall"), call);
            std::printf("        held up 15 ms: thread %d is %s on processor %d, system call \"%s\"%s%s\n", tid,
                        state.c_str(), processor, call.c_str(), futex_place(call).c_str(), timeout_text(call).c_str());
        }
        std::fflush(stdout);
    }
    // For a futex wait with an absolute monotonic timeout (FUTEX_WAIT_BITSET), how far that
    // timeout lies from now: the timespec is on the waiting thread's stack, in this process.
    static std::string timeout_text(const std::string& call) {
        std::istringstream words(call);
        long number = -1;
        std::string address, operation, value, timeout;
        words >> number >> address >> operation >> value >> timeout;
        if (number != 202 || (std::strtoul(operation.c_str(), nullptr, 16) & 0x7F) != 9) return "";
        const auto* deadline = reinterpret_cast<const timespec*>(std::strtoull(timeout.c_str(), nullptr, 16));
        if (deadline == nullptr) return ", no timeout";
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const double ahead_ms = static_cast<double>(deadline->tv_sec - now.tv_sec) * 1e3 +
                                static_cast<double>(deadline->tv_nsec - now.tv_nsec) / 1e6;
        char text[80];
        std::snprintf(text, sizeof text, ", its timeout %.1f ms from now", ahead_ms);
        return text;
    }
    std::string futex_place(const std::string& call) const {
        std::istringstream words(call);
        long number = -1;
        std::string address_text;
        words >> number >> address_text;
        if (number != 202) return "";
        const auto address = std::strtoull(address_text.c_str(), nullptr, 16);
        for (const auto& place : places_) {
            const auto begin = reinterpret_cast<std::uintptr_t>(place.object);
            if (address >= begin && address < begin + place.size) return std::string(" (a futex in ") + place.name + ")";
        }
        return " (a futex elsewhere)";
    }

    const engine::Player& player_;
    std::vector<Place> places_;
    std::vector<int> ignored_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Where play stands against its schedule, second by second. Without skipping, play that was
// held up too long to catch up goes on from the present (it plays slower): such a move in a
// second in which a probe thread, too, was held up 20 ms or more is the machine's doing and is
// set apart; every other bit of drift is play's own.
class ScheduleLedger {
public:
    // Returns how far the schedule moved since the last second.
    double add_second(double drift, std::int64_t moved_total_ms, double probes_late_ms) {
        const std::int64_t moved_now = moved_total_ms - moved_total_ms_;
        if (std::max(probes_late_ms, last_probes_late_ms_) >= 20) machine_moved_ms_ += moved_now;
        else other_moved_ms_ += moved_now;
        const double change = drift - drift_;
        drift_ = drift;
        moved_total_ms_ = moved_total_ms;
        last_probes_late_ms_ = probes_late_ms;
        if (counting_) {
            largest_drift_ = std::max(largest_drift_, std::abs(drift - drift_at_start_));
            largest_drift_of_play_ = std::max(largest_drift_of_play_, std::abs(drift_of_play() - drift_of_play_at_start_));
        }
        return change;
    }
    // Drift counts from here on (after warm-up).
    void start_counting() {
        counting_ = true;
        drift_at_start_ = drift_;
        drift_of_play_at_start_ = drift_of_play();
    }
    bool machine_held_up() const { return last_probes_late_ms_ >= 20; }
    double drift() const { return drift_; }
    double drift_at_start() const { return drift_at_start_; }
    double largest_drift() const { return largest_drift_; }
    double largest_drift_of_play() const { return largest_drift_of_play_; }
    std::int64_t machine_moved_ms() const { return machine_moved_ms_; }
    std::int64_t other_moved_ms() const { return other_moved_ms_; }

private:
    double drift_of_play() const { return drift_ - static_cast<double>(machine_moved_ms_); }

    bool counting_ = false;
    double drift_ = 0;
    double drift_at_start_ = 0;
    double drift_of_play_at_start_ = 0;
    double largest_drift_ = 0;
    double largest_drift_of_play_ = 0;
    std::int64_t moved_total_ms_ = 0;
    std::int64_t machine_moved_ms_ = 0;
    std::int64_t other_moved_ms_ = 0;
    double last_probes_late_ms_ = 0;
};

std::string per_processor_text(const std::vector<double>& late_ms) {
    std::string text;
    for (std::size_t cpu = 0; cpu < late_ms.size(); ++cpu) {
        char part[48];
        std::snprintf(part, sizeof part, "%s%.1f ms on processor %zu", cpu == 0 ? "" : ", ", late_ms[cpu], cpu);
        text += part;
    }
    return text;
}

long resident_kib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Several levels sound together, one note a channel, so that the note rate can pass the
// one-event-a-millisecond limit of the timers.
engine::Composition soak_composition(const char* seed, double step_secs, int channels) {
    engine::Composition c;
    engine::set_seed(c, engine::read_seed(seed, engine::SeedStrictness::lenient)->values);
    c.Levels = 10;
    c.Note_length = step_secs;
    c.Channels_in_Play = channels;
    engine::select_channel_rule(c, 5);
    return c;
}


bool check(bool condition, const char* what) {
    std::printf("  %-58s %s\n", what, condition ? "ok" : "FAILED");
    return condition;
}

struct Phase {
    const char* name;
    double seconds;
    const char* seed;
    double step_secs;
    int channels;
    bool skipping;
    int priority;
    int latency;
};

// How far note-ons lie from the grid of their steps (every step_frames after the first):
// the distance to the nearest grid point, as play may skip steps and sound many notes in one.
void print_frame_errors(const std::vector<std::uint32_t>& frames, double step_frames, double rate) {
    if (frames.empty()) {
        std::printf("  frame errors: no note-on was recorded\n");
        return;
    }
    std::vector<double> errors;
    for (const std::uint32_t frame : frames) {
        const double offset = std::fmod(static_cast<double>(frame - frames.front()), step_frames);
        errors.push_back(std::min(offset, step_frames - offset));
    }
    const auto ms = [rate](double f) { return f * 1000 / rate; };
    const double median = testing::percentile(errors, 0.5);
    const double p99 = testing::percentile(errors, 0.99);
    const double worst = testing::percentile(errors, 1.0);
    std::printf("  frame errors of %zu note-ons against the step grid: median %.0f (%.2f ms), p99 %.0f (%.2f ms), "
                "worst %.0f (%.2f ms)\n",
                frames.size(), median, ms(median), p99, ms(p99), worst, ms(worst));
}

bool run_phase(const Phase& phase, const std::string& client) {
    std::printf("%s: %.0f s, seed \"%s\", a step every %.3f ms, %d channels, skipping %s, priority %d\n", phase.name,
                phase.seconds, phase.seed, phase.step_secs * 1000, phase.channels, phase.skipping ? "on" : "off",
                phase.priority);
    CountingCapture capture(client);
    const XrunCounter overruns(client + "-xruns");
    StallProbes probe(phase.priority >= 3);
    engine::Composition composition = soak_composition(phase.seed, phase.step_secs, phase.channels);
    engine::PlayerSettings settings;
    settings.ok_to_skip_fast_notes = phase.skipping;
    settings.uTimerRes = 1;
    settings.set_high_priority_for_crv = phase.priority;
    engine::VoiceSettings voice_settings;
    platform::MidiClient midi_client(platform::MidiClientOptions{platform::MidiApi::jack, client + "-out"});
    platform::MidiPortOutputSystem jack(midi_client);
    CountingOutputSystem devices(jack);
    platform::SteadyClock clock;
    platform::SteadyTimerService timers;
    platform::NoKeysHeld keys;
    platform::RecordingReporter reporter;
    midi::Playback playback(composition, settings, voice_settings,
                            midi::PlaybackMachine{devices, timers, clock, keys, reporter});
    playback.port().set_latency_periods(phase.latency);
    if (!playback.port().choose_device_named(client + ":capture") || !playback.start()) {
        return check(false, "the port opened");
    }
    testing::FrameRecorder frames(client + "-frames");
    if (!frames.connect_from(client + "-out:MIDI out")) std::printf("  (the frame recorder could not connect)\n");

    const HoldUpWatch watch(playback.player(),
                            {{"the MIDI out port", &playback.port(), sizeof(midi::MidiOutPort)},
                             {"the timer service", &timers, sizeof(timers)},
                             {"the player", &playback.player(), sizeof(engine::Player)}},
                            probe.tids());
    const std::int64_t start_ms = clock.now_ms();
    // Where play should be: a step length per step, and at each cycle's end one timer period
    // in which the tune ends and the next cycle's first note is armed.
    const auto drift_ms = [&] {
        const auto& player = playback.player();
        const double scheduled = static_cast<double>(player.notes_stepped()) * phase.step_secs * 1000 +
                                 static_cast<double>(player.cycles()) * static_cast<double>(settings.uTimerRes);
        return static_cast<double>(clock.now_ms() - start_ms) - scheduled;
    };
    const auto warm_up = static_cast<int>(std::min(10.0, phase.seconds / 4));
    long rss_after_warm_up = 0;
    ScheduleLedger schedule;
    auto last_times = thread_times();
    for (int second = 1; second <= static_cast<int>(phase.seconds); ++second) {
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point{} +
                                      std::chrono::milliseconds(start_ms + second * 1000));
        if (!playback.player().playing()) break;
        const double timer_late_ms = static_cast<double>(timers.take_worst_lateness().count()) / 1e6;
        const std::vector<double> probes_late = probe.take_recent_longest_ms();
        const double moved = schedule.add_second(drift_ms(), playback.player().schedule_moved_ms(),
                                                 *std::max_element(probes_late.begin(), probes_late.end()));
        if (second == warm_up) {
            rss_after_warm_up = resident_kib();
            schedule.start_counting();
        }
        auto times = thread_times();
        const bool moved_after_warm_up = second > warm_up && std::abs(moved) >= 5;
        if (timer_late_ms >= 10 || schedule.machine_held_up() || moved_after_warm_up) {
            std::printf("  %4d s: timer events ran at worst %.1f ms late, probes woke at worst %s; the schedule moved "
                        "%.0f ms (%ld xruns so far)\n",
                        second, timer_late_ms, per_processor_text(probes_late).c_str(), moved, overruns.xruns());
            if (moved_after_warm_up) print_thread_times(last_times, times);
        }
        last_times = std::move(times);
        if (second % 60 == 0 || second == static_cast<int>(phase.seconds)) {
            std::printf("  %4d s: %ld notes sent, %ld messages, drift %.1f ms, resident %ld KiB\n", second,
                        playback.player().played_note_count(), devices.sent.load(), schedule.drift(), resident_kib());
            std::fflush(stdout);
        }
    }
    const double elapsed = static_cast<double>(clock.now_ms() - start_ms) / 1000;
    const double final_drift = drift_ms();
    const long rss_end = resident_kib();
    const bool still_playing = playback.player().playing();
    const long note_ons = capture.note_ons();
    const std::uint64_t late = playback.port().late_messages();
    playback.stop();
    for (int i = 0; i < 200 && !playback.player().stopped(); ++i) std::this_thread::sleep_for(10ms);
    timers.cancel_all(playback.player());
    // Counted once play has stopped, so that they cover every note that can still arrive.
    const long stepped = playback.player().notes_stepped();
    const long played = playback.player().played_note_count();
    std::this_thread::sleep_for(500ms);  // the last messages cross the server
    const long sent = devices.sent.load();
    const long received = capture.messages();

    std::printf("  %.1f s: %ld steps (%.0f a second), %ld of them played, %ld skipped; %.0f note-ons a second\n",
                elapsed, stepped, static_cast<double>(stepped) / elapsed, played, std::max(0L, stepped - played),
                static_cast<double>(note_ons) / elapsed);
    std::printf("  messages sent %ld, received %ld; note-ons received %ld\n", sent, received, capture.note_ons());
    std::printf("  drift after warm-up: at most %.1f ms (play's own at most %.1f ms), at the end %.1f ms; resident %ld "
                "KiB -> %ld KiB\n",
                schedule.largest_drift(), schedule.largest_drift_of_play(), final_drift - schedule.drift_at_start(),
                rss_after_warm_up, rss_end);
    std::printf("  play held up past catching up: the schedule moved %ld ms while a probe was held up 20 ms or more "
                "(the machine's), %ld ms otherwise\n",
                static_cast<long>(schedule.machine_moved_ms()), static_cast<long>(schedule.other_moved_ms()));
    std::printf("  the JACK server reported %ld overrun cycles (xruns)\n", overruns.xruns());
    print_frame_errors(frames.frames(), phase.step_secs * frames.sample_rate(), frames.sample_rate());
    std::printf("  latency %d periods; %llu messages came too late to be placed\n", phase.latency,
                static_cast<unsigned long long>(late));
    std::printf("  probe threads (one on each processor) woke at worst %.1f ms late, %ld times more than 20 ms\n",
                probe.longest_ms(),
                probe.over_20_ms());
    bool passed = check(still_playing, "played to the end");
    passed &= check(sent == received, "every message sent arrived");
    passed &= check(rss_end - rss_after_warm_up < 1024, "resident memory grew by less than 1 MiB");
    passed &= check(schedule.largest_drift_of_play() < 50, "the schedule kept within 50 ms but for the machine's");
    if (phase.skipping) {
        passed &= check(stepped - played > 0, "notes that could not be kept up with were skipped");
        passed &= check(capture.note_ons() <= played * phase.channels, "skipped notes were not sent");
    } else {
        passed &= check(static_cast<double>(note_ons) / elapsed >= 1900, "at least 1900 note-ons a second");
    }
    return passed;
}

// Null when the command line was wrong (CLI11 has said why) or asked for help.
std::optional<Options> read_options(int argc, char** argv) {
    Options options;
    CLI::App app{"A long real-time run through a JACK port: lost messages, memory, drift"};
    app.add_option("--seconds", options.seconds, "the steady phase");
    app.add_option("--skip-seconds", options.skip_seconds, "the phase with skipping on (0: none)");
    app.add_option("--priority", options.priority, "the player's priority level")->check(CLI::Range(0, 5));
    app.add_option("--stalls", options.stalls, "1: hold every processor now and then");
    app.add_option("--latency", options.latency, "output latency in periods")->check(CLI::Range(0, 3));
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return std::nullopt;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const auto read = read_options(argc, argv);
    if (!read) return 2;
    const Options& options = *read;
    if (!platform::jack_server_running()) {
        std::fprintf(stderr, "soak: no JACK server is running (scripts/soak starts one)\n");
        return 2;
    }
    const std::string client = "corvane-soak-" + std::to_string(::getpid());
    if (const auto why = platform::set_process_priority(platform::priority_choice(options.priority).process);
        !why.empty()) {
        std::printf("(%s)\n", why.c_str());
    }
    std::optional<StallMaker> stalls;
    if (options.stalls) {
        std::printf("stalls: every processor held for 8 ms every 300 ms\n");
        stalls.emplace();
    }
    bool passed = run_phase({"steady", options.seconds, "0 1", 0.001, 12, false, options.priority, options.latency}, client);
    if (options.skip_seconds > 0) {
        // Five steps a millisecond asked of a player whose timers fire once a millisecond.
        passed &= run_phase({"skipping", options.skip_seconds, "0 2 -1 1", 0.0002, 1, true, options.priority,
                             options.latency},
                            client + "-skip");
    }
    std::printf(passed ? "soak passed\n" : "soak FAILED\n");
    return passed ? 0 : 1;
}
