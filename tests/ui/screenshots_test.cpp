// Pictures of the display and editor windows for a person to look at, written to /tmp.
// Disabled in ordinary runs: --gtest_also_run_disabled_tests --gtest_filter='*Screenshots*'.

#include <QPixmap>

#include <gtest/gtest.h>

#include "corvane/ui/editor_windows.h"
#include "corvane/ui/play_along_events.h"
#include "display_test_support.h"

namespace corvane::ui {
namespace {

void save(QWidget& window, const char* path) {
    testing::process_until([] { return false; });  // let the pictures arrive
    EXPECT_TRUE(window.grab().save(path)) << path;
}

TEST(DisplayScreenshots, DISABLED_EveryWindow) {
    testing::DisplayMachine m;
    m.ws.composition.Levels = 4;
    m.ws.composition.Channels_in_Play = 3;
    m.ws.settings.dFGseeds = 3;
    m.ws.settings.dFGoctaves = 2;
    PlayAlongEvents events;
    ASSERT_TRUE(m.playback.start());
    m.timers.advance_to(m.clock.now_ms() + 900);
    TuneGraphWindow graph(m.sources(), &events);
    graph.resize(900, 460);
    graph.show();
    graph.set_view(TuneViewKind::graph);
    save(graph, "/tmp/corvane_graph.png");
    graph.set_view(TuneViewKind::score);
    save(graph, "/tmp/corvane_score.png");
    graph.set_view(TuneViewKind::intervals);
    save(graph, "/tmp/corvane_intervals.png");
    for (const EntryKind kind : {EntryKind::seed, EntryKind::scale, EntryKind::arpeggio}) {
        EntryEditorWindow editor(kind, m.sources(), &events, {});
        editor.resize(760, 260);
        editor.show();
        const std::string path = "/tmp/corvane_" + std::string(entry_window_name(kind)).substr(4) + ".png";
        save(editor, path.c_str());
    }
    m.playback.stop();
    m.timers.advance_to(m.clock.now_ms() + 100);
}

}  // namespace
}  // namespace corvane::ui
