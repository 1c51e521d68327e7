// The annotated hex dump of arbitrary bytes as a MIDI file.
#include <span>

#include "corvane/midi/hex_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    corvane::midi::hex_dump_text(std::span<const std::uint8_t>(data, size), "fuzz.mid");
    return 0;
}
