#include "tuning_export_command.h"

#include <iostream>
#include <memory>

#include "cli_support.h"
#include "composition_options.h"
#include "corvane/files/tuning_export.h"

namespace corvane::cli {
namespace {

struct TuningExportCommand {
    CompositionOptions composition;
    std::string output;
    std::string format;

    files::TuningFormat chosen_format() const {
        if (const auto chosen = files::tuning_format_named(format)) return *chosen;
        throw UsageError("--format: \"" + format + "\" is no tuning format; give one of " +
                         std::string(files::kTuningFormatChoices));
    }

    void run() const {
        const files::TuningFormat chosen = chosen_format();
        const engine::Composition c = composition.build(terminal_reporter());
        const files::TuningExportResult result =
            files::export_tuning(output, chosen, c, files::tuning_name(composition.composition_file));
        if (!result.ok()) throw Failure(result.error);
        std::cerr << "corvane-cli: wrote the tuning to " << result.written.front().string();
        if (result.written.size() > 1) std::cerr << " and its keyboard mapping to " << result.written.back().string();
        if (result.held_keys > 0) {
            std::cerr << " (" << result.held_keys << (result.held_keys == 1 ? " key lies" : " keys lie")
                      << " beyond what the tuning standard can say, held at its edge)";
        }
        std::cerr << '\n';
    }
};

}  // namespace

void add_tuning_export_command(CLI::App& app) {
    auto command = std::make_shared<TuningExportCommand>();
    auto* sub = app.add_subcommand("tuning-export", "Write the composition's scale as a tuning for other "
                                                    "instruments: degree 0 on the key of the lowest note, one key "
                                                    "per degree");
    sub->option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    command->composition.add_to(*sub, ConfigurationUse::start_up);
    sub->add_option("-o,--output", command->output, "the file to write")->required();
    sub->add_option("--format", command->format,
                    "scl: a Scala scale and its keyboard mapping (.kbm) beside it; kbm: the keyboard mapping "
                    "alone; tun: an AnaMark tuning; syx: a MIDI tuning standard bulk dump of all 128 keys")
        ->required();
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
