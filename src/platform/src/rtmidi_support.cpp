#include "rtmidi_support.h"

namespace corvane::platform::detail {

void keep_error_text(RtMidiError::Type, const std::string& text, void* user_data) {
    *static_cast<std::string*>(user_data) = text;
}

}  // namespace corvane::platform::detail
