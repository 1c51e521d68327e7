#include "corvane/ui/window_opening.h"

#include <QWidget>

#include "corvane/ui/editor_windows.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/program_context.h"
#include "corvane/ui/settings_windows.h"
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
        auto* editor = new EntryEditorWindow(kind, sources_of(context), &events_of(main_window, context),
                                             composition_changed, &main_window);
        show_playback_settings(*editor, context.settings());  // the scale and arpeggio editors start as set
        return editor;
    });
}

template <class Window>
void open_settings(QWidget& main_window, ProgramContext& context, const char* name,
                   const std::function<void()>& composition_changed) {
    show_once<Window>(main_window, name, [&] { return new Window(context, composition_changed, &main_window); });
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
        case 'I':
            open_settings<OptionsWindow>(main_window, context, "options_window", composition_changed);
            return true;
        case 'E':
            open_settings<NoteTimingWindow>(main_window, context, "note_timing_window", composition_changed);
            return true;
        case 'J':
            open_settings<RangeWindow>(main_window, context, "range_window", composition_changed);
            return true;
        case 'F':
            open_settings<EffectsWindow>(main_window, context, "effects_window", composition_changed);
            return true;
        case 'K':
            open_settings<PcKeyboardVoicesWindow>(main_window, context, "pc_keyboard_voices_window",
                                                  composition_changed);
            return true;
        case 'L':
            open_settings<ScalaWindow>(main_window, context, "scala_window", composition_changed);
            return true;
        case '4':
            open_settings<EditorPlaybackWindow>(main_window, context, "editor_playback_window", composition_changed);
            return true;
        default:
            return false;
    }
}

}  // namespace corvane::ui
