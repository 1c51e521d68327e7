#include <iostream>

#include <CLI/CLI.hpp>

#include "cli_support.h"
#include "convert_command.h"
#include "device_commands.h"
#include "dump_command.h"
#include "export_command.h"
#include "play_along_command.h"
#include "play_command.h"
#include "scales_commands.h"
#include "save_command.h"
#include "tune_command.h"
#include "tuning_commands.h"
#include "tuning_export_command.h"

int main(int argc, char** argv) {
    CLI::App app{"Corvane: fractal melodies, microtonal scales and MIDI, from the command line", "corvane-cli"};
    app.require_subcommand(1, 1);
    app.set_version_flag("--version", "corvane-cli 0.1");
    corvane::cli::add_tuning_commands(app);
    corvane::cli::add_device_commands(app);
    corvane::cli::add_tune_command(app);
    corvane::cli::add_play_command(app);
    corvane::cli::add_play_along_command(app);
    corvane::cli::add_save_command(app);
    corvane::cli::add_export_command(app);
    corvane::cli::add_tuning_export_command(app);
    corvane::cli::add_dump_command(app);
    corvane::cli::add_scales_commands(app);
    corvane::cli::add_convert_command(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : corvane::cli::kExitUsage;
    } catch (const corvane::cli::UsageError& e) {
        std::cerr << "corvane-cli: " << e.what() << '\n';
        return corvane::cli::kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "corvane-cli: " << e.what() << '\n';
        return corvane::cli::kExitFailure;
    }
    return 0;
}
