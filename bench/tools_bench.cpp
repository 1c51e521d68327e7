// The scale library tools at the sizes people use them: the whole Scala archive listed,
// superparticular scales of 7 notes to the octave, every re-arrangement of a 12-step scale
// with 3 step sizes, and a list of several thousand scales sorted by "n+~-i".
#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>

#include "corvane/files/scale_list.h"
#include "corvane/files/whole_file.h"
#include "corvane/platform/reporter.h"
#include "corvane/tools/rearrangements.h"
#include "corvane/tools/scale_list_maker.h"
#include "corvane/tools/search_sort.h"
#include "corvane/tools/superparticular.h"

namespace {

using namespace corvane;

const std::filesystem::path kArchive = std::filesystem::path(CORVANE_SHARED_DATA) / "scl";

struct QuietRun {
    std::atomic<bool> halt{false};
    std::atomic<bool> exit{false};
    tools::PriorityChecks priority;
    tools::ToolRun run{halt, exit, priority};
};

std::string archive_list_text() {
    std::string text;
    const files::Settings settings;
    for (const auto& path : tools::scala_files_in(kArchive)) {
        if (const auto scl = files::read_whole_file(path)) text += tools::scale_list_line(*scl, path.filename().string(), settings);
    }
    return text;
}

void BM_MakeListOfWholeArchive(benchmark::State& state) {
    if (!std::filesystem::is_directory(kArchive)) {
        state.SkipWithError("no Scala archive");
        return;
    }
    const auto out = std::filesystem::temp_directory_path() / "corvane-tools-bench.lsc";
    std::size_t listed = 0;
    for (auto _ : state) {
        QuietRun quiet;
        platform::RecordingReporter reporter;
        tools::ScaleListJob job;
        job.folder = kArchive;
        job.list_name = out.string();
        listed = static_cast<std::size_t>(tools::make_scale_list_from_folder(job, quiet.run, reporter).scales_written);
    }
    std::filesystem::remove(out);
    state.counters["files/s"] = benchmark::Counter(static_cast<double>(listed), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_MakeListOfWholeArchive)->Unit(benchmark::kMillisecond);

void BM_SuperparticularSevenNotesToOctave(benchmark::State& state) {
    tools::SuperparticularSearch search;
    search.sps_nnotes = 7;
    search.sps_min_nnotes = 7;
    search.sps_maxscales = 1000000;
    const auto format = tuning::PitchFormat::configuration_defaults();
    std::size_t found = 0;
    for (auto _ : state) {
        QuietRun quiet;
        found = tools::find_superparticular_scales(search, format, quiet.run).scales.size();
    }
    state.counters["scales"] = static_cast<double>(found);
}
BENCHMARK(BM_SuperparticularSevenNotesToOctave)->Unit(benchmark::kMillisecond);

void BM_RearrangeTwelveStepsOfThreeSizes(benchmark::State& state) {
    // Four steps each of 9/8, 16/15 and 25/24: the multiset has 12!/(4!4!4!) = 34650 orderings.
    const files::ListEntry scale{"Three sizes",
                                 "1 9/8 81/64 729/512 6561/4096 2187/1280 729/400 243/125 1296/625 54/25 9/4 "
                                 "75/32 625/256",
                                 "", ""};
    const auto format = tuning::PitchFormat::configuration_defaults();
    std::size_t made = 0;
    for (auto _ : state) {
        QuietRun quiet;
        made = tools::find_rearrangements({scale}, format, quiet.run).scales.size();
    }
    state.counters["orderings"] = static_cast<double>(made);
    state.counters["orderings/s"] = benchmark::Counter(static_cast<double>(made), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RearrangeTwelveStepsOfThreeSizes)->Unit(benchmark::kMillisecond);

void BM_SortArchiveListByNotesAndSteps(benchmark::State& state) {
    if (!std::filesystem::is_directory(kArchive)) {
        state.SkipWithError("no Scala archive");
        return;
    }
    const files::ScaleList archive = files::read_scale_list(archive_list_text(), files::ListKind::scales).list;
    for (auto _ : state) {
        files::ScaleList list = archive;
        QuietRun quiet;
        benchmark::DoNotOptimize(tools::sort_entries(list, "n+~-i", tools::ListPart::definitions, quiet.run));
    }
    state.counters["entries"] = static_cast<double>(archive.entries.size());
}
BENCHMARK(BM_SortArchiveListByNotesAndSteps)->Unit(benchmark::kMillisecond);

}  // namespace
