#include "save_command.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>

#include "audio_render.h"
#include "cli_support.h"
#include "composition_options.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/terminal_key_state.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::cli {
namespace {

bool has_extension(const std::string& path, std::string_view extension) {
    if (path.size() < extension.size()) return false;
    const std::string_view tail = std::string_view(path).substr(path.size() - extension.size());
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != extension[i]) return false;
    }
    return true;
}

struct SaveCommand {
    CompositionOptions composition;
    std::string output;
    PieceLengthOptions length;
    TuningOutputOptions tuning_output;
    int format = 0;
    bool single_pass = false;
    bool hex_dump = false;
    bool cycle = true;
    bool skip = false;
    std::string note_length;
    std::string soundfont;
    // The settings of Corvane.ini (or the built-in ones); options given override them.
    files::Settings config;
    struct {
        CLI::Option *format = nullptr, *single_pass = nullptr, *hex_dump = nullptr, *cycle = nullptr, *skip = nullptr;
    } given_options;

    midi::MidiSaveSettings save_settings() const {
        midi::MidiSaveSettings s = files::midi_save_settings(config);
        length.apply(s);
        if (given(given_options.format)) s.midi_file_format = format;
        if (given(given_options.hex_dump)) s.hex_dump = hex_dump;
        if (given(given_options.single_pass)) s.smf.mf_single_pass_recording = single_pass;
        return s;
    }

    engine::PlayerSettings player_settings() const {
        engine::PlayerSettings p = config.player;
        if (given(given_options.cycle)) p.cycle_melody = cycle;
        if (given(given_options.skip)) p.ok_to_skip_fast_notes = skip;
        return p;
    }

    engine::VoiceSettings voice_settings() const { return tuning_output.applied_to(config.voices); }

    void run() {
        auto start = composition.start(terminal_reporter());
        config = std::move(start.settings);
        engine::Composition c = std::move(start.composition);
        if (!note_length.empty()) c.Note_length = expression_argument(note_length, "--note-length");
        const midi::MidiSaveSettings settings = save_settings();
        if (settings.end_secs() <= 0) throw UsageError("--minutes and --seconds: the piece must last more than 0 s");
        if (has_extension(output, ".wav")) {
            platform::SynthOptions synth;
            if (!soundfont.empty()) synth.soundfont = soundfont;
            render_to_wav(c, player_settings(), voice_settings(), synth, settings.end_secs(), output);
            return;
        }
        save_midi(c, settings);
    }

    // Saves on a worker thread, showing the saved time and the file size on a terminal;
    // Escape or Ctrl-C stops it and leaves a valid, shorter file.
    void save_midi(const engine::Composition& c, const midi::MidiSaveSettings& settings) const {
        platform::TerminalKeyState keys;
        const bool on_terminal = ::isatty(2) != 0;
        std::atomic<double> saved{0};
        std::atomic<std::uint64_t> bytes{0};
        std::atomic<int> track{0};
        const engine::PlayerSettings player = player_settings();
        const engine::VoiceSettings voices = voice_settings();
        midi::MidiSaveWorker worker;
        worker.start([&](std::atomic<bool>& abort) {
            return midi::render_midi_file(output, c, settings, player, voices, terminal_reporter(), abort,
                                          [&](const midi::SaveProgress& p) {
                                              saved.store(p.saved_secs);
                                              bytes.store(p.file_bytes);
                                              track.store(p.track);
                                          });
        });
        while (worker.running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (keys.escape_down()) worker.stop();
            if (!on_terminal) continue;
            std::cerr << '\r' << (format > 0 ? "track " + std::to_string(track.load() + 1) + "  " : std::string())
                      << midi::saved_time_text(saved.load()) << "  " << midi::file_size_text(bytes.load())
                      << "\x1b[K" << std::flush;
        }
        const midi::SaveResult result = worker.wait();
        if (on_terminal) std::cerr << '\n';
        if (!result.written) throw Failure("the MIDI file " + output + " was not saved");
        std::cerr << "corvane-cli: saved " << tuning::format_duration(result.saved_secs) << " to " << output << " ("
                  << midi::file_size_text(result.file_bytes) << ")" << (result.stopped ? ", stopped early" : "")
                  << '\n';
    }
};

}  // namespace

void add_save_command(CLI::App& app) {
    auto command = std::make_shared<SaveCommand>();
    auto* sub = app.add_subcommand("save", "Save the tune as a Standard MIDI File, or as sound for a .wav name; "
                                           "Escape or Ctrl-C stops early and leaves a valid, shorter file");
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    sub->add_option("-o,--output", command->output, "the file to write: .mid, or .wav for sound")->required();
    auto& overrides = command->given_options;
    command->length.add_to(*sub);
    command->tuning_output.add_to(*sub);
    overrides.format = sub->add_option("--format", command->format, "MIDI file format: 0 one track, 1 a track per "
                                                                "channel, 2 independent tracks")
                       ->check(CLI::Range(0, 2));
    overrides.single_pass =
        sub->add_flag("--single-pass", command->single_pass, "formats 1 and 2: render once into per-track buffers");
    overrides.hex_dump =
        sub->add_flag("--hex-dump", command->hex_dump, "also write the annotated dump beside the file (.hex)");
    overrides.cycle =
        sub->add_flag("--cycle,!--no-cycle", command->cycle, "start the tune again at its end (default on)");
    overrides.skip = sub->add_flag("--skip", command->skip, "skip notes shorter than the file's time resolution");
    sub->add_option("--note-length", command->note_length, "seconds that one level-0 note lasts (default 0.125)");
    sub->add_option("--soundfont", command->soundfont, "soundfont for .wav output");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
