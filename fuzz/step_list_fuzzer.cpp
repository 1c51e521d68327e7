// Arpeggio and seed texts.
#include "corvane/engine/seed.h"
#include "corvane/tuning/step_list.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane;
    const std::string_view text = fuzz::as_text(data, size);
    const tuning::StepList list = tuning::read_step_list(text, tuning::ListNotation::absolute);
    tuning::write_step_list(list, tuning::ListNotation::steps);
    tuning::read_step_list(text, tuning::ListNotation::steps, tuning::PitchForm::increment);
    engine::read_seed(text, engine::SeedStrictness::strict);
    engine::read_seed(text, engine::SeedStrictness::lenient);
    return 0;
}
