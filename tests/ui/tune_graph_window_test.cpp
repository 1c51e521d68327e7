// The fractal tune's window on the offscreen platform: the tune drawn before play, the scan
// line following the player on a simulated clock, zoom and scroll, the views and their
// titles, the export, and computer keys playing through the window by their scan codes onto
// a recording device.

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include "corvane/ui/key_events.h"
#include "corvane/ui/play_along_events.h"
#include "corvane/ui/tune_graph_window.h"
#include "display_test_support.h"

namespace corvane::ui {
namespace {

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
        m.ws.composition.Note_heights = {0, 1, 2, 1};
        m.ws.composition.Levels = 2;
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
    // Waits until a picture with at least `bars` bars is on screen.
    bool bars_shown(std::size_t bars) {
        return QTest::qWaitFor([&] { return window->shown_drawing().bars.size() >= bars; });
    }
    // Waits for a picture made after this call and returns its scan line.
    std::optional<double> next_scan_line() {
        const std::uint64_t before = window->pictures_shown();
        window->refresh();
        if (!QTest::qWaitFor([&] { return window->pictures_shown() > before + 1; })) return std::nullopt;
        return window->shown_drawing().scan_x;
    }
};

// The tune of seed "0 1 2 1" to level 2 has 64 notes, drawn before any play; while playing,
// the scan line moves over them.
TEST_F(TuneGraphWindowTest, TheTuneIsDrawnBeforePlayAndTheScanLineMovesOverIt) {
    EXPECT_EQ(window->windowTitle(), "Fractal Tune as Graph");
    ASSERT_TRUE(bars_shown(1));  // the first page
    window->fit();
    ASSERT_TRUE(bars_shown(64));
    EXPECT_EQ(window->shown_drawing().bars.size(), 64u);
    EXPECT_FALSE(window->shown_drawing().scan_x.has_value());
    EXPECT_DOUBLE_EQ(window->time_shown().span, 64 * m.ws.composition.Note_length);

    // Pointing at a note tells what it is; clicking it plays it.
    const Drawing::Bar third = window->shown_drawing().bars[2];
    const Point middle{third.top_left.x + third.width / 2, third.top_left.y + third.height / 2};
    window->point_at(middle);
    const auto* info = window->findChild<QLabel*>("note_info");
    EXPECT_EQ(info->text(), "value 2, level 0, channel 1, MIDI note 64, bend 8192, +0.0 cents");
    const std::size_t before_click = m.mark();
    window->click_at(middle);
    EXPECT_EQ(m.notes_since(before_click, 0x90), std::vector<int>{64});

    ASSERT_TRUE(m.playback.start());
    m.timers.advance_to(m.clock.now_ms() + 300);
    const auto first = next_scan_line();
    ASSERT_TRUE(first.has_value());
    m.timers.advance_to(m.clock.now_ms() + 500);
    const auto later = next_scan_line();
    ASSERT_TRUE(later.has_value());
    EXPECT_GT(*later, *first);
    // The notes still to come are paler than those played.
    const auto& bars = window->shown_drawing().bars;
    EXPECT_NE(bars.front().colour, bars.back().colour);
}

TEST_F(TuneGraphWindowTest, WheelZoomsRoundTheMouseAndDragScrolls) {
    ASSERT_TRUE(bars_shown(1));
    const auto time_at = [&](double x) {
        const TimePage axis = window->shown_drawing().time_axis;
        return time_page(window->time_shown(), axis.left, axis.right).time_of(x);
    };
    const double x = 200;
    const double before = time_at(x);
    const double span = window->time_shown().span;
    window->wheel_at(x, 15, false);  // one notch up: closer
    EXPECT_NEAR(time_at(x), before, 1e-9);
    EXPECT_LT(window->time_shown().span, span);
    window->wheel_at(x, -30, false);
    EXPECT_NEAR(time_at(x), before, 1e-9);
    EXPECT_GT(window->time_shown().span, span);
    const double start = window->time_shown().start;
    window->drag_by(-50);  // the picture moves left: later times come in
    EXPECT_GT(window->time_shown().start, start);
}

TEST_F(TuneGraphWindowTest, ViewsNameTheTitleAndExportAsPngAndSvg) {
    window->set_view(TuneViewKind::score);
    EXPECT_EQ(m.ws.settings.iFGShowAsScore, 1);
    EXPECT_EQ(window->windowTitle(), "Fractal Tune As Score");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const Drawing& d = window->shown_drawing();
        return !d.shapes.empty() && d.shapes.front().symbol == Drawing::Symbol::g_clef && !d.notes.empty();
    }));
    const QTemporaryDir folder;
    const QString png = folder.filePath("score.png");
    const QString svg = folder.filePath("score.svg");
    EXPECT_EQ(window->export_picture(png), QString());
    EXPECT_EQ(window->export_picture(svg), QString());
    const QImage image(png);
    EXPECT_EQ(image.width(), static_cast<int>(window->shown_drawing().width));
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("<svg"));
    EXPECT_NE(window->export_picture(folder.filePath("no folder/score.png")), QString());

    window->set_view(TuneViewKind::intervals);
    EXPECT_EQ(m.ws.settings.iFGShowAsScore, 2);
    EXPECT_EQ(window->windowTitle(), "Fractal Tune as Intervals");
    ASSERT_TRUE(QTest::qWaitFor([&] {
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->shown_drawing().notes.size() == 2; }));  // they join the view

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

// Codes within the range: A and S in KeysPlayByScanCodeIgnoringAutoRepeatAndJoinTheViews.
TEST(PcScanCodes, NativeCodesOfX11AndWaylandAreTheEvdevCodePlusEight) {
    EXPECT_EQ(pc_scan_code(65), midi::kScanSpace);
    EXPECT_EQ(pc_scan_code(8), std::nullopt);
    EXPECT_EQ(pc_scan_code(0), std::nullopt);
    EXPECT_EQ(pc_scan_code(120), std::nullopt);
}

}  // namespace
}  // namespace corvane::ui
