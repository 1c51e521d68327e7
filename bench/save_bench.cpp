// A one-hour MIDI file save of a fast tune (a note every 10 ms): notes rendered and bytes
// written per second through the whole path (player, voices, port, file writer).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

#include "corvane/engine/seed.h"
#include "corvane/midi/midi_file_save.h"

namespace {

using namespace corvane;

void save_an_hour(benchmark::State& state, int format) {
    engine::Composition composition;
    composition.Note_length = 0.01;
    engine::set_seed(composition, engine::read_seed("0 2 -1 1", engine::SeedStrictness::lenient)->values);
    composition.Levels = 10;
    midi::MidiSaveSettings settings;
    settings.midi_file_play_mins = 60;
    settings.midi_file_format = format;
    settings.mf_auto_generate_key_signatures = false;
    const engine::PlayerSettings player;
    engine::VoiceSettings voices;
    voices.change_channels_for_pitch_bends = false;
    platform::RecordingReporter reporter;
    const auto path = std::filesystem::temp_directory_path() / ("corvane-save-bench-" + std::to_string(::getpid()) + ".mid");
    midi::SaveResult result;
    for (auto _ : state) {
        std::atomic<bool> abort{false};
        result = midi::render_midi_file(path, composition, settings, player, voices, reporter, abort);
    }
    std::filesystem::remove(path);
    const auto notes = static_cast<std::int64_t>(settings.end_secs() / composition.Note_length);
    state.SetItemsProcessed(state.iterations() * notes);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(result.file_bytes));
    state.counters["file_MB"] = static_cast<double>(result.file_bytes) / 1e6;
}

void BM_SaveOneHour_Format0(benchmark::State& state) { save_an_hour(state, 0); }
BENCHMARK(BM_SaveOneHour_Format0)->Unit(benchmark::kMillisecond);
void BM_SaveOneHour_Format1(benchmark::State& state) { save_an_hour(state, 1); }
BENCHMARK(BM_SaveOneHour_Format1)->Unit(benchmark::kMillisecond);

}  // namespace
