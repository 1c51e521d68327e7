#include "dump_command.h"

#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <system_error>

#include "cli_support.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/platform/reporter.h"

namespace corvane::cli {
namespace {

struct DumpCommand {
    std::string midi_path;
    std::string output_path;

    void run() const {
        platform::RecordingReporter reporter;
        const std::atomic<bool> abort{false};
        const std::filesystem::path output =
            output_path.empty() ? midi::hex_dump_path(midi_path) : std::filesystem::path(output_path);
        const auto result = midi::hex_dump_midi_file_to(midi_path, output, reporter, abort);
        if (!reporter.entries().empty()) {
            const auto& entry = reporter.entries().front();
            // The caption names the file when reading it failed, not when it was too large.
            const bool names_file = entry.caption.find(midi_path) != std::string::npos;
            throw Failure((names_file ? "" : midi_path + ": ") + entry.caption + ": " + entry.message);
        }
        if (result.status == midi::HexDumpStatus::output_failed) {
            throw Failure("cannot write \"" + output.string() + "\": " + std::generic_category().message(result.error));
        }
        std::cout << output.string() << '\n';
    }
};

}  // namespace

void add_dump_command(CLI::App& app) {
    auto command = std::make_shared<DumpCommand>();
    auto* sub = app.add_subcommand(
        "dump", "Write the annotated hex dump of a MIDI file (b2hedit text: \":\" hex bytes, \";\" comments)");
    sub->add_option("FILE", command->midi_path, "the MIDI file")->required();
    sub->add_option("-o,--output", command->output_path, "the dump file (default: FILE.hex beside FILE)");
    sub->footer(
        "Times are in seconds at 2 x division ticks per second (120 quarter notes a minute) until the file's\n"
        "own tempo events say otherwise. Malformed files are dumped as far as their bytes go, with comments\n"
        "saying what is wrong.");
    sub->callback([command] { command->run(); });
}

}  // namespace corvane::cli
