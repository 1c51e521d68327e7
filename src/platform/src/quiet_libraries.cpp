#include "quiet_libraries.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace corvane::platform::detail {
namespace {

void drop_alsa_message(const char*, int, const char*, int, const char*, ...) {}

std::atomic<int> jack_quiet_depth{0};

void jack_message(const char* text) {
    if (jack_quiet_depth.load() == 0) std::fprintf(stderr, "%s\n", text);
}

void install_jack_message_functions() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        jack_set_error_function(jack_message);
        jack_set_info_function(jack_message);
    });
}

}  // namespace

QuietAlsa::QuietAlsa() { snd_lib_error_set_handler(drop_alsa_message); }
QuietAlsa::~QuietAlsa() { snd_lib_error_set_handler(nullptr); }

QuietJack::QuietJack() {
    install_jack_message_functions();
    ++jack_quiet_depth;
}
QuietJack::~QuietJack() { --jack_quiet_depth; }

}  // namespace corvane::platform::detail
