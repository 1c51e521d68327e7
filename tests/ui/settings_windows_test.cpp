// The settings windows opened by their window codes: each edit changes exactly the setting
// edited, as the configuration writes it, and a wrong value is refused with a message,
// leaving everything as it was. That each window opens, fits the screen and has no two
// controls on one Alt letter is every_window_test's.

#include <QCheckBox>
#include <QRegularExpression>
#include <algorithm>
#include <set>
#include <sstream>

#include "corvane/files/configuration_file.h"
#include "corvane/ui/settings_windows.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

using Lines = std::set<std::string>;

std::string key_of(const std::string& line) { return line.substr(0, line.find_first_of(" =")); }

enum class Control { field, list, tick };

// One edit: the text typed into a field, the index chosen in a list, or a box ticked; the
// configuration lines it changes, as written after it; and the field a tick makes editable.
struct Edit {
    Control control;
    const char* name;
    QString input;
    Lines written;
    const char* enables = nullptr;
};

struct Refusal {
    const char* field;
    QString typed;
    std::string message;
};

// The refusal of a text that is not a value the field takes, whose rule reads `takes`.
Refusal not_one(const char* field, const char* typed, const std::string& takes) {
    return {field, typed, takes + ": \"" + typed + "\" is not one, so nothing was changed."};
}

struct WindowEdits {
    char code;
    const char* name;
    std::vector<Edit> edits;
    std::vector<Refusal> refusals;
};

const WindowEdits kWindowEdits[] = {
    {'I',
     "options_window",
     {{Control::field, "look_ahead", "3", {"iLookAhead 3"}},
      {Control::field, "timer_resolution", "2*4", {"uTimerRes 8"}},
      {Control::list, "timing", "1", {"ok_to_skip_fast_notes=1"}},
      {Control::tick, "cycle_melody", "", {"cycle_melody=0"}},
      {Control::field, "smallest_max_time_for_calc", "0.02", {"smallest_max_time_for_calc 0.02"}},
      {Control::tick, "escape_interrupts", "", {}}},  // a setting of this run only
     {not_one("look_ahead", "3000", "The look-ahead takes a whole number from 0 to 2559 notes"),
      not_one("min_calcs_for_min_time", "abc",
              "The number of skipped notes between clock readings takes a whole number from 1 to 1000000 notes"),
      not_one("timer_resolution", "2.5", "The timer resolution takes a whole number from 1 to 100 ms")}},
    {'E',
     "note_timing_window",
     {{Control::tick, "has_timing_shift", "", {"Note_timing_shift 1/2", "needs_save=1"}, "timing_shift"},
      {Control::field, "timing_shift", "1/4", {"Note_timing_shift 1/4"}},
      {Control::tick, "has_times_by_position", "", {"times_by_melody_pos 1 1 1 //"}, "times_by_position"},
      {Control::field, "times_by_position", "1 2 3/2", {"times_by_melody_pos 1 2 1.5 //"}},
      {Control::field, "rhythm_fractal_to_level", "2", {"iRhythmFractalToLevel 2"}}},
     {not_one("timing_shift", "1.5", "The timing shift takes a number from 0 to 1"),
      {"times_by_position", "1 x 2",  // the message names the word it could not read
       "The times by seed position take numbers from 0 to 1000, at most 1000 of them: \"x\" is not one, so nothing "
       "was changed."},
      not_one("rhythm_fractal_to_level", "30",
              "The top level of the rhythm fractal takes a whole number from 0 to 29")}},
    {'J',
     "range_window",
     {{Control::list, "range_channel", "2", {"iRangesChannel 2"}},
      {Control::field, "lowest_note", "48",
       {"Min_notes_for_channels 0 0 48 0 0 0 0 0 0 0 0 0 0 0 0 0 //", "midi_range_min 48", "needs_save=1"}},
      {Control::field, "highest_note", "72",
       {"Max_notes_for_channels 127 127 72 127 127 127 127 127 127 127 127 127 127 127 127 127 //",
        "midi_range_max 72"}},
      {Control::list, "out_of_range", "3",
       {"iActionIfOutOfRange 2 2 3 2 2 2 2 2 2 2 2 2 2 2 2 2 //", "action_if_out_of_range 3"}}},
     {not_one("lowest_note", "200", "The lowest note takes a whole number from 0 to 127 (MIDI note)"),
      {"lowest_note", "80", "The lowest note may not be above the highest note, 72: 80 is, so nothing was changed."}}},
    {'F',
     "effects_window",
     {{Control::list, "effects_channel", "1", {"iEffectsChannel 1"}},
      {Control::tick, "portamento", "",
       {"iPortamento 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 //", "portamento=1", "needs_save=1"}, "slide_time"},
      {Control::field, "slide_time", "100",
       {"iPortamento_slide_time 64 100 64 64 64 64 64 64 64 64 64 64 64 64 64 64 //", "portamento_slide_time 100"}},
      {Control::tick, "vibrato", "", {"iVibrato 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 //", "vibrato=1"}},
      {Control::field, "vibrato_rate", "11/2",
       {"dVibrato_freq 0 5.5 0 0 0 0 0 0 0 0 0 0 0 0 0 0 //", "vibrato_freq 5.5"}},
      {Control::tick, "legato", "", {"legato=1"}}},
     {not_one("vibrato_depth", "150", "The vibrato depth takes a number from 0 to 100 %"),
      not_one("slide_time", "-1", "The slide time takes a whole number from 0 to 127")}},
    {'K',
     "pc_keyboard_voices_window",
     {{Control::list, "keys_channel", "4", {"iChannelForVoiceForPcKeyboard 4"}},
      {Control::tick, "volumes_by_row", "", {"volumes_by_keyboard_row=1"}, "row_volume_2"},
      {Control::field, "row_volume_2", "100", {"vols_for_pc_keyboard_rows 127 100 63 31 "}},
      {Control::tick, "keys_on_channel_15", "", {"iPitchesForPCKeyboardRows 3"}},
      {Control::tick, "key_left_of_1", "", {"pc_key_1_for_degree_1=0"}}},
     {not_one("row_volume_2", "128", "The row's volume takes a whole number from 0 to 127")}},
    {'L',
     "scala_window",
     {{Control::field, "scala_location", "/opt/scala/scala", {"ScalaLocation /opt/scala/scala"}},
      {Control::field, "scala_modes_lsc", "My modes.lsc", {"ScalaModesLSC My modes.lsc"}},
      {Control::tick, "scala_auto_sort_lmds", "", {"scala_auto_sort_lmds=1"}}},
     {{"scala_modes_lsc", "lists/modes.lsc",
       "The list of scales for the modes takes a file name (no folder) of 1 to 260 characters: \"lists/modes.lsc\" "
       "names a folder, so nothing was changed."},
      {"scala_location", "",
       "The Scala program's location takes a path of 1 to 260 characters: nothing was typed, so nothing was "
       "changed."}}},
    {'4',
     "editor_playback_window",
     {{Control::list, "figuration", "1", {"iSAPlaybackFiguration 1"}},
      {Control::list, "direction", "1", {"iSAPlaybackAscDesc 1"}}},
     {}},
};

// A window's edits show in test names and failures by the window's name.
void PrintTo(const WindowEdits& edits, std::ostream* out) { *out << edits.name; }

class SettingsWindowTest : public MainWindowTest {
protected:
    QWidget* open(char code, const char* name) {
        EXPECT_TRUE(window->open_window(code)) << code;
        QCoreApplication::processEvents();
        shown_ = window->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(shown_, nullptr) << name;
        return shown_;
    }

    template <class T>
    T* in_window(const char* name) const {
        T* widget = shown_->findChild<T*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* field(const char* name) const { return in_window<QLineEdit>(name); }

    void type(const char* name, const QString& typed) { type_into(field(name), typed); }
    void choose(const char* name, int index) {
        auto* box = in_window<QComboBox>(name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void tick(const char* name) { in_window<QCheckBox>(name)->click(); }
    void make(const Edit& edit) {
        switch (edit.control) {
        case Control::field: type(edit.name, edit.input); break;
        case Control::list: choose(edit.name, edit.input.toInt()); break;
        case Control::tick: tick(edit.name); break;
        }
    }

    // The configuration as it would be written now, settings and composition, item by item.
    Lines configuration_lines() const {
        files::SaveBuffer out;
        files::write_configuration(out, context->settings(), context->composition(), context->workspace().colours);
        // The timer resolution has no line end of its own, and the seed's line carries the
        // per-position lists: each is given a line of its own.
        QString written = QString::fromStdString(std::string(out.text()));
        written.replace(QRegularExpression(QStringLiteral("uTimerRes ([0-9]+) ")), QStringLiteral("uTimerRes \\1\n"));
        written.replace(QRegularExpression(QStringLiteral(" (times_by_melody_pos|volumes_by_melody_pos) ")),
                        QStringLiteral(" //\n\\1 "));
        const std::string text = written.toStdString();
        Lines lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.insert(line);
        }
        return lines;
    }
    // Each key whose line changed since `before`: its line as written now, or the key alone
    // when its line has gone.
    Lines changes_since(const Lines& before) const {
        const Lines now = configuration_lines();
        Lines changes;
        Lines keys_written;
        for (const auto& line : now) {
            if (before.contains(line)) continue;
            changes.insert(line);
            keys_written.insert(key_of(line));
        }
        for (const auto& line : before) {
            if (!now.contains(line) && !keys_written.contains(key_of(line))) changes.insert(key_of(line));
        }
        return changes;
    }
    // A refusal: the text stays, marked, the window says what is allowed, nothing changes.
    void expect_refused(const Refusal& refusal) {
        SCOPED_TRACE(refusal.field);
        const auto before = configuration_lines();
        const auto said = reporter.entries().size();
        type(refusal.field, refusal.typed);
        EXPECT_EQ(changes_since(before), Lines{});
        EXPECT_EQ(field(refusal.field)->text(), refusal.typed);
        EXPECT_TRUE(field(refusal.field)->property("refused").toBool());
        ASSERT_GT(reporter.entries().size(), said);
        EXPECT_EQ(reporter.entries().back().message, refusal.message);
    }

    QWidget* shown_ = nullptr;
};

class EveryEditTest : public SettingsWindowTest, public ::testing::WithParamInterface<WindowEdits> {};

// Each edit in turn, then each refusal.
TEST_P(EveryEditTest, ChangesOnlyItsOwnSettingAndRefusesWhatItDoesNotTake) {
    const WindowEdits& w = GetParam();
    start();
    ASSERT_NE(open(w.code, w.name), nullptr);
    for (const Edit& edit : w.edits) {
        SCOPED_TRACE(edit.name);
        const bool enabled_before = edit.enables != nullptr && field(edit.enables)->isEnabled();
        const auto before = configuration_lines();
        make(edit);
        EXPECT_EQ(changes_since(before), edit.written);
        if (edit.enables != nullptr) {
            EXPECT_FALSE(enabled_before);
            EXPECT_TRUE(field(edit.enables)->isEnabled());
        }
        // A change to the composition shows in the main window's title.
        EXPECT_EQ(window->windowTitle().contains('*'), context->settings().needs_save);
    }
    for (const Refusal& refusal : w.refusals) expect_refused(refusal);
}

std::string window_name(const ::testing::TestParamInfo<WindowEdits>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Windows, EveryEditTest, ::testing::ValuesIn(kWindowEdits), window_name);

// A field left without typing changes nothing; a refused text mended is taken and loses its
// mark; Escape interrupts is a setting of this run only.
TEST_F(SettingsWindowTest, OptionsChangeOnlyWhatIsTypedAndTakeAMendedText) {
    start();
    open('I', "options_window");
    const auto before = configuration_lines();
    for (const char* name : {"look_ahead", "timer_resolution", "smallest_max_time_for_calc"}) {
        field(name)->setFocus();
        emit field(name)->editingFinished();
    }
    EXPECT_EQ(changes_since(before), Lines{});
    EXPECT_FALSE(context->settings().uTimerRes_set_explicitly);
    tick("escape_interrupts");
    EXPECT_TRUE(context->settings().player.escape_interrupts);
    type("look_ahead", "3000");
    type("look_ahead", "4");
    EXPECT_EQ(context->settings().player.iLookAhead, 4);
    EXPECT_FALSE(field("look_ahead")->property("refused").toBool());
}

// A window shown again shows what changed elsewhere, and the note by name beside the field;
// another channel shows its own values and drops a refusal; Apply to all copies the
// channel's range to every channel.
TEST_F(SettingsWindowTest, RangeAndTheTextsBesideTheFieldsFollowWhatTheFieldsSay) {
    start();
    open('J', "range_window")->close();
    context->composition().Min_notes_for_channels[0] = 36;
    open('J', "range_window");
    EXPECT_EQ(field("lowest_note")->text(), "36");
    EXPECT_EQ(in_window<QLabel>("lowest_note_name")->text(), "C2");
    choose("range_channel", 2);
    type("lowest_note", "48");
    EXPECT_EQ(in_window<QLabel>("lowest_note_name")->text(), "C3");
    type("highest_note", "72");
    choose("out_of_range", 3);
    expect_refused(kWindowEdits[2].refusals[0]);
    choose("range_channel", 0);
    EXPECT_EQ(field("lowest_note")->text(), "36");
    EXPECT_FALSE(field("lowest_note")->property("refused").toBool());
    choose("range_channel", 2);
    QTest::mouseClick(in_window<QPushButton>("apply_to_all"), Qt::LeftButton);
    const auto& c = context->composition();
    EXPECT_EQ(c.Min_notes_for_channels[15], 48);
    EXPECT_EQ(c.Max_notes_for_channels[0], 72);
    EXPECT_EQ(c.iActionIfOutOfRange[7], 3);

    // The keys' help and whether Scala is there follow what the fields say.
    open('K', "pc_keyboard_voices_window");
    const QString help_before = in_window<QLabel>("keys_help")->text();
    tick("key_left_of_1");
    EXPECT_NE(in_window<QLabel>("keys_help")->text(), help_before);

    open('L', "scala_window");
    type("scala_location", "/opt/scala/scala");
    EXPECT_EQ(context->stored().ScalaLocation, "/opt/scala/scala");  // kept for next time too
    EXPECT_EQ(in_window<QLabel>("scala_found")->text(), "There is no file at this location.");
}

TEST_F(SettingsWindowTest, AVibratoSwitchedOnWhilePlayingReachesTheChannelAtOnce) {
    start();
    type_into("note_length", "0.02");
    click("play");
    ASSERT_TRUE(QTest::qWaitFor([&] { return context->playback().player().playing(); }, 5000));
    open('F', "effects_window");
    const auto modulation_sent = [this] {
        const auto all = outputs.messages();
        return std::any_of(all.begin(), all.end(), [](const auto& m) {
            return m.message == (0xB0u | (1u << 8) | (12u << 16));  // channel 1, modulation 10 % of 127
        });
    };
    EXPECT_FALSE(modulation_sent());
    tick("vibrato");
    EXPECT_TRUE(modulation_sent());
    click("play");
    EXPECT_TRUE(QTest::qWaitFor([&] { return context->playback().player().stopped(); }, 5000));
}

TEST_F(SettingsWindowTest, EditorPlaybackSetsHowTheScaleAndArpeggioEditorsPlay) {
    start();
    auto* scale_editor = open_window<QWidget>('S', "scale_editor");
    open('4', "editor_playback_window");
    choose("figuration", 1);
    EXPECT_EQ(scale_editor->findChild<QComboBox*>("figure")->currentText(), "Chord");
    choose("direction", 1);
    EXPECT_EQ(scale_editor->findChild<QComboBox*>("direction")->currentText(), "Descending");

    // An editor opened later starts as set; the seed editor keeps its own.
    EXPECT_EQ(open_window<QWidget>('A', "arpeggio_editor")->findChild<QComboBox*>("figure")->currentText(), "Chord");
    EXPECT_EQ(open_window<QWidget>('D', "seed_editor")->findChild<QComboBox*>("figure")->currentText(), "Sequence");

    // A value the lists do not have, from a hand-edited configuration, shows as none.
    context->settings().iSAPlaybackFiguration = 7;
    open('4', "editor_playback_window");
    EXPECT_EQ(in_window<QComboBox>("figuration")->currentIndex(), -1);
}

}  // namespace
}  // namespace corvane::ui
