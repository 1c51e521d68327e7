// Scala keyboard mappings (.kbm) and AnaMark tunings (.tun).
#include "corvane/tuning/anamark_tun.h"
#include "corvane/tuning/keyboard_mapping.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane::tuning;
    const std::string_view text = corvane::fuzz::as_text(data, size);
    const auto mapping = read_keyboard_mapping(text);
    if (const auto* read = std::get_if<KeyboardMapping>(&mapping)) {
        const double twelve_tone[] = {0, 1.0 / 12};
        for (int key = 0; key < 128; ++key) {
            (void)mapped_degree(*read, key);
            (void)mapped_frequency(*read, twelve_tone, key);
        }
    }
    (void)read_anamark_tun(text);
    return 0;
}
