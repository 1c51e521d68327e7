// The In menu and MIDI in at start, the pitch wheel retuning the composition, the Record
// Play Along window making a real file, the scale tools from the Scales options window,
// Colours, Pitch, effects, and the keys of the main loop (Escape and Shift+Escape).

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <cmath>

#include "corvane/midi/play_along_recorder.h"
#include "corvane/platform/priority.h"
#include "corvane/files/composition_edits.h"
#include "corvane/ui/display_windows.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;
using platform::Answer;

using PlayAlongWindowTest = MainWindowTest;

// MIDI in opens at start when the configuration asks, and the In menu closes and opens it;
// the pitch wheel retunes the composition and marks it changed.
TEST_F(PlayAlongWindowTest, MidiInOpensAtStartWhenAskedAndThePitchWheelRetunes) {
    start_configured("open_midi_in_at_start_of_session=1");
    EXPECT_TRUE(QTest::qWaitFor([&] { return inputs.is_open(); }, 2000));
    EXPECT_EQ(item("&In", "open_midi_in_now")->text(), "&Close MIDI in now");
    EXPECT_TRUE(item("&In", "device_0")->isChecked());
    item("&In", "open_midi_in_now")->trigger();
    EXPECT_FALSE(inputs.is_open());
    EXPECT_EQ(item("&In", "open_midi_in_now")->text(), "&Open MIDI in now");
    item("&In", "open_midi_in_now")->trigger();
    EXPECT_TRUE(inputs.is_open());
    item("&In", "options")->trigger();
    EXPECT_TRUE(find<QDialog>("midi_in_options")->isVisible());

    const double before = context->composition().Frequency_of_lowest_note;
    ASSERT_TRUE(inputs.inject(0xE0, 0x7F, 0x7F));  // the wheel right up: 16383
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle().endsWith('*'); }, 2000));
    const double expected = before * std::exp2((16383.0 - 8192.0) / 8192.0 / 12.0);
    EXPECT_NEAR(context->composition().Frequency_of_lowest_note, expected, 1e-9);
    EXPECT_FALSE(context->settings().use_concert_pitch);
    EXPECT_EQ(text("lowest_frequency").toStdString(), files::number_text(expected));
    reporter.save_choice = platform::SaveChoice::discard;
    window->exit_program();
    EXPECT_EQ(stored("MidiInDevice"), "0");
}

// The MIDI In options take a keyboard mapping that reads and refuse one that does not,
// saying why in the field and in a message, and keep the one in use; No mapping clears it.
TEST_F(PlayAlongWindowTest, TheKeyboardMappingRowRefusesAFileThatIsNoMapping) {
    const std::string good = (folder / "good.kbm").string();
    const std::string bad = (folder / "bad.kbm").string();
    testing::write_bytes(good, "0\n0\n127\n60\n69\n440\n12\n");
    testing::write_bytes(bad, "12\n0\n127\n60\nA4\n440\n12\n");
    start();
    item("&In", "options")->trigger();
    auto* field = find<QLineEdit>("keyboard_mapping");
    type_into(field, QString::fromStdString(good));
    EXPECT_EQ(context->settings().play_along.midi_in_keyboard_mapping, good);

    type_into(field, QString::fromStdString(bad));
    const std::string why = "\"" + bad + "\" is no keyboard mapping: line 5: \"A4\" is not a whole number from 0 "
                            "to 127 for the reference key";
    ASSERT_FALSE(reporter.entries().empty());
    EXPECT_EQ(reporter.entries().back().message, why);
    EXPECT_EQ(reporter.entries().back().caption, "Keyboard mapping");
    EXPECT_TRUE(field->property("refused").toBool());  // the reason as its tooltip: refuse_field's (MidiFileDialogTest)
    EXPECT_EQ(field->text().toStdString(), bad);
    EXPECT_EQ(context->settings().play_along.midi_in_keyboard_mapping, good);

    click("clear_keyboard_mapping");
    EXPECT_EQ(context->settings().play_along.midi_in_keyboard_mapping, "");
    EXPECT_EQ(field->text(), "");
    EXPECT_FALSE(field->property("refused").toBool());
}

// A mapping the configuration names is read at start; one that does not read is said once.
TEST_F(PlayAlongWindowTest, AKeyboardMappingTheConfigurationNamesIsReadAtStart) {
    const std::string missing = (folder / "gone.kbm").string();
    start_configured("midi_in_keyboard_mapping " + missing);
    ASSERT_EQ(reporter.entries().size(), 1u);
    EXPECT_EQ(reporter.entries()[0].message, "cannot read \"" + missing + "\": No such file or directory");
    EXPECT_EQ(reporter.entries()[0].caption, "Keyboard mapping");
    EXPECT_EQ(context->settings().play_along.midi_in_keyboard_mapping, missing);
    item("&File", "read_config_")->trigger();  // the same path: not read again
    EXPECT_EQ(reporter.entries().size(), 1u);
}

TEST_F(PlayAlongWindowTest, RecordPlayAlongMakesAFileAndGuardsSaveAndExit) {
    start();
    ASSERT_TRUE(window->open_window('G'));
    RecordPlayAlongDialog* dialog = window->record_dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Record play along (MIDI format 0)");
    auto* button = dialog->findChild<QPushButton*>("start_recording");
    EXPECT_EQ(button->text(), "&Start recording Now");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(reporter.said(midi::kEnableRecordingHelp));

    dialog->findChild<QCheckBox*>("enable_recording")->setChecked(true);
    item("&Out", "open_midi_out_now")->trigger();  // a recording hears only what goes to an open port
    QTest::mouseClick(button, Qt::LeftButton);
    auto& recorder = context->play_along().recorder();
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.recording_now(); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->text() == "&End recording Now"; }, 2000));
    EXPECT_EQ(dialog->windowTitle(),
              "Record Play Along - recording to new file \"Play along.mid\" (next recording = over)");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog->findChild<QLabel*>("recording_status")->text().startsWith("Saved: "); }, 2000));

    // A MIDI file save is refused while recording, and the exit asks first.
    window->open_window('M');
    QTest::mouseClick(window->midi_file_dialog()->findChild<QPushButton*>("save"), Qt::LeftButton);
    EXPECT_FALSE(context->midi_save().running());
    reporter.answer = Answer::no;
    EXPECT_FALSE(window->exit_program());
    EXPECT_EQ(reporter.entries().back().message, "Record play along to MIDI in progress.\n\nExit anyway?");

    QTest::qWait(static_cast<int>(midi::kStopGuardMs) + 100);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.requested(); }, 3000));
    recorder.wait();
    EXPECT_TRUE(QTest::qWaitFor([&] { return button->text() == "&Start recording Now"; }, 2000));
    EXPECT_EQ(dialog->windowTitle(), "Record Play Along");
    EXPECT_TRUE(std::filesystem::exists(folder / "Play along.mid"));  // its content: all_threads_test
}

// The Scales options with its fields filled in.
QDialog* scales_options_with(MainWindow& window, std::initializer_list<std::pair<const char*, const char*>> fields) {
    EXPECT_TRUE(window.open_window('O'));
    auto* options = window.findChild<QDialog*>("scales_options");
    for (const auto& [name, value] : fields) options->findChild<QLineEdit*>(name)->setText(value);
    return options;
}

// A long search halts from its own button, and another tool is refused meanwhile; a short
// one fills the scales list from its worker.
TEST_F(PlayAlongWindowTest, ScaleToolsHaltFromTheirButtonAndFillTheScalesList) {
    start();
    auto* options = scales_options_with(*window, {{"most_steps", "40"},
                                                  {"fewest_steps", "1"},
                                                  {"top_note", "2"},
                                                  {"smallest_step", "1.0001"},
                                                  {"most_scales", "1000000"}});
    auto* tool = options->findChild<QPushButton*>("superparticular");
    QTest::mouseClick(tool, Qt::LeftButton);
    EXPECT_EQ(tool->text(), "&Halt search");
    QTest::mouseClick(options->findChild<QPushButton*>("sort"), Qt::LeftButton);
    EXPECT_EQ(reporter.entries().back().message,
              "Find all superparticular scales search in progress\n\nYou need to halt this search first.");
    QTest::mouseClick(tool, Qt::LeftButton);  // the same button halts
    EXPECT_TRUE(QTest::qWaitFor([&] { return tool->text() == "&Find all superparticular scales"; }, 10000));
    EXPECT_FALSE(context->scale_tools().running());

    scales_options_with(*window, {{"most_steps", "2"}, {"fewest_steps", "2"}, {"smallest_step", "1.0125"},
                                  {"largest_step", "1"}});
    QTest::mouseClick(tool, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context->scale_tools().running(); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tool->text() == "&Find all superparticular scales"; }, 2000));
    const auto& entries = context->workspace().scales.entries;
    const auto found = std::count_if(entries.begin(), entries.end(),
                                     [](const files::ListEntry& e) { return e.description == "3/2 4/3 "; });
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(reporter.entries().back().message.starts_with("List of 1 superparticular scales completed"));
    EXPECT_EQ(reporter.entries().back().caption, "Find all superparticular scales");
    EXPECT_NE(find<QComboBox>("scales")->findText("3/2 4/3 "), -1);
}

TEST_F(PlayAlongWindowTest, ColoursPitchAndEffectsChangeWhatTheyShow) {
    start();
    auto* colours = open_window<ColoursDialog>('C', "colours");
    auto* background = colours->findChild<QComboBox*>("colour_0");  // the volume bar's
    const int red = background->findText("Red");
    background->setCurrentIndex(red);
    emit background->activated(red);
    EXPECT_EQ(context->workspace().colours.volume_bar.Background, (files::Rgb{255, 0, 0}));

    auto* pitch = open_window<PitchDialog>('P', "pitch");
    const double before = context->composition().Frequency_of_lowest_note;
    pitch->move_to(1200);
    EXPECT_NEAR(context->composition().Frequency_of_lowest_note, 2 * before, 1e-9);
    EXPECT_FALSE(context->settings().use_concert_pitch);

    auto* table = open_window<QTableWidget>('N', "channels");
    const auto column = [table](const QString& title) {
        for (int c = 0; c < table->columnCount(); ++c) {
            if (table->horizontalHeaderItem(c)->text() == title) return c;
        }
        return -1;
    };
    table->item(2, column("Vibrato"))->setText("1");
    table->item(2, column("Vibrato Hz"))->setText("11/2");
    EXPECT_EQ(context->composition().iVibrato[2], 1);
    EXPECT_DOUBLE_EQ(context->composition().dVibrato_freq[2], 5.5);
}

TEST_F(PlayAlongWindowTest, EscapeStopsASaveAndShiftEscapeRestoresNormalPriority) {
    start();
    start_long_midi_save();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !context->midi_save().running(); }, 5000));

    if (!platform::set_process_priority(platform::ProcessPriority::high).empty() ||
        platform::current_process_priority() != platform::ProcessPriority::high) {
        GTEST_SKIP() << "this process may not raise its priority";
    }
    QTest::keyClick(window.get(), Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(platform::current_process_priority(), platform::ProcessPriority::normal);
}

}  // namespace
}  // namespace corvane::ui
