// Lists of scales and modes, and the seeds drop list.
#include "corvane/files/scale_list.h"
#include "corvane/files/seeds_drop_list.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane::files;
    const std::string_view text = corvane::fuzz::as_text(data, size);
    read_scale_list(text, ListKind::scales);
    read_scale_list(text, ListKind::modes);
    read_drop_list(text);
    return 0;
}
