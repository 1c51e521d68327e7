#include "corvane/platform/combined_output.h"

namespace corvane::platform {

CombinedOutputSystem::CombinedOutputSystem(MidiClient& midi, SynthOptions synth)
    : synth_(std::move(synth)), midi_(midi) {}

std::string CombinedOutputSystem::built_in_name() { return "Built-in synthesizer (FluidSynth)"; }

std::unique_ptr<MidiOutput> CombinedOutputSystem::open_output(int device, std::string& error) {
    last_built_in_failure_ = SynthFailure::none;
    if (device != kBuiltInSynthDevice) return midi_.open_output(device, error);
    auto opened = FluidSynthOutput::open(synth_);
    last_built_in_failure_ = opened.failure;
    error = std::move(opened.error);
    return std::move(opened.output);
}

}  // namespace corvane::platform
