#pragma once

// Opening the display, editor and settings windows from the program: the fractal tune's
// window, the seed, scale and arpeggio editors and the settings windows, each made once as a
// child of the main window and shown again when asked for.

#include <functional>

class QWidget;

namespace corvane::ui {

class ProgramContext;

// Opens the window of a window code: T the tune, D seed, S scale, A arpeggio; I options,
// E note timing, J range, F effects, K PC keyboard voices, L Scala, 4 new scale/arpeggio
// playback. `composition_changed` runs after an editor applied its entry or a settings
// window changed the composition. False for other codes.
bool open_display_window(QWidget& main_window, ProgramContext& context, char code,
                         const std::function<void()>& composition_changed);

}  // namespace corvane::ui
