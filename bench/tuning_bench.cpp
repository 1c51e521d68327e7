// Throughput of the tuning core: expressions, pitch formatting and Scala parsing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_format.h"
#include "corvane/tuning/scala.h"

namespace {

using namespace corvane::tuning;

const std::vector<std::string> kExpressions{
    "3/2", "n(7/12)", "`701.955", "1.0594630943592953", "(5/4)*(6/5)", "2^(1/13)", "81/80", "e(l(3)/2)",
};

void BM_EvaluateExpression(benchmark::State& state) {
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(evaluate_or_default(kExpressions[i++ % kExpressions.size()], 0.0, PitchForm::ratio));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EvaluateExpression);

// A twelve-tone mix of ratios, equal-tempered steps and plain decimals.
std::vector<double> pitches_to_format() {
    std::vector<double> values;
    for (int i = 1; i <= 12; ++i) values.push_back(std::exp2(i / 12.0));
    for (double r : {9.0 / 8, 5.0 / 4, 4.0 / 3, 3.0 / 2, 5.0 / 3, 15.0 / 8, 45.0 / 32, 81.0 / 64}) values.push_back(r);
    for (double d : {1.0123456789, 1.3141592653, 1.7777777777}) values.push_back(d);
    return values;
}

void format_all(benchmark::State& state, const PitchFormat& settings) {
    const auto values = pitches_to_format();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(format_pitch_value(values[i++ % values.size()], PitchForm::ratio, settings));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FormatPitch_Defaults(benchmark::State& state) { format_all(state, PitchFormat::configuration_defaults()); }
BENCHMARK(BM_FormatPitch_Defaults);

void BM_FormatPitch_FullPrecision(benchmark::State& state) { format_all(state, PitchFormat::full_precision()); }
BENCHMARK(BM_FormatPitch_FullPrecision);

std::vector<std::string> archive_texts() {
    std::vector<std::string> texts;
    const std::filesystem::path folder = std::filesystem::path(CORVANE_SHARED_DATA) / "scl";
    if (!std::filesystem::is_directory(folder)) return texts;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".scl") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        texts.push_back(text.str());
    }
    return texts;
}

// Files parsed per second over the whole Scala archive (held in memory, so no disk time).
void BM_ParseScalaArchive(benchmark::State& state) {
    static const std::vector<std::string> texts = archive_texts();
    if (texts.empty()) {
        state.SkipWithError("no Scala archive beside the checkout");
        return;
    }
    std::int64_t bytes = 0;
    for (const auto& t : texts) bytes += static_cast<std::int64_t>(t.size());
    for (auto _ : state) {
        for (const auto& text : texts) benchmark::DoNotOptimize(read_scala_text(text));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(texts.size()));
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_ParseScalaArchive)->Unit(benchmark::kMillisecond);

}  // namespace
