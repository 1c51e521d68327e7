// The seed, scale and arpeggio editors and the Colours dialog: the display's keys, Apply
// into the composition, previews played onto a recording device on the simulated clock,
// MIDI in's control notes pressing the seed window's buttons.

#include "corvane/ui/editor_windows.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "corvane/ui/play_along_events.h"
#include "display_test_support.h"

namespace corvane::ui {
namespace {

TEST(EntryEditorModel, KeysSoundWhereTheCompositionPutsTheirValues) {
    const engine::Composition c;  // pentatonic over 12 equal steps from middle C
    const auto seed = entry_keys(EntryKind::seed, c);
    const auto at = [](const std::vector<EntryKey>& keys, int number) {
        return *std::find_if(keys.begin(), keys.end(), [&](const EntryKey& k) { return k.number == number; });
    };
    EXPECT_NEAR(at(seed, 0).pitch, 60, 1e-9);
    EXPECT_NEAR(at(seed, 3).pitch, 67, 1e-9);
    EXPECT_NEAR(at(seed, -1).pitch, 57, 1e-9);
    const auto scale = entry_keys(EntryKind::scale, c);
    EXPECT_DOUBLE_EQ(at(scale, 12).value, 2);
    EXPECT_TRUE(at(scale, 1).black);
    EXPECT_FALSE(at(scale, 2).black);
    const auto degrees = entry_keys(EntryKind::arpeggio, c);
    EXPECT_NEAR(at(degrees, 4).pitch, 64, 1e-9);
    EXPECT_EQ(nearest_key(degrees, 63.8)->number, 4);
    EXPECT_EQ(key_at(degrees, 250, 0)->number, 0);
    EXPECT_EQ(key_at(degrees, 250, 249.9)->number, 24);
    EXPECT_FALSE(key_at(degrees, 250, 250).has_value());
}

TEST(EntryEditorModel, PreviewFiguresAscendingAndDescending) {
    const std::vector<double> pitches{60, 64, 67};
    const auto sequence = preview_notes(pitches, Figure::sequence, Direction::descending, 100);
    ASSERT_EQ(sequence.size(), 3u);
    EXPECT_EQ(sequence[0].pitch, 67);
    EXPECT_EQ(sequence[2].start_ms, 200);
    EXPECT_EQ(sequence[2].end_ms, 300);
    const auto chord = preview_notes(pitches, Figure::chord, Direction::ascending, 100);
    for (const auto& n : chord) {
        EXPECT_EQ(n.start_ms, 0);
        EXPECT_EQ(n.end_ms, 300);
    }
    const auto broken = preview_notes(pitches, Figure::broken_chord, Direction::ascending, 100);
    EXPECT_EQ(broken[1].start_ms, 100);
    EXPECT_EQ(broken[0].end_ms, 400);
    EXPECT_EQ(broken[2].end_ms, 400);
}

TEST(EntryEditorModel, ScaleTextReadsBackAndAppliesToTheComposition) {
    files::Workspace ws;
    const auto ratios = read_entry(EntryKind::scale, "1 9/8 5/4 4/3 3/2 2", ws.composition.Frequency_of_lowest_note);
    ASSERT_TRUE(ratios.has_value());
    EXPECT_EQ(entry_text(EntryKind::scale, *ratios, ws.settings.format), "1 9/8 5/4 4/3 3/2 2");
    EXPECT_TRUE(apply_entry(EntryKind::scale, ws, entry_text(EntryKind::scale, *ratios, ws.settings.format)).changed);
    EXPECT_EQ(entry_values(EntryKind::scale, ws), *ratios);
    EXPECT_TRUE(ws.settings.needs_save);
    EXPECT_FALSE(read_entry(EntryKind::scale, "", 261.6).has_value());
}

class EditorWindowTest : public ::testing::Test {
protected:
    testing::DisplayMachine m;
    PlayAlongEvents events;
    int applied = 0;

    std::unique_ptr<EntryEditorWindow> open(EntryKind kind) {
        auto window = std::make_unique<EntryEditorWindow>(kind, m.sources(), &events, [this] { ++applied; });
        window->show();
        return window;
    }
    void click(EntryEditorWindow& window, const char* button) {
        QTest::mouseClick(window.findChild<QWidget*>(button), Qt::LeftButton);
    }
    void finish_preview(EntryEditorWindow& window) {
        ASSERT_TRUE(QTest::qWaitFor([&] {
            m.clock.advance(50);
            return !window.previewing();
        }));
    }
};

TEST_F(EditorWindowTest, SeedClickedOnTheKeysOrPressedFromMidiInIsApplied) {
    auto window = open(EntryKind::seed);
    EXPECT_EQ(window->findChild<QLineEdit*>("entry")->text(), "0 1 0");
    click(*window, "clear");
    // A click on the display adds the key under it; a computer key adds its degree (A is 0
    // with the key left of "1" in use).
    QWidget* keys = window->findChild<QWidget*>("keys");
    const auto all = entry_keys(EntryKind::seed, m.ws.composition);
    const auto x_of = [&](int number) {
        const auto key = std::find_if(all.begin(), all.end(), [&](const EntryKey& k) { return k.number == number; });
        const auto i = key - all.begin();
        return static_cast<int>((static_cast<double>(i) + 0.5) * keys->width() / static_cast<double>(all.size()));
    };
    QTest::mouseClick(keys, Qt::LeftButton, Qt::NoModifier, QPoint(x_of(2), keys->height() - 10));
    QTest::mouseClick(keys, Qt::LeftButton, Qt::NoModifier, QPoint(x_of(-1), keys->height() - 10));
    QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, "a");
    QCoreApplication::sendEvent(keys, &a);
    EXPECT_EQ(window->values(), (std::vector<double>{2, -1, 0}));
    EXPECT_EQ(window->findChild<QLineEdit*>("entry")->text(), "2 -1 0");
    finish_preview(*window);

    click(*window, "apply");
    EXPECT_EQ(m.ws.composition.Note_heights, (std::vector<int>{2, -1, 0}));
    EXPECT_EQ(applied, 1);

    // Control notes from MIDI in press the window's buttons.
    window->findChild<QLineEdit*>("entry")->setText("0 4 2");
    QTest::keyClick(window->findChild<QLineEdit*>("entry"), Qt::Key_Space);  // an edit by the user
    events.seed_button(midi::SeedButton::apply, true);  // as the MIDI driver's thread calls it
    ASSERT_TRUE(QTest::qWaitFor([&] { return applied == 2; }));
    EXPECT_EQ(m.ws.composition.Note_heights, (std::vector<int>{0, 4, 2}));
    // End Seed applies too, and the next note starts a new seed.
    events.seed_button(midi::SeedButton::end_seed, true);
    QCoreApplication::processEvents();
    window->add_key(3);
    EXPECT_EQ(window->values(), std::vector<double>{3});
    events.seed_button(midi::SeedButton::clear, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->values().empty(); }));
}

// A scale in cents shows with its word, as in the main window; Apply with nothing changed here
// writes nothing, and after the main window has chosen another scale the window follows it
// rather than writing its old text back.
TEST_F(EditorWindowTest, TheScaleEditorNeverChangesAScaleItDidNotChange) {
    ASSERT_FALSE(files::edit_scale(m.ws, "1 63.1579 cents n(2/19) 2").refused.size());
    m.ws.settings.format.show_cents = true;
    const auto nineteen = m.ws.composition.Intervals;
    m.ws.settings.needs_save = false;
    auto window = open(EntryKind::scale);
    auto* entry = window->findChild<QLineEdit*>("entry");
    EXPECT_NE(entry->text().indexOf(" cents"), -1) << entry->text().toStdString();
    click(*window, "apply");
    EXPECT_EQ(m.ws.composition.Intervals, nineteen);
    EXPECT_FALSE(m.ws.settings.needs_save);
    EXPECT_EQ(applied, 0);
    // The main window chooses a just scale; the editor, activated again, shows it.
    ASSERT_FALSE(files::edit_scale(m.ws, "1 9/8 5/4 2").refused.size());
    const auto just = m.ws.composition.Intervals;
    window->activateWindow();
    QEvent activation(QEvent::ActivationChange);
    QCoreApplication::sendEvent(window.get(), &activation);
    click(*window, "apply");
    EXPECT_EQ(m.ws.composition.Intervals, just);
    // A typo typed here is refused and said under the text.
    entry->setText("1 9/8 abc 2");
    QTest::keyClick(entry, Qt::Key_End);  // an edit by the user
    QTest::keyClicks(entry, " ");
    click(*window, "apply");
    EXPECT_EQ(m.ws.composition.Intervals, just);
    EXPECT_EQ(window->findChild<QLabel*>("problem")->text().toStdString(),
              "\"abc\" is not a pitch, so the scale is left as it was.");
}

TEST_F(EditorWindowTest, ArpeggioPreviewPlaysAChordThenABrokenChordDownwards) {
    auto window = open(EntryKind::arpeggio);
    window->findChild<QLineEdit*>("entry")->clear();
    QTest::keyClicks(window->findChild<QLineEdit*>("entry"), "0 4 7");
    window->set_preview(Figure::chord, Direction::ascending);
    std::size_t first = m.mark();
    click(*window, "play");
    EXPECT_EQ(m.notes_since(first, 0x90), (std::vector<int>{60, 64, 67}));
    finish_preview(*window);
    EXPECT_EQ(m.notes_since(first, 0x80), (std::vector<int>{60, 64, 67}));

    window->set_preview(Figure::broken_chord, Direction::descending);
    first = m.mark();
    click(*window, "play");
    EXPECT_EQ(m.notes_since(first, 0x90), std::vector<int>{67});
    finish_preview(*window);
    EXPECT_EQ(m.notes_since(first, 0x90), (std::vector<int>{67, 64, 60}));
    EXPECT_EQ(m.notes_since(first, 0x80).size(), 3u);

    click(*window, "apply");
    EXPECT_EQ(m.ws.composition.Arpeggio.entries, (std::vector<double>{0, 4, 7}));

    // The scale editor's notes of different tuning go to channels of their own.
    auto scale_window = open(EntryKind::scale);
    scale_window->findChild<QLineEdit*>("entry")->clear();
    QTest::keyClicks(scale_window->findChild<QLineEdit*>("entry"), "1 5/4 3/2");
    scale_window->set_preview(Figure::chord, Direction::ascending);
    first = m.mark();
    click(*scale_window, "play");
    const auto ons = m.sent_since(first, 0x90);
    ASSERT_EQ(ons.size(), 3u);
    EXPECT_NE(ons[0].channel, ons[1].channel);
    EXPECT_NE(ons[1].channel, ons[2].channel);
    for (const auto& on : ons) EXPECT_NE(on.channel, 9);
    finish_preview(*scale_window);
}

}  // namespace
}  // namespace corvane::ui
