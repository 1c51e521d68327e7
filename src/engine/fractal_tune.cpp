#include "corvane/engine/fractal_tune.h"

#include <algorithm>
#include <climits>

#include "corvane/engine/composition.h"

namespace corvane::engine {
namespace {

// Depth-first expansion: every note of a level is replaced by the whole seed moved to it.
class TuneBuilder {
public:
    TuneBuilder(FractalTune& tune, std::span<const int> seed, const platform::Clock& clock)
        : tune_(tune), seed_(seed), clock_(clock), start_ms_(clock.now_ms()) {}

    void expand(int depth, std::int64_t base) {
        if (tune_.tune_timed_out || tune_.tune_full) return;
        if (tune_.count >= MaxTuneNotes) {
            tune_.tune_full = true;
            tune_.tune_truncated = true;
            return;
        }
        if (depth == 0) {
            append(base);
            return;
        }
        for (const int step : seed_) expand(depth - 1, base + step);
    }

private:
    void append(std::int64_t value) {
        tune_.values[static_cast<std::size_t>(tune_.count++)] =
            static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
        if (tune_.count % kNotesBetweenClockReadings == 0 && clock_.now_ms() - start_ms_ > kTuneBuildLimitMs) {
            tune_.tune_timed_out = true;
        }
    }

    FractalTune& tune_;
    std::span<const int> seed_;
    const platform::Clock& clock_;
    std::int64_t start_ms_;
};

void shift_lowest_to_zero(FractalTune& tune) {
    const auto notes = tune.notes();
    const int lowest = std::min(0, *std::min_element(notes.begin(), notes.end()));
    if (lowest >= 0) return;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        tune.values[i] = static_cast<int>(std::min<std::int64_t>(std::int64_t{tune.values[i]} - lowest, INT_MAX));
    }
}

void append_value(std::string& line, int value) {
    line += std::to_string(value);
    line += ' ';
}

}  // namespace

void build_fractal_tune(FractalTune& tune, std::span<const int> seed, int levels, const platform::Clock& clock) {
    tune.count = 0;
    tune.tune_full = tune.tune_truncated = tune.tune_timed_out = false;
    TuneBuilder(tune, seed, clock).expand(std::clamp(levels, 0, kMaxLevels) + 1, 0);
    if (tune.count < 1) {  // an empty seed: one silent-looking note of value 0
        tune.count = 1;
        tune.values[0] = 0;
    }
    shift_lowest_to_zero(tune);
}

std::string tune_line_text(const FractalTune& tune, std::int64_t current_note, int look_ahead) {
    const std::int64_t count = std::clamp(tune.count, 1, MaxTuneNotes);
    const auto entry = [&](std::int64_t note) {
        const std::int64_t index = ((note % count) + count) % count;
        return tune.values[static_cast<std::size_t>(index)];
    };
    // Work back from the last value shown until the line is full, then write them in order.
    const std::string caption = "Fractal tune:";
    const std::int64_t last = current_note + look_ahead;
    std::size_t width = caption.size();
    std::int64_t first = last + 1;
    while (true) {
        const std::size_t value_width = std::to_string(entry(first - 1)).size() + 1;
        if (width + value_width > kTuneLineWidth) break;
        width += value_width;
        --first;
    }
    std::string line = caption;
    for (std::int64_t note = first; note <= last; ++note) append_value(line, entry(note));
    return line;
}

}  // namespace corvane::engine
