// The configuration file, read as at start-up and as "Read from Corvane.ini now".
#include "corvane/files/configuration_file.h"
#include "fuzz_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace corvane;
    for (const bool explicit_read : {false, true}) {
        files::Settings settings;
        engine::Composition composition;
        files::Colours colours = files::default_colours();
        files::ConfigurationReadOptions options;
        options.explicit_read = explicit_read;
        files::read_configuration(fuzz::as_text(data, size), options, settings, composition, colours);
    }
    return 0;
}
