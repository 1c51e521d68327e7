// Scala's mode-names file, as HTML and in plain mode.
#include "corvane/tools/mode_lists.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = corvane::fuzz::as_text(data, size);
    corvane::tools::read_mode_names(text, false);
    corvane::tools::read_mode_names(text, true);
    return 0;
}
