// Speed of MIDI file writing and of the hex dump: an hour of a fast tune (one 10 ms note
// every 10 ms, four channels in turn) written in formats 0 and 1, the same event list
// written by python3-mido for comparison, and the dump of the hour and of the shared files.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "corvane/midi/hex_dump.h"
#include "corvane/midi/smf_writer.h"

namespace {

using namespace corvane;

// The tune: note k starts at k x 10 ms and ends 10 ms later, on channel k mod 4. At 250
// ticks per quarter note and 120 quarter notes a minute, 10 ms is 5 ticks.
constexpr int kNotes = 360000;  // one hour
constexpr int kChannels = 4;
constexpr int kDivision = 250;
constexpr std::uint32_t kTicksPerNote = 5;

std::uint8_t pitch_of(int k) { return static_cast<std::uint8_t>(48 + (k * 7) % 36); }

// Plays the hour into the writer as the save's send operation would: time order, deltas from
// the previous event of the file (format 0) or of the channel (formats 1 and 2).
void render_hour(midi::SmfWriter& writer, int format) {
    std::array<std::uint32_t, kChannels> last_tick{};
    std::uint32_t last_any = 0;
    const auto send = [&](std::uint32_t tick, std::uint8_t status, int channel, std::uint8_t note, std::uint8_t velocity) {
        auto& last = format == 0 ? last_any : last_tick[static_cast<std::size_t>(channel)];
        const std::uint32_t delta = tick - last;
        last = tick;
        const std::array<std::uint8_t, 2> data{note, velocity};
        writer.write_channel_event(delta, status, channel, data, format == 0 ? 0 : channel);
    };
    for (int k = 0; k < kNotes; ++k) {
        const auto start = static_cast<std::uint32_t>(k) * kTicksPerNote;
        const int channel = k % kChannels;
        send(start, 0x90, channel, pitch_of(k), 100);
        send(start + kTicksPerNote, 0x80, channel, pitch_of(k), 0);
    }
}

std::filesystem::path temp_file(const std::string& name) {
    return std::filesystem::temp_directory_path() / ("corvane-midi-bench-" + std::to_string(::getpid()) + "-" + name);
}

// Writes the hour; returns the file's size.
std::uintmax_t write_hour(const std::filesystem::path& path, int format) {
    platform::RecordingReporter reporter;
    std::atomic<bool> abort{false};
    midi::SmfWriter writer(reporter, abort);
    writer.create(path);
    const int tracks = format == 0 ? 1 : kChannels;
    writer.write_file(format, tracks, kDivision, [&](int) { render_hour(writer, format); });
    writer.close();
    return std::filesystem::file_size(path);
}

void BM_WriteHour(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    const auto path = temp_file("hour.mid");
    std::uintmax_t bytes = 0;
    for (auto _ : state) bytes = write_hour(path, format);
    std::filesystem::remove(path);
    const auto events = static_cast<std::int64_t>(2 * kNotes);
    state.SetItemsProcessed(state.iterations() * events);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WriteHour)->ArgName("format")->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

std::string python() { return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

// Seconds mido took to build and save the same hour, as the script reports; negative when
// the script could not run.
double mido_seconds(int format) {
    const auto out = temp_file("mido.mid");
    const auto report = temp_file("mido.txt");
    const std::string command = python() + " '" CORVANE_SOURCE_DIR "/bench/mido_baseline.py' --format " +
                                std::to_string(format) + " --out '" + out.string() + "' > '" + report.string() + "'";
    const int status = std::system(command.c_str());
    double seconds = -1;
    if (status == 0) std::ifstream(report) >> seconds;
    std::filesystem::remove(out);
    std::filesystem::remove(report);
    return seconds;
}

// The same hour through python3-mido, timed in the same run: the ratio is mido's time over ours.
void BM_MidoRatio(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    const auto path = temp_file("ratio.mid");
    for (auto _ : state) {
        double best = 1e300;
        for (int i = 0; i < 3; ++i) {
            const auto start = std::chrono::steady_clock::now();
            write_hour(path, format);
            best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
        const double mido = mido_seconds(format);
        if (mido < 0) {
            state.SkipWithError("bench/mido_baseline.py did not run (is python3-mido installed?)");
            break;
        }
        state.counters["corvane_s"] = best;
        state.counters["mido_s"] = mido;
        state.counters["ratio"] = mido / best;
        state.counters["mido_events_per_s"] = 2.0 * kNotes / mido;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_MidoRatio)->ArgName("format")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

void BM_DumpHour(benchmark::State& state) {
    const auto midi_path = temp_file("dump.mid");
    const auto hex_path = temp_file("dump.hex");
    const auto bytes = write_hour(midi_path, 0);
    platform::RecordingReporter reporter;
    const std::atomic<bool> abort{false};
    for (auto _ : state) midi::hex_dump_midi_file_to(midi_path, hex_path, reporter, abort, 2.0 * kDivision);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(state.iterations() * (2 * kNotes));
    state.counters["dump_bytes"] = static_cast<double>(std::filesystem::file_size(hex_path));
    std::filesystem::remove(midi_path);
    std::filesystem::remove(hex_path);
}
BENCHMARK(BM_DumpHour)->UseRealTime()->Unit(benchmark::kMillisecond);

// The files of other programs, dumped in memory.
void BM_DumpSharedFiles(benchmark::State& state) {
    std::vector<std::vector<std::uint8_t>> files;
    const std::filesystem::path shared = std::filesystem::path(CORVANE_SHARED_DATA) / "midi";
    if (std::filesystem::is_directory(shared)) {
        for (const auto& entry : std::filesystem::directory_iterator(shared)) {
            if (entry.path().extension() != ".mid") continue;
            std::ifstream in(entry.path(), std::ios::binary);
            files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (files.empty()) {
        state.SkipWithError("no shared MIDI files");
        return;
    }
    std::int64_t bytes = 0;
    for (const auto& f : files) bytes += static_cast<std::int64_t>(f.size());
    for (auto _ : state) {
        for (const auto& f : files) benchmark::DoNotOptimize(midi::hex_dump_text(f, "file.mid"));
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_DumpSharedFiles)->Unit(benchmark::kMillisecond);

}  // namespace
