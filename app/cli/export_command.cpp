#include "export_command.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/files/score_export.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::cli {
namespace {

struct ExportCommand {
    CompositionOptions composition;
    std::string output;
    PieceLengthOptions length;
    bool semitones = false;
    std::string note_length;

    // The title: the composition file's name, or the score's own.
    std::string title() const {
        const std::string& named = composition.composition_file.empty() ? output : composition.composition_file;
        return std::filesystem::path(named).stem().string();
    }

    void run() const {
        StartingPoint start = composition.start(terminal_reporter());
        if (!note_length.empty()) {
            start.composition.Note_length = expression_argument(note_length, "--note-length");
        }
        midi::MidiSaveSettings settings = files::midi_save_settings(start.settings);
        length.apply(settings);
        if (settings.end_secs() <= 0) throw UsageError("--minutes and --seconds: the piece must last more than 0 s");
        const files::ScoreOptions options{title(), semitones ? files::ScorePitch::semitones : files::ScorePitch::exact};
        const files::ScoreExportResult result =
            files::export_score(output, start.composition, settings, start.settings.player, start.settings.voices,
                                terminal_reporter(), options);
        if (!result.written()) throw Failure(result.error);
        std::cerr << "corvane-cli: exported " << tuning::format_duration(result.secs) << " to " << output << " ("
                  << result.parts << (result.parts == 1 ? " part, " : " parts, ") << result.notes
                  << (result.notes == 1 ? " note)" : " notes)") << '\n';
    }
};

}  // namespace

void add_export_command(CLI::App& app) {
    auto command = std::make_shared<ExportCommand>();
    auto* sub = app.add_subcommand("export", "Write the tune as a MusicXML score: a part for every channel that "
                                             "sounds, the percussion channel left out");
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    sub->add_option("-o,--output", command->output, "the score to write (.musicxml)")->required();
    command->length.add_to(*sub);
    sub->add_option("--note-length", command->note_length, "seconds that one level-0 note lasts (default 0.125)");
    sub->add_flag("--semitones", command->semitones,
                  "write each note as the MIDI note it sounds on, without the fraction of a semitone its pitch "
                  "bend adds (for readers of whole alters only, such as MuseScore 3)");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
