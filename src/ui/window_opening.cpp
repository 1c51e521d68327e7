#include "corvane/ui/window_opening.h"

#include <QWidget>

#include "corvane/ui/editor_windows.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/program_context.h"
#include "corvane/ui/tune_graph_window.h"

namespace corvane::ui {
namespace {

DisplaySources sources_of(ProgramContext& context) {
    return {context.workspace(), context.playback(), context.play_along(), context.clock()};
}

// The program's one set of play-along signals.
PlayAlongEvents& events_of(QWidget&, ProgramContext& context) { return context.play_along_events(); }

template <class Window, class Make>
void show_once(QWidget& main_window, const char* name, Make make) {
    QWidget* window = main_window.findChild<Window*>(QLatin1String(name));
    if (window == nullptr) {
        window = make();
        window->setObjectName(name);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void open_editor(QWidget& main_window, ProgramContext& context, EntryKind kind, const char* name,
                 const std::function<void()>& composition_changed) {
    show_once<EntryEditorWindow>(main_window, name, [&] {
        return new EntryEditorWindow(kind, sources_of(context), &events_of(main_window, context), composition_changed,
                                     &main_window);
    });
}

}  // namespace

bool open_display_window(QWidget& main_window, ProgramContext& context, char code,
                         const std::function<void()>& composition_changed) {
    switch (code) {
        case 'T':
            show_once<TuneGraphWindow>(main_window, "tune_graph_window", [&] {
                return new TuneGraphWindow(sources_of(context), &events_of(main_window, context), &main_window);
            });
            return true;
        case 'D':
            open_editor(main_window, context, EntryKind::seed, "seed_editor", composition_changed);
            return true;
        case 'S':
            open_editor(main_window, context, EntryKind::scale, "scale_editor", composition_changed);
            return true;
        case 'A':
            open_editor(main_window, context, EntryKind::arpeggio, "arpeggio_editor", composition_changed);
            return true;
        default:
            return false;
    }
}

}  // namespace corvane::ui
