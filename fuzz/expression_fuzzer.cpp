// Pitch expressions and pitch lists, in both forms.
#include "corvane/tuning/expression.h"
#include "corvane/tuning/pitch_list.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane::tuning;
    const std::string_view text = corvane::fuzz::as_text(data, size);
    for (const PitchForm form : {PitchForm::ratio, PitchForm::increment}) {
        evaluate_expression(text, form);
        read_pitch_list(text, form, ListNotation::absolute, 261.6);
        read_pitch_list(text, form, ListNotation::steps, 440);
    }
    return 0;
}
