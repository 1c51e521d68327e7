// The fractal tune's window on the offscreen platform: the scan line follows the player on
// a simulated clock, the views switch, and computer keys play through the window by their
// scan codes onto a recording device.

#include <QImage>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

#include "corvane/ui/key_events.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/tune_graph_window.h"
#include "display_test_support.h"

namespace corvane::ui {
namespace {

using testing::process_until;

constexpr std::uint32_t kX11Offset = 8;
constexpr int kScanA = 30;
constexpr int kScanS = 31;

QString qt_text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

class TuneGraphWindowTest : public ::testing::Test {
protected:
    testing::DisplayMachine m;
    PlayAlongEvents events;
    std::unique_ptr<TuneGraphWindow> window;

    void SetUp() override {
        m.ws.composition.Levels = 3;
        m.ws.settings.iFGShowAsScore = 0;
        events.listen_to(m.play_along);
        window = std::make_unique<TuneGraphWindow>(m.sources(), &events);
        window->show();
    }
    void TearDown() override {
        window.reset();
        m.playback.stop();
        m.timers.advance_to(m.clock.now_ms() + 100);
    }

    void key(QEvent::Type type, int pc_scan, bool auto_repeat = false) {
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, static_cast<quint32>(pc_scan) + kX11Offset, 0, 0,
                        QString(), auto_repeat);
        QCoreApplication::sendEvent(window.get(), &event);
    }
    // Waits until the picture on screen has the scan line where the player is now, and
    // returns where that is.
    std::optional<double> scan_line_shown() {
        const auto& player = m.playback.player();
        const auto ring = player.history();
        const auto notes = notes_from_history(ring, player.history_count(), player.history_count());
        const TuneView view = tune_view(m.ws.composition, m.ws.settings);
        const double now = tune_time_now(notes, m.clock.now_ms(), view.seed_secs);
        double expected = -1;
        const bool shown = process_until([&] {
            const Drawing& d = window->shown_drawing();
            expected = graph_layout(view, notes, now, d.width, d.height).page.x_of(now);
            return d.scan_x && std::abs(*d.scan_x - expected) < 1e-6;
        });
        if (!shown) return std::nullopt;
        return expected;
    }
};

TEST_F(TuneGraphWindowTest, ScanLineMovesWithThePlayerAndTheViewsSwitch) {
    ASSERT_TRUE(m.playback.start());
    m.timers.advance_to(m.clock.now_ms() + 300);
    ASSERT_TRUE(process_until([&] { return window->pictures_shown() > 0; }));
    window->refresh();
    const auto first = scan_line_shown();
    ASSERT_TRUE(first.has_value());
    const std::size_t notes_then = window->shown_drawing().notes.size();
    EXPECT_GT(notes_then, 0u);

    m.timers.advance_to(m.clock.now_ms() + 500);
    window->refresh();
    const auto later = scan_line_shown();
    ASSERT_TRUE(later.has_value());
    EXPECT_GT(*later, *first);
    EXPECT_GT(window->shown_drawing().notes.size(), notes_then);
    // Every note sits inside the plot, in the picture made off the window's thread.
    for (const auto& note : window->shown_drawing().notes) {
        EXPECT_GE(note.centre.x, 0);
        EXPECT_LE(note.centre.x, window->shown_drawing().width);
    }
    EXPECT_GE(window->pictures_shown(), 2u);

    // The views switch to the score and the intervals, kept in the setting.
    window->set_view(TuneViewKind::score);
    EXPECT_EQ(m.ws.settings.iFGShowAsScore, 1);
    ASSERT_TRUE(process_until([&] {
        const Drawing& d = window->shown_drawing();
        return d.background == m.ws.colours.fractal_score.Background && !d.labels.empty();
    }));
    window->set_view(TuneViewKind::intervals);
    EXPECT_EQ(m.ws.settings.iFGShowAsScore, 2);
    ASSERT_TRUE(process_until([&] {
        const auto& labels = window->shown_drawing().labels;
        return !labels.empty() && labels.front().text.find(" to ") != std::string::npos;
    }));
}

TEST_F(TuneGraphWindowTest, KeysPlayByScanCodeIgnoringAutoRepeatAndJoinTheViews) {
    const auto* help = window->findChild<QLabel*>("keys_help");
    EXPECT_EQ(help->text(), qt_text(midi::kPcKeysHelpWithLeftKey));

    // With the key left of "1" in use, A plays degree 0: middle C; S degree 1, the
    // pentatonic's D.
    std::size_t first = m.mark();
    key(QEvent::KeyPress, kScanA);
    key(QEvent::KeyPress, kScanS);
    EXPECT_EQ(m.notes_since(first, 0x90), (std::vector<int>{60, 62}));
    EXPECT_TRUE(process_until([&] { return window->shown_drawing().notes.size() == 2; }));  // they join the view

    // X11 repeats a held key as release and press pairs: neither ends or restarts it.
    first = m.mark();
    key(QEvent::KeyRelease, kScanA, true);
    key(QEvent::KeyPress, kScanA, true);
    EXPECT_TRUE(m.notes_since(first, 0x90).empty());
    EXPECT_TRUE(m.notes_since(first, 0x80).empty());

    key(QEvent::KeyRelease, kScanA);
    key(QEvent::KeyRelease, kScanS);
    EXPECT_EQ(m.notes_since(first, 0x80), (std::vector<int>{60, 62}));

    // Tab reaches the keys rather than moving the focus: All Sound Off on every channel.
    key(QEvent::KeyPress, kScanA);
    first = m.mark();
    key(QEvent::KeyPress, midi::kScanTab);
    const auto controllers = m.sent_since(first, 0xB0);
    ASSERT_EQ(controllers.size(), 16u);
    EXPECT_EQ(controllers[15], (testing::Sent{0xB0, 15, 120, 0}));
    key(QEvent::KeyRelease, kScanA);

    // The help follows the setting.
    m.ws.settings.play_along.pc_key_1_for_degree_1 = false;
    window->hide();
    window->show();
    EXPECT_EQ(help->text(), qt_text(midi::kPcKeysHelp));
}

TEST(PcScanCodes, NativeCodesOfX11AndWaylandAreTheEvdevCodePlusEight) {
    EXPECT_EQ(pc_scan_code(38), kScanA);
    EXPECT_EQ(pc_scan_code(10), 2);  // "1"
    EXPECT_EQ(pc_scan_code(65), midi::kScanSpace);
    EXPECT_EQ(pc_scan_code(8), std::nullopt);
    EXPECT_EQ(pc_scan_code(0), std::nullopt);
    EXPECT_EQ(pc_scan_code(120), std::nullopt);
}

}  // namespace
}  // namespace corvane::ui
