// The settings windows opened by their window codes: each edit changes exactly the setting
// edited, as the configuration writes it, and a wrong value is refused with a message,
// leaving everything as it was. No two controls on one Alt letter is every_window_test's.

#include <QCheckBox>
#include <QRegularExpression>
#include <algorithm>
#include <set>
#include <sstream>

#include "corvane/files/configuration_file.h"
#include "corvane/ui/settings_windows.h"
#include "expected_output.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

using Lines = std::set<std::string>;

std::string key_of(const std::string& line) { return line.substr(0, line.find_first_of(" =")); }

enum class Control { field, list, tick };

// One edit: the text typed into a field, the index chosen in a list, or a box ticked; and
// the field a tick makes editable.
struct Edit {
    Control control;
    const char* name;
    QString input;
    const char* enables = nullptr;
};

// A text typed into a field that does not take it.
struct Refusal {
    const char* field;
    QString typed;
};

struct WindowEdits {
    char code;
    const char* name;
    std::vector<Edit> edits;
    std::vector<Refusal> refusals;
};

const WindowEdits kWindowEdits[] = {
    {'I',
     "options_window",
     {{Control::field, "look_ahead", "3"},
      {Control::field, "timer_resolution", "2*4"},
      {Control::list, "timing", "1"},
      {Control::tick, "cycle_melody", ""},
      {Control::field, "smallest_max_time_for_calc", "0.02"},
      {Control::tick, "escape_interrupts", ""}},  // a setting of this run only
     {{"look_ahead", "3000"}, {"min_calcs_for_min_time", "abc"}, {"timer_resolution", "2.5"}}},
    {'E',
     "note_timing_window",
     {{Control::tick, "has_timing_shift", "", "timing_shift"},
      {Control::field, "timing_shift", "1/4"},
      {Control::tick, "has_times_by_position", "", "times_by_position"},
      {Control::field, "times_by_position", "1 2 3/2"},
      {Control::field, "rhythm_fractal_to_level", "2"}},
     {{"timing_shift", "1.5"}, {"times_by_position", "1 x 2"}, {"rhythm_fractal_to_level", "30"}}},
    {'J',
     "range_window",
     {{Control::list, "range_channel", "2"},
      {Control::field, "lowest_note", "48"},
      {Control::field, "highest_note", "72"},
      {Control::list, "out_of_range", "3"}},
     {{"lowest_note", "200"}, {"lowest_note", "80"}}},
    {'F',
     "effects_window",
     {{Control::list, "effects_channel", "1"},
      {Control::tick, "portamento", "", "slide_time"},
      {Control::field, "slide_time", "100"},
      {Control::tick, "vibrato", ""},
      {Control::field, "vibrato_rate", "11/2"},
      {Control::tick, "legato", ""}},
     {{"vibrato_depth", "150"}, {"slide_time", "-1"}}},
    {'K',
     "pc_keyboard_voices_window",
     {{Control::list, "keys_channel", "4"},
      {Control::tick, "volumes_by_row", "", "row_volume_2"},
      {Control::field, "row_volume_2", "100"},
      {Control::tick, "keys_on_channel_15", ""},
      {Control::tick, "key_left_of_1", ""}},
     {{"row_volume_2", "128"}}},
    {'L',
     "scala_window",
     {{Control::field, "scala_location", "/opt/scala/scala"},
      {Control::field, "scala_modes_lsc", "My modes.lsc"},
      {Control::tick, "scala_auto_sort_lmds", ""}},
     {{"scala_modes_lsc", "lists/modes.lsc"}, {"scala_location", ""}}},
    {'4', "editor_playback_window", {{Control::list, "figuration", "1"}, {Control::list, "direction", "1"}}, {}},
};

class SettingsWindowTest : public MainWindowTest {
protected:
    QWidget* open(char code, const char* name) {
        shown_ = open_window<QWidget>(code, name);
        QCoreApplication::processEvents();
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
    // Makes the edit and says what it was.
    std::string make(const Edit& edit) {
        const std::string name = edit.name;
        if (edit.control == Control::field) {
            type(edit.name, edit.input);
            return name + " typed \"" + edit.input.toStdString() + "\"";
        }
        if (edit.control == Control::list) {
            choose(edit.name, edit.input.toInt());
            return name + " set to " + edit.input.toStdString();
        }
        tick(edit.name);
        return name + " ticked";
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
    // A refusal: the text stays, marked, nothing changes; what the window said about it.
    std::string refused(const Refusal& refusal) {
        SCOPED_TRACE(refusal.field);
        const auto before = configuration_lines();
        const auto said = reporter.entries().size();
        type(refusal.field, refusal.typed);
        EXPECT_EQ(changes_since(before), Lines{});
        EXPECT_EQ(field(refusal.field)->text(), refusal.typed);
        EXPECT_TRUE(field(refusal.field)->property("refused").toBool());
        const auto entries = reporter.entries();
        return entries.size() > said ? entries.back().message : "(nothing said)";
    }

    QWidget* shown_ = nullptr;
};

// Each window on a program of its own: each edit in turn with the configuration lines it
// changed (a key alone when its line went), then each refusal with what the window said.
TEST_F(SettingsWindowTest, EveryEditChangesOnlyItsOwnSettingAndRefusesWhatItDoesNotTake) {
    std::string edits;
    for (const WindowEdits& w : kWindowEdits) {
        SCOPED_TRACE(w.name);
        start();
        ASSERT_NE(open(w.code, w.name), nullptr);
        edits += std::string(w.name) + "\n";
        for (const Edit& edit : w.edits) {
            SCOPED_TRACE(edit.name);
            const bool enabled_before = edit.enables != nullptr && field(edit.enables)->isEnabled();
            const auto before = configuration_lines();
            edits += "  " + make(edit) + "\n";
            for (const auto& line : changes_since(before)) edits += "    " + line + "\n";
            if (edit.enables != nullptr) {
                EXPECT_FALSE(enabled_before);
                EXPECT_TRUE(field(edit.enables)->isEnabled());
            }
            // A change to the composition shows in the main window's title.
            EXPECT_EQ(window->windowTitle().contains('*'), context->settings().needs_save);
        }
        for (const Refusal& refusal : w.refusals) {
            edits += "  " + std::string(refusal.field) + " refuses \"" + refusal.typed.toStdString() + "\"\n    " +
                     refused(refusal) + "\n";
        }
        TearDown();
    }
    // settings_edits.txt: every window's edits, each with the lines it changed, and its refusals.
    corvane::testing::expect_output_as_kept(edits, "ui/expected/settings_edits.txt");
}

// A field left without typing changes nothing; a refused text mended is taken and loses its
// mark, its tooltip saying what it takes again; Escape interrupts is a setting of this run only.
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
    const QString what_it_takes = field("look_ahead")->toolTip();
    EXPECT_EQ(what_it_takes, "How many notes are worked out ahead of the one that sounds. Takes a whole number "
                             "from 0 to 2559 notes.");
    type("look_ahead", "3000");  // its reason as the tooltip meanwhile: refuse_field, as MidiFileDialogTest pins
    type("look_ahead", "4");
    EXPECT_EQ(context->settings().player.iLookAhead, 4);
    EXPECT_FALSE(field("look_ahead")->property("refused").toBool());
    EXPECT_EQ(field("look_ahead")->toolTip(), what_it_takes);
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
    refused({"lowest_note", "200"});
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
