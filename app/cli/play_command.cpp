#include "play_command.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <thread>

#include "audio_render.h"
#include "cli_support.h"
#include "composition_options.h"
#include "device_choice.h"
#include "corvane/engine/fractal_tune.h"
#include "corvane/midi/playback.h"
#include "corvane/platform/combined_output.h"
#include "corvane/platform/fluidsynth_output.h"
#include "corvane/platform/priority.h"
#include "corvane/platform/steady_timer_service.h"
#include "corvane/platform/terminal_key_state.h"

namespace corvane::cli {
namespace {

using engine::Composition;

// The display update the player posts: a flag the main loop picks up.
class DisplayFlag final : public engine::PlayerListener {
public:
    void play_display_update() override { update_.store(true); }
    void priority_reset() override {}
    void play_stopped() override { stopped_.store(true); }
    bool take_update() { return update_.exchange(false); }
    bool stopped() const { return stopped_.load(); }

private:
    std::atomic<bool> update_{false};
    std::atomic<bool> stopped_{false};
};

struct PlayCommand {
    CompositionOptions composition;
    std::string device;
    std::string wav_path;
    std::string soundfont;
    double seconds = 0;
    std::string note_length;
    std::string sustain;
    bool cycle = true;
    bool skip = false;
    int look_ahead = 0;
    int priority = 1;
    TuningOutputOptions tuning_output;
    LatencyOption latency;
    // The settings of Corvane.ini (or the built-in ones); options given override them.
    files::Settings config;
    struct {
        CLI::Option *cycle = nullptr, *skip = nullptr, *look_ahead = nullptr, *priority = nullptr;
    } given_options;

    Composition build() {
        auto start = composition.start(terminal_reporter());
        config = std::move(start.settings);
        Composition c = std::move(start.composition);
        if (!note_length.empty()) c.Note_length = expression_argument(note_length, "--note-length");
        if (!sustain.empty()) engine::set_sustain(c, expression_argument(sustain, "--sustain"), terminal_reporter());
        return c;
    }

    engine::PlayerSettings player_settings() const {
        engine::PlayerSettings s = config.player;
        if (given(given_options.cycle)) s.cycle_melody = cycle;
        if (given(given_options.skip)) s.ok_to_skip_fast_notes = skip;
        if (given(given_options.look_ahead)) s.iLookAhead = look_ahead;
        if (given(given_options.priority)) s.set_high_priority_for_crv = priority;
        s.escape_interrupts = true;
        return s;
    }

    engine::VoiceSettings voice_settings() const { return tuning_output.applied_to(config.voices); }

    int priority_level() const { return player_settings().set_high_priority_for_crv; }

    platform::SynthOptions synth_options() const {
        platform::SynthOptions options;
        if (!soundfont.empty()) options.soundfont = soundfont;
        return options;
    }

    void run() {
        Composition c = build();
        if (!wav_path.empty()) {
            write_wav(c, wav_path);
            return;
        }
        play_live(c);
    }

    // The process priority of the chosen level; where the system does not permit it, say so
    // and play on as before.
    void apply_priority() const {
        const auto choice = platform::priority_choice(priority_level());
        if (const std::string why = platform::set_process_priority(choice.process); !why.empty()) {
            std::cerr << "corvane-cli: " << why << '\n';
        }
        const auto status = engine::priority_status_text(priority_level(), true);
        if (!status.empty()) std::cerr << status << '\n';
    }

    void play_live(Composition& c) const {
        apply_priority();
        platform::MidiClient midi_client;
        platform::CombinedOutputSystem devices(midi_client, synth_options());
        platform::SteadyClock clock;
        platform::SteadyTimerService timers;
        platform::TerminalKeyState keys;
        DisplayFlag display;
        engine::PlayerSettings settings = player_settings();
        if (!config.uTimerRes_set_explicitly) settings.uTimerRes = platform::timer_resolution_ms(timers.caps());
        const engine::VoiceSettings voice_settings = this->voice_settings();
        auto playback = std::make_unique<midi::Playback>(
            c, settings, voice_settings, midi::PlaybackMachine{devices, timers, clock, keys, terminal_reporter()},
            &display);
        playback->port().enumerate_devices();
        playback->port().set_device(chosen_output_device(playback->port(), device, "--device"));
        playback->port().set_latency_periods(latency.applied_to(config.output_latency_periods));
        if (!playback->start()) {
            if (devices.last_built_in_failure() != platform::SynthFailure::audio_device) throw Failure("no sound");
            std::cerr << "corvane-cli: the built-in synthesizer has no audio device to play through here; "
                         "writing the sound to corvane-play.wav instead\n";
            playback.reset();
            write_wav(c, "corvane-play.wav");
            return;
        }
        show_status_until_done(*playback, c, display, keys, clock);
        report_late_messages(playback->port());
        playback->stop();
        for (int waited = 0; waited < 100 && !playback->player().stopped(); ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        timers.cancel_all(playback->player());
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
        playback->port().all_sound_off();  // the exit, as the program's own
        if (::isatty(2) != 0) std::cerr << '\n';
        if (priority_level() != 1) platform::restore_normal_priority();
        if (auto failure = playback->take_device_failure()) throw Failure(*failure);
    }

    void show_status_until_done(midi::Playback& playback, const Composition& c, DisplayFlag& display,
                                const platform::TerminalKeyState& keys, const platform::Clock& clock) const {
        auto tune = std::make_unique<engine::FractalTune>();
        engine::build_fractal_tune(*tune, c.Note_heights, c.Levels, clock);
        const std::int64_t start = clock.now_ms();
        const bool on_terminal = ::isatty(2) != 0;
        while (playback.player().playing() && !keys.escape_down()) {
            if (seconds > 0 && static_cast<double>(clock.now_ms() - start) >= seconds * 1000.0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!display.take_update() || !on_terminal) continue;
            const auto& player = playback.player();
            std::cerr << '\r' << player.note_text() << "  " << player.cycle_text() << "  "
                      << engine::tune_line_text(*tune, player.notes_stepped(), player_settings().iLookAhead)
                      << "\x1b[K" << std::flush;
        }
    }

    void write_wav(Composition& c, const std::string& path) const {
        render_to_wav(c, player_settings(), voice_settings(), synth_options(), seconds > 0 ? seconds : 10.0, path);
    }
};

}  // namespace

void add_play_command(CLI::App& app) {
    auto command = std::make_shared<PlayCommand>();
    auto* sub = app.add_subcommand("play", "Play a fractal tune in real time, showing the note, the cycle and the "
                                           "tune line; Escape or Ctrl-C stops it with every note switched off");
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);  // later options win
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    command->tuning_output.add_to(*sub);
    command->latency.add_to(*sub);
    sub->add_option("--device", command->device, "output device number or part of its name (see corvane-cli "
                                                 "devices); -1, the default, is the built-in synthesizer");
    sub->add_option("--seconds", command->seconds, "stop after this many seconds (default: until stopped; 10 for "
                                                   "--wav)")
        ->check(CLI::NonNegativeNumber);
    sub->add_option("--note-length", command->note_length, "seconds that one level-0 note lasts (default 0.125)");
    sub->add_option("--sustain", command->sustain, "how many notes each note sounds for, 0 to 300 (default 1)");
    command->given_options.cycle =
        sub->add_flag("--cycle,!--no-cycle", command->cycle, "start the tune again at its end (default on)");
    command->given_options.skip =
        sub->add_flag("--skip", command->skip, "keep to the schedule, skipping late notes, rather than play slower");
    command->given_options.look_ahead =
        sub->add_option("--look-ahead", command->look_ahead, "notes computed ahead of the one that sounds")
            ->check(CLI::Range(0, 2559));
    command->given_options.priority =
        sub->add_option("--priority", command->priority, "0 idle, 1 normal (default), 2 high, 3 critical time, 4 "
                                                         "real time, 5 real time + critical; Shift+Escape drops back")
            ->check(CLI::Range(0, 5));
    sub->add_option("--wav", command->wav_path, "write the sound of the built-in synthesizer to this WAV file "
                                                "instead of playing it");
    sub->add_option("--soundfont", command->soundfont, "soundfont for the built-in synthesizer");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
