// Composition files (.cv, .cmp), read into a new composition.
#include "corvane/files/composition_file.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane;
    engine::Composition composition;
    files::Colours colours = files::default_colours();
    files::read_composition(fuzz::as_text(data, size), composition, colours);
    return 0;
}
