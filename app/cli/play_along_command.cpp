#include "play_along_command.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/files/scala_file.h"
#include "corvane/midi/play_along.h"
#include "corvane/platform/combined_output.h"
#include "corvane/platform/midi_port_input.h"
#include "corvane/platform/steady_timer_service.h"
#include "corvane/tuning/note_names.h"
#include "device_choice.h"

namespace corvane::cli {
namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t interrupted = 0;
extern "C" void on_interrupt(int) { interrupted = 1; }

// The last note played from MIDI in, kept for the status line.
class LastNote final : public midi::MidiInListener {
public:
    void note_played(const midi::MidiInNote& note) override {
        const std::lock_guard lock(mutex_);
        last_ = note;
        fresh_ = true;
    }
    std::optional<midi::MidiInNote> take() {
        const std::lock_guard lock(mutex_);
        if (!fresh_) return std::nullopt;
        fresh_ = false;
        return last_;
    }

private:
    std::mutex mutex_;
    midi::MidiInNote last_;
    bool fresh_ = false;
};

// A recording that reaches its size limit says so.
class LimitMessage final : public midi::RecordingListener {
public:
    void recording_changed() override {}
    void recording_limit_reached(const std::string& message) override { std::cerr << '\n' << message << '\n'; }
};

std::string note_text(const midi::MidiInNote& note) {
    char cents[32];
    std::snprintf(cents, sizeof cents, "%.1f", note.midi_pitch * 100.0);
    const int nearest = static_cast<int>(note.midi_pitch + 0.5);
    return "Note " + tuning::note_name(nearest, tuning::Accidentals::sharps, tuning::OctaveStyle::none) + " (" + cents +
           " cents) on channel " + std::to_string(note.channel + 1);
}

struct PlayAlongCommand {
    CompositionOptions composition;
    TuningOutputOptions tuning_output;
    LatencyOption latency;
    std::string in_device;
    std::string out_device;
    std::string record_path;
    std::string mapping_path;
    bool append = false;
    bool with_tune = false;
    double seconds = 0;

    void run() {
        auto start = composition.start(terminal_reporter());
        engine::Composition c = std::move(start.composition);
        files::Settings config = std::move(start.settings);
        midi::PlayAlongSettings& settings = config.play_along;
        std::filesystem::path folder = std::filesystem::current_path();
        if (!record_path.empty()) {
            const std::filesystem::path path = std::filesystem::absolute(record_path);
            folder = path.parent_path();
            settings.szPlayAlong = path.filename().string();
            settings.wReplaceOrAppendPlayAlong = append ? 1 : 0;
            settings.enable_play_along_recording = true;
        }
        if (!mapping_path.empty()) settings.midi_in_keyboard_mapping = mapping_path;
        const std::optional<tuning::KeyboardMapping> mapping = keyboard_mapping(settings.midi_in_keyboard_mapping);

        platform::MidiClient midi_client;
        platform::CombinedOutputSystem outputs(midi_client);
        platform::MidiPortInputSystem inputs(midi_client);
        platform::SteadyClock clock;
        platform::SteadyTimerService timers;
        platform::NoKeysHeld keys;
        engine::PlayerSettings player_settings = config.player;
        if (!config.uTimerRes_set_explicitly) player_settings.uTimerRes = platform::timer_resolution_ms(timers.caps());
        platform::Reporter& reporter = terminal_reporter();
        const engine::VoiceSettings voice_settings = tuning_output.applied_to(config.voices);
        midi::Playback playback(c, player_settings, voice_settings,
                                midi::PlaybackMachine{outputs, timers, clock, keys, reporter});
        midi::PlayAlong play_along(playback, c, settings, config.smf, midi::PlayAlongMachine{inputs, clock, reporter},
                                   folder);
        play_along.set_keyboard_mapping(mapping);
        LastNote last_note;
        LimitMessage limit_message;
        play_along.midi_in_play().set_listener(&last_note);
        play_along.recorder().set_listener(&limit_message);

        playback.port().enumerate_devices();
        playback.port().set_device(chosen_output_device(playback.port(), out_device, "--out"));
        playback.port().set_latency_periods(latency.applied_to(config.output_latency_periods));
        if (!play_along.midi_in().enumerate_devices()) {
            std::cerr << "corvane-cli: " << inputs.unavailable_reason() << '\n';
        } else {
            play_along.midi_in().set_device(chosen_input_device(play_along.midi_in(), in_device, "--in"));
            play_along.midi_in().open();
        }
        const bool sounding = with_tune ? playback.start() : playback.port().open() != midi::OpenResult::failed;
        if (!sounding && outputs.last_built_in_failure() == platform::SynthFailure::audio_device) {
            std::cerr << "corvane-cli: the built-in synthesizer has no audio device to play through here; choose a "
                         "MIDI output with --out (see corvane-cli devices). Nothing sounds or is recorded until "
                         "an output is open.\n";
        }
        if (!record_path.empty()) play_along.recorder().start(midi::kRecordPlayAlongTitle);

        show_status_until_interrupted(play_along, last_note, clock);
        report_late_messages(playback.port());
        finish(playback, play_along, timers);
    }

    // The mapping the keys play through, read before any device opens; none without a file.
    static std::optional<tuning::KeyboardMapping> keyboard_mapping(const std::string& path) {
        if (path.empty()) return std::nullopt;
        auto read = files::read_keyboard_mapping_file(path);
        if (const auto* error = std::get_if<tuning::KeyboardMappingError>(&read)) throw Failure(error->message);
        return std::get<tuning::KeyboardMapping>(std::move(read));
    }

    void show_status_until_interrupted(midi::PlayAlong& play_along, LastNote& last_note, const platform::Clock& clock) {
        interrupted = 0;
        auto previous = std::signal(SIGINT, on_interrupt);
        const std::int64_t start = clock.now_ms();
        const bool on_terminal = ::isatty(2) != 0;
        std::string note = "Waiting for MIDI in";
        while (interrupted == 0) {
            if (seconds > 0 && static_cast<double>(clock.now_ms() - start) >= seconds * 1000.0) break;
            std::this_thread::sleep_for(100ms);
            if (const auto played = last_note.take()) note = note_text(*played);
            if (!on_terminal) continue;
            std::string status = note;
            if (play_along.recorder().recording_now()) {
                std::string recording = play_along.recorder().status_text();
                for (char& ch : recording) ch = ch == '\n' ? ' ' : ch;
                status += "  |  " + recording;
            }
            std::cerr << '\r' << status << "\x1b[K" << std::flush;
        }
        std::signal(SIGINT, previous);
        if (on_terminal) std::cerr << '\n';
    }

    // Ends the recording (after its first half second, as a stop sooner is ignored), then
    // the tune, and closes the ports.
    static void finish(midi::Playback& playback, midi::PlayAlong& play_along, platform::SteadyTimerService& timers) {
        midi::PlayAlongRecorder& recorder = play_along.recorder();
        while (recorder.requested()) {
            recorder.stop();
            std::this_thread::sleep_for(20ms);
        }
        recorder.wait();
        play_along.midi_in().close();
        if (playback.player().playing()) {
            playback.stop();
            for (int waited = 0; waited < 100 && !playback.player().stopped(); ++waited) std::this_thread::sleep_for(10ms);
        }
        timers.cancel_all(playback.player());
        // The exit: whatever the keyboard, the pedal and the tune left sounding stops.
        std::this_thread::sleep_for(15ms);
        playback.port().all_sound_off();
        if (!recorder.path().empty() && std::filesystem::exists(recorder.path())) {
            std::cerr << "Recorded to " << recorder.path().string() << '\n';
        }
    }
};

}  // namespace

void add_play_along_command(CLI::App& app) {
    auto command = std::make_shared<PlayAlongCommand>();
    auto* sub = app.add_subcommand(
        "play-along",
        "Play a MIDI keyboard through the composition's scale and arpeggio, optionally with the fractal tune, and "
        "record what is played; Ctrl-C ends it (a recording is closed properly)");
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    command->tuning_output.add_to(*sub);
    command->latency.add_to(*sub);
    sub->add_option("--in", command->in_device, "input device number or part of its name (see corvane-cli devices); "
                                                "0, the default, is Corvane's own virtual input port");
    sub->add_option("--out", command->out_device, "output device number or part of its name; -1, the default, is "
                                                  "the built-in synthesizer");
    sub->add_option("--record", command->record_path, "record everything played into this MIDI file (format 0)");
    sub->add_option("--kbm", command->mapping_path, "play the keys through this Scala keyboard mapping (.kbm) "
                                                    "instead of the note assignments");
    sub->add_flag("--append", command->append, "continue the recording file from its end instead of replacing it");
    sub->add_flag("--with-tune", command->with_tune, "play the fractal tune at the same time");
    sub->add_option("--seconds", command->seconds, "stop after this many seconds (default: at Ctrl-C)")
        ->check(CLI::NonNegativeNumber);
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
