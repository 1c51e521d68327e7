// The settings windows opened by their window codes: each shows, fits the screen, has no two
// controls on one mnemonic, changes exactly the setting edited, and refuses a wrong value
// with a message, leaving everything as it was.

#include <QCheckBox>
#include <QRegularExpression>
#include <algorithm>
#include <set>
#include <sstream>

#include "corvane/files/configuration_file.h"
#include "corvane/ui/settings_windows.h"
#include "main_window_fixture.h"
#include "mnemonics.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;
using testing::literal_ampersands;
using testing::mnemonic_clashes;

struct SettingsWindowCase {
    char code;
    const char* name;
    const char* title;
};

constexpr SettingsWindowCase kWindows[] = {
    {'I', "options_window", "Options"},
    {'E', "note_timing_window", "Note timing"},
    {'J', "range_window", "Range (compass) for channels"},
    {'F', "effects_window", "Effects"},
    {'K', "pc_keyboard_voices_window", "PC keyboard voices"},
    {'L', "scala_window", "Scala"},
    {'4', "editor_playback_window", "New scale/arpeggio playback"},
};

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

    void type(const char* name, const QString& typed) {
        QLineEdit* edit = field(name);
        edit->setFocus();
        edit->selectAll();
        if (typed.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    void choose(const char* name, int index) {
        auto* box = in_window<QComboBox>(name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void tick(const char* name) { in_window<QCheckBox>(name)->click(); }

    // The configuration as it would be written now, settings and composition, item by item.
    std::set<std::string> configuration_lines() const {
        files::SaveBuffer out;
        files::write_configuration(out, context->settings(), context->composition(), context->workspace().colours);
        // The timer resolution has no line end of its own, and the seed's line carries the
        // per-position lists: each is given a line of its own.
        QString written = QString::fromStdString(std::string(out.text()));
        written.replace(QRegularExpression(QStringLiteral("uTimerRes ([0-9]+) ")), QStringLiteral("uTimerRes \\1\n"));
        written.replace(QRegularExpression(QStringLiteral(" (times_by_melody_pos|volumes_by_melody_pos) ")),
                        QStringLiteral(" //\n\\1 "));
        const std::string text = written.toStdString();
        std::set<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.insert(line);
        }
        return lines;
    }
    // The keys whose lines differ from `before`.
    std::set<std::string> changed_keys(const std::set<std::string>& before) const {
        const auto now = configuration_lines();
        std::vector<std::string> differ;
        std::set_symmetric_difference(before.begin(), before.end(), now.begin(), now.end(), std::back_inserter(differ));
        std::set<std::string> keys;
        for (const auto& line : differ) keys.insert(line.substr(0, line.find_first_of(" =")));
        return keys;
    }
    // A refusal: the text stays, marked, the window says what is allowed, nothing changes.
    void expect_refused(const char* name, const QString& typed, const std::string& message) {
        const auto before = configuration_lines();
        const auto said = reporter.entries().size();
        type(name, typed);
        EXPECT_EQ(changed_keys(before), std::set<std::string>{}) << name;
        EXPECT_EQ(field(name)->text(), typed);
        EXPECT_TRUE(field(name)->property("refused").toBool());
        ASSERT_GT(reporter.entries().size(), said);
        EXPECT_EQ(reporter.entries().back().message, message);
    }

    QWidget* shown_ = nullptr;
};

using Keys = std::set<std::string>;

// Their size and their Alt letters are checked with every other window's (every_window_test).
TEST_F(SettingsWindowTest, EachCodeShowsItsWindowOnce) {
    start();
    for (const auto& w : kWindows) {
        SCOPED_TRACE(w.name);
        QWidget* shown = open(w.code, w.name);
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_EQ(shown->windowTitle(), w.title);
        shown->close();
        EXPECT_EQ(open(w.code, w.name), shown);  // made once, shown again
        EXPECT_TRUE(shown->isVisible());
    }
}

TEST_F(SettingsWindowTest, TheMnemonicHelperFindsClashesAndLiteralAmpersands) {
    QWidget box;
    auto* save = new QPushButton("&Save", &box);
    auto* stop = new QPushButton("&stop", &box);
    new QPushButton("Fish && chips", &box);
    auto* edit = new QLineEdit(&box);
    auto* label = new QLabel("&Edit", &box);
    label->setBuddy(edit);
    new QCheckBox("&Enabled", &box);
    new QLabel("Salt &pepper", &box);
    EXPECT_EQ(mnemonic_clashes(box), "es");
    EXPECT_EQ(literal_ampersands(box), QStringList{"Salt &pepper"});
    stop->hide();
    save->setText("Save");
    EXPECT_EQ(mnemonic_clashes(box), "e");
}

TEST_F(SettingsWindowTest, OptionsChangeThePlayerSettingsAndRefuseWhatTheyDoNotTake) {
    start();
    open('I', "options_window");
    const auto& player = context->settings().player;

    auto before = configuration_lines();
    type("look_ahead", "3");
    EXPECT_EQ(player.iLookAhead, 3);
    EXPECT_EQ(changed_keys(before), Keys{"iLookAhead"});

    before = configuration_lines();
    type("timer_resolution", "2*4");
    EXPECT_EQ(player.uTimerRes, 8u);
    EXPECT_TRUE(context->settings().uTimerRes_set_explicitly);
    EXPECT_EQ(changed_keys(before), Keys{"uTimerRes"});

    before = configuration_lines();
    choose("timing", 1);
    EXPECT_TRUE(player.ok_to_skip_fast_notes);
    EXPECT_EQ(changed_keys(before), Keys{"ok_to_skip_fast_notes"});

    before = configuration_lines();
    tick("cycle_melody");
    EXPECT_FALSE(player.cycle_melody);
    EXPECT_EQ(changed_keys(before), Keys{"cycle_melody"});

    before = configuration_lines();
    type("smallest_max_time_for_calc", "0.02");
    EXPECT_DOUBLE_EQ(player.smallest_max_time_for_calc, 0.02);
    EXPECT_EQ(changed_keys(before), Keys{"smallest_max_time_for_calc"});

    before = configuration_lines();
    tick("escape_interrupts");
    EXPECT_TRUE(player.escape_interrupts);
    EXPECT_EQ(changed_keys(before), Keys{});  // a setting of this run only

    expect_refused(
        "look_ahead", "3000",
        "The look-ahead takes a whole number from 0 to 2559 notes: \"3000\" is not one, so nothing was changed.");
    EXPECT_EQ(player.iLookAhead, 3);
    expect_refused("min_calcs_for_min_time", "abc",
                   "The number of skipped notes between clock readings takes a whole number from 1 to 1000000 notes: "
                   "\"abc\" is not one, so nothing was changed.");
    expect_refused("timer_resolution", "2.5",
                   "The timer resolution takes a whole number from 1 to 100 ms: \"2.5\" is not one, so nothing was "
                   "changed.");
    EXPECT_EQ(player.uTimerRes, 8u);
    EXPECT_FALSE(context->settings().needs_save);  // no setting here belongs to the composition

    // A mended text is taken and the mark goes.
    type("look_ahead", "4");
    EXPECT_EQ(player.iLookAhead, 4);
    EXPECT_FALSE(field("look_ahead")->property("refused").toBool());
}

TEST_F(SettingsWindowTest, LeavingAFieldWithoutTypingChangesNothing) {
    start();
    open('I', "options_window");
    const auto before = configuration_lines();
    for (const char* name : {"look_ahead", "timer_resolution", "smallest_max_time_for_calc"}) {
        field(name)->setFocus();
        emit field(name)->editingFinished();
    }
    EXPECT_EQ(changed_keys(before), Keys{});
    EXPECT_FALSE(context->settings().uTimerRes_set_explicitly);
}

TEST_F(SettingsWindowTest, NoteTimingChangesTheCompositionAndMarksItChanged) {
    start();
    open('E', "note_timing_window");
    const auto& c = context->composition();
    EXPECT_FALSE(field("timing_shift")->isEnabled());

    auto before = configuration_lines();
    tick("has_timing_shift");
    EXPECT_TRUE(c.has_Note_timing_shift);
    EXPECT_EQ(changed_keys(before), (Keys{"Note_timing_shift", "needs_save"}));
    EXPECT_TRUE(field("timing_shift")->isEnabled());
    EXPECT_TRUE(window->windowTitle().contains('*'));

    before = configuration_lines();
    type("timing_shift", "1/4");
    EXPECT_DOUBLE_EQ(c.Note_timing_shift, 0.25);
    EXPECT_EQ(changed_keys(before), Keys{"Note_timing_shift"});

    before = configuration_lines();
    tick("has_times_by_position");
    type("times_by_position", "1 2 3/2");
    EXPECT_TRUE(c.has_times_by_melody_pos);
    EXPECT_EQ(c.times_by_melody_pos, (std::vector<double>{1, 2, 1.5}));
    EXPECT_EQ(changed_keys(before), Keys{"times_by_melody_pos"});

    before = configuration_lines();
    type("rhythm_fractal_to_level", "2");
    EXPECT_EQ(c.iRhythmFractalToLevel, 2);
    EXPECT_EQ(changed_keys(before), Keys{"iRhythmFractalToLevel"});

    expect_refused("timing_shift", "1.5",
                   "The timing shift takes a number from 0 to 1: \"1.5\" is not one, so nothing was changed.");
    expect_refused("times_by_position", "1 x 2",
                   "The times by seed position take numbers from 0 to 1000, at most 1000 of them: \"x\" is not one, so "
                   "nothing was changed.");
    expect_refused(
        "rhythm_fractal_to_level", "30",
        "The top level of the rhythm fractal takes a whole number from 0 to 29: \"30\" is not one, so nothing "
        "was changed.");
    EXPECT_DOUBLE_EQ(c.Note_timing_shift, 0.25);
    EXPECT_EQ(c.times_by_melody_pos, (std::vector<double>{1, 2, 1.5}));
}

TEST_F(SettingsWindowTest, RangeChangesTheChosenChannelAndKeepsItsValuesForNextTime) {
    start();
    open('J', "range_window");
    const auto& c = context->composition();
    const auto& s = context->settings();

    auto before = configuration_lines();
    choose("range_channel", 2);
    EXPECT_EQ(s.iRangesChannel, 2);
    EXPECT_EQ(changed_keys(before), Keys{"iRangesChannel"});

    before = configuration_lines();
    type("lowest_note", "48");
    EXPECT_EQ(c.Min_notes_for_channels[2], 48);
    EXPECT_EQ(s.midi_range_min, 48);
    EXPECT_EQ(c.Min_notes_for_channels[1], 0);
    EXPECT_EQ(changed_keys(before), (Keys{"Min_notes_for_channels", "midi_range_min", "needs_save"}));
    EXPECT_EQ(in_window<QLabel>("lowest_note_name")->text(), "C3");

    type("highest_note", "72");
    before = configuration_lines();
    choose("out_of_range", 3);
    EXPECT_EQ(c.iActionIfOutOfRange[2], 3);
    EXPECT_EQ(s.action_if_out_of_range, 3);
    EXPECT_EQ(changed_keys(before), (Keys{"iActionIfOutOfRange", "action_if_out_of_range"}));

    expect_refused("lowest_note", "200",
                   "The lowest note takes a whole number from 0 to 127 (MIDI note): \"200\" is not one, so nothing was "
                   "changed.");
    expect_refused("lowest_note", "80",
                   "The lowest note may not be above the highest note, 72: 80 is, so nothing was changed.");
    EXPECT_EQ(c.Min_notes_for_channels[2], 48);

    // Another channel shows its own values, and the refusal is dropped.
    choose("range_channel", 0);
    EXPECT_EQ(field("lowest_note")->text(), "0");
    EXPECT_FALSE(field("lowest_note")->property("refused").toBool());
    choose("range_channel", 2);
    QTest::mouseClick(in_window<QPushButton>("apply_to_all"), Qt::LeftButton);
    EXPECT_EQ(c.Min_notes_for_channels[15], 48);
    EXPECT_EQ(c.Max_notes_for_channels[0], 72);
    EXPECT_EQ(c.iActionIfOutOfRange[7], 3);
}

TEST_F(SettingsWindowTest, EffectsChangeTheChosenChannelsPortamentoAndVibrato) {
    start();
    open('F', "effects_window");
    const auto& c = context->composition();
    const auto& s = context->settings();
    choose("effects_channel", 1);
    EXPECT_EQ(s.iEffectsChannel, 1);
    EXPECT_FALSE(field("slide_time")->isEnabled());

    auto before = configuration_lines();
    tick("portamento");
    EXPECT_EQ(c.iPortamento[1], 1);
    EXPECT_TRUE(s.portamento);
    EXPECT_EQ(changed_keys(before), (Keys{"iPortamento", "portamento", "needs_save"}));

    before = configuration_lines();
    type("slide_time", "100");
    EXPECT_EQ(c.iPortamento_slide_time[1], 100);
    EXPECT_EQ(c.iPortamento_slide_time[0], 64);
    EXPECT_EQ(s.portamento_slide_time, 100);
    EXPECT_EQ(changed_keys(before), (Keys{"iPortamento_slide_time", "portamento_slide_time"}));

    tick("vibrato");
    before = configuration_lines();
    type("vibrato_rate", "11/2");
    EXPECT_DOUBLE_EQ(c.dVibrato_freq[1], 5.5);
    EXPECT_DOUBLE_EQ(s.vibrato_freq, 5.5);
    EXPECT_EQ(changed_keys(before), (Keys{"dVibrato_freq", "vibrato_freq"}));

    before = configuration_lines();
    tick("legato");
    EXPECT_TRUE(s.voices.legato);
    EXPECT_EQ(changed_keys(before), Keys{"legato"});

    expect_refused("vibrato_depth", "150",
                   "The vibrato depth takes a number from 0 to 100 %: \"150\" is not one, so nothing was changed.");
    expect_refused("slide_time", "-1",
                   "The slide time takes a whole number from 0 to 127: \"-1\" is not one, so nothing was changed.");
    EXPECT_DOUBLE_EQ(c.dVibrato_amp[1], 10);
    EXPECT_EQ(c.iPortamento_slide_time[1], 100);
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

TEST_F(SettingsWindowTest, PcKeyboardVoicesChangeTheKeysSettings) {
    start();
    open('K', "pc_keyboard_voices_window");
    const auto& keys = context->settings().play_along;

    auto before = configuration_lines();
    choose("keys_channel", 4);
    EXPECT_EQ(keys.iChannelForVoiceForPcKeyboard, 4);
    EXPECT_EQ(changed_keys(before), Keys{"iChannelForVoiceForPcKeyboard"});

    EXPECT_FALSE(field("row_volume_2")->isEnabled());
    before = configuration_lines();
    tick("volumes_by_row");
    EXPECT_TRUE(keys.volumes_by_keyboard_row);
    EXPECT_EQ(changed_keys(before), Keys{"volumes_by_keyboard_row"});
    EXPECT_TRUE(field("row_volume_2")->isEnabled());

    before = configuration_lines();
    type("row_volume_2", "100");
    EXPECT_EQ(keys.vols_for_pc_keyboard_rows, (midi::KeyboardRows{127, 100, 63, 31}));
    EXPECT_EQ(changed_keys(before), Keys{"vols_for_pc_keyboard_rows"});

    before = configuration_lines();
    tick("keys_on_channel_15");
    EXPECT_EQ(keys.iPitchesForPCKeyboardRows, 3);
    EXPECT_EQ(changed_keys(before), Keys{"iPitchesForPCKeyboardRows"});

    const QString help_before = in_window<QLabel>("keys_help")->text();
    tick("key_left_of_1");
    EXPECT_FALSE(keys.pc_key_1_for_degree_1);
    EXPECT_NE(in_window<QLabel>("keys_help")->text(), help_before);

    expect_refused("row_volume_2", "128",
                   "The row's volume takes a whole number from 0 to 127: \"128\" is not one, so nothing was changed.");
    EXPECT_EQ(keys.vols_for_pc_keyboard_rows[1], 100);
}

TEST_F(SettingsWindowTest, ScalaKeepsTheProgramsLocationAndTheListName) {
    start();
    open('L', "scala_window");
    auto before = configuration_lines();
    type("scala_location", "/opt/scala/scala");
    EXPECT_EQ(context->settings().ScalaLocation, "/opt/scala/scala");
    EXPECT_EQ(context->stored().ScalaLocation, "/opt/scala/scala");
    EXPECT_EQ(changed_keys(before), Keys{"ScalaLocation"});
    EXPECT_EQ(in_window<QLabel>("scala_found")->text(), "There is no file at this location.");

    before = configuration_lines();
    type("scala_modes_lsc", "My modes.lsc");
    EXPECT_EQ(context->settings().ScalaModesLSC, "My modes.lsc");
    EXPECT_EQ(changed_keys(before), Keys{"ScalaModesLSC"});

    before = configuration_lines();
    tick("scala_auto_sort_lmds");
    EXPECT_TRUE(context->settings().scala_auto_sort_lmds);
    EXPECT_EQ(changed_keys(before), Keys{"scala_auto_sort_lmds"});

    expect_refused("scala_modes_lsc", "lists/modes.lsc",
                   "The list of scales for the modes takes a file name (no folder) of 1 to 260 characters: "
                   "\"lists/modes.lsc\" names a folder, so nothing was changed.");
    expect_refused("scala_location", "",
                   "The Scala program's location takes a path of 1 to 260 characters: nothing was typed, so nothing "
                   "was changed.");
    EXPECT_EQ(context->settings().ScalaLocation, "/opt/scala/scala");
}

TEST_F(SettingsWindowTest, EditorPlaybackSetsHowTheScaleAndArpeggioEditorsPlay) {
    start();
    ASSERT_TRUE(window->open_window('S'));
    auto* scale_editor = window->findChild<QWidget*>("scale_editor");
    ASSERT_NE(scale_editor, nullptr);
    open('4', "editor_playback_window");

    auto before = configuration_lines();
    choose("figuration", 1);
    EXPECT_EQ(context->settings().iSAPlaybackFiguration, 1);
    EXPECT_EQ(changed_keys(before), Keys{"iSAPlaybackFiguration"});
    EXPECT_EQ(scale_editor->findChild<QComboBox*>("figure")->currentText(), "Chord");

    before = configuration_lines();
    choose("direction", 1);
    EXPECT_EQ(context->settings().iSAPlaybackAscDesc, 1);
    EXPECT_EQ(changed_keys(before), Keys{"iSAPlaybackAscDesc"});
    EXPECT_EQ(scale_editor->findChild<QComboBox*>("direction")->currentText(), "Descending");

    // An editor opened later starts as set; the seed editor keeps its own.
    ASSERT_TRUE(window->open_window('A'));
    auto* arpeggio_editor = window->findChild<QWidget*>("arpeggio_editor");
    EXPECT_EQ(arpeggio_editor->findChild<QComboBox*>("figure")->currentText(), "Chord");
    ASSERT_TRUE(window->open_window('D'));
    EXPECT_EQ(window->findChild<QWidget*>("seed_editor")->findChild<QComboBox*>("figure")->currentText(), "Sequence");

    // A value the lists do not have, from a hand-edited configuration, shows as none.
    context->settings().iSAPlaybackFiguration = 7;
    open('4', "editor_playback_window");
    EXPECT_EQ(in_window<QComboBox>("figuration")->currentIndex(), -1);
}

TEST_F(SettingsWindowTest, AWindowShowsWhatChangedElsewhereWhenShownAgain) {
    start();
    QWidget* range = open('J', "range_window");
    range->close();
    context->composition().Min_notes_for_channels[0] = 36;
    open('J', "range_window");
    EXPECT_EQ(field("lowest_note")->text(), "36");
    EXPECT_EQ(in_window<QLabel>("lowest_note_name")->text(), "C2");
}

}  // namespace
}  // namespace corvane::ui
