#include "corvane/ui/key_events.h"

#include <QEvent>
#include <QKeyEvent>

#include "corvane/midi/pc_keyboard.h"

namespace corvane::ui {
namespace {

#ifdef _WIN32
constexpr std::uint32_t kNativeOffset = 0;
#else
constexpr std::uint32_t kNativeOffset = 8;
#endif
// Codes beyond the main block mean other keys in the two sets.
constexpr std::uint32_t kLastPcSetCode = 88;

}  // namespace

std::optional<int> pc_scan_code(std::uint32_t native_scan_code) {
    if (native_scan_code <= kNativeOffset) return std::nullopt;
    const std::uint32_t code = native_scan_code - kNativeOffset;
    if (code > kLastPcSetCode) return std::nullopt;
    return static_cast<int>(code);
}

bool play_key_event(midi::PcKeyboard& keyboard, const QKeyEvent& event) {
    const bool down = event.type() == QEvent::KeyPress;
    if (!down && event.type() != QEvent::KeyRelease) return false;
    const auto scan = pc_scan_code(event.nativeScanCode());
    if (!scan) return false;
    if (!down && event.isAutoRepeat()) return true;
    keyboard.pc_key_event(down, *scan, event.isAutoRepeat());
    return true;
}

}  // namespace corvane::ui
