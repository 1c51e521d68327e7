#pragma once

// Playing the computer keyboard from a window: the key's hardware scan code, as the
// windowing system gives it, turned into the PC set that the keyboard player numbers keys by.

#include <cstdint>
#include <optional>

class QKeyEvent;

namespace corvane::midi {
class PcKeyboard;
}

namespace corvane::ui {

// The PC-set scan code of a native one. X11 and Wayland give the evdev code plus 8, and
// the evdev codes of the main block are the PC set's; Windows gives the PC set itself.
// Nothing for a code with no PC-set meaning.
std::optional<int> pc_scan_code(std::uint32_t native_scan_code);

// Hands a key press or release to the keyboard player. Auto-repeated releases are dropped
// (X11 sends a release before every repeated press), so a held key sounds until let go.
// Returns whether the event was the keyboard player's.
bool play_key_event(midi::PcKeyboard& keyboard, const QKeyEvent& event);

}  // namespace corvane::ui
