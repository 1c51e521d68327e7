#include "corvane/midi/output_latency.h"

#include "corvane/tuning/number_text.h"

namespace corvane::midi {

std::string output_latency_text(int periods, const std::optional<platform::JackCycle>& cycle) {
    if (periods <= 0) return "send at once";
    std::string text = std::to_string(periods) + (periods == 1 ? " period" : " periods");
    if (!cycle || cycle->period_us() == 0) return text;
    return text + " (" + latency_ms_text(periods * cycle->period_us()) + " at " + std::to_string(cycle->sample_rate) +
           " Hz, " + std::to_string(cycle->frames) + " frames)";
}

std::string latency_ms_text(std::int64_t us) { return tuning::format_fixed(static_cast<double>(us) / 1000.0, 2) + " ms"; }

}  // namespace corvane::midi
