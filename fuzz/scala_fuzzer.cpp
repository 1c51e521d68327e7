// Scala scale files.
#include "corvane/tuning/scala.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane::tuning;
    const std::string_view text = corvane::fuzz::as_text(data, size);
    read_scala_text(text, ListNotation::absolute);
    read_scala_text(text, ListNotation::steps);
    return 0;
}
