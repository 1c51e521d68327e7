#pragma once

// Opening the display and editor windows from the program: the fractal tune's window and
// the seed, scale and arpeggio editors, each made once as a child of the main window and
// shown again when asked for.

#include <functional>

class QWidget;

namespace corvane::ui {

class ProgramContext;

// Opens the window of a window code: T the tune, D seed, S scale, A arpeggio.
// `composition_changed` runs after an editor applied its entry. False for other codes.
bool open_display_window(QWidget& main_window, ProgramContext& context, char code,
                         const std::function<void()>& composition_changed);

}  // namespace corvane::ui
