// The note assignments editor (window code 2) and the note-played window (code 3) driven
// by notes from an injected MIDI keyboard; the volume bars, the active-sensing light, the
// scale tools' window codes, Non M. Perc... and Command line options...

#include <QSlider>
#include <QTableWidget>

#include "corvane/midi/midi_in_presets.h"
#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

// The number of a note shown as "D4 (62)".
int note_number(const QString& shown) { return shown.section(QLatin1Char('('), 1).chopped(1).toInt(); }

class NoteWindowsTest : public MainWindowTest {
protected:
    void start_with_midi_in() {
        start();
        QCoreApplication::processEvents();
        item("&In", "open_midi_in_now")->trigger();
        ASSERT_TRUE(inputs.is_open());
    }
    NoteAssignmentsWindow* open_assignments() {
        EXPECT_TRUE(window->open_window('2'));
        auto* editor = window->findChild<NoteAssignmentsWindow*>("note_assignments");
        EXPECT_NE(editor, nullptr);
        table = editor->findChild<QTableWidget*>("assignments");
        return editor;
    }
    void edit(int row, int column, const QString& typed) { table->item(row, column)->setText(typed); }
    midi::PlayAlongSettings& play_along() { return context->settings().play_along; }
    int notes_sent() const {
        if (!outputs.recording()) return 0;
        const auto all = outputs.recording()->messages();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](const auto& m) {
            return (m.message & 0xF0) == 0x90 && ((m.message >> 16) & 0x7F) > 0;
        }));
    }

    QTableWidget* table = nullptr;
};

TEST_F(NoteWindowsTest, EditingTheRowsRewritesTheTablesAndFindsThePresetAgain) {
    start_with_midi_in();
    auto* editor = open_assignments();
    ASSERT_EQ(table->rowCount(), 1);  // one range on voice 1, as a new setup has it
    EXPECT_EQ(table->item(0, 1)->text(), "C-1 (0)");
    EXPECT_EQ(table->item(0, 2)->text(), "G9 (127)");
    const int plain_preset = midi::matching_midi_in_preset(play_along(), context->composition());

    editor->findChild<QPushButton*>("add_single_note")->click();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(editor->selected_row(), 1);
    edit(1, 4, "7");  // a fixed scale position for middle C
    edit(1, 3, "3");
    EXPECT_EQ(play_along().iModeForMidiInNotes[60], 0);
    EXPECT_EQ(play_along().iScalePosForMidiInNote[60], 7);
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[60], 2);
    EXPECT_EQ(play_along().iSelNAForMidiInNote[60], 1);
    EXPECT_EQ(play_along().iMidiInPresets, -1);
    EXPECT_TRUE(context->settings().needs_save);
    EXPECT_EQ(editor->findChild<QLabel*>("assignments_preset")->text(), "Keyboard preset: (no preset matches)");

    edit(1, 3, "17");  // no such voice: the row stays as it was
    EXPECT_EQ(table->item(1, 3)->text(), "3");
    editor->findChild<QPushButton*>("remove_row")->click();
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(play_along().iModeForMidiInNotes[60], midi::kNoFixedAssignment);
    EXPECT_EQ(play_along().iMidiInPresets, plain_preset);

    // A preset chosen in the MIDI In options shows in the editor at once.
    ASSERT_TRUE(window->open_window('Y'));
    auto* presets = window->findChild<MidiInOptionsDialog*>("midi_in_options")->findChild<QComboBox*>("presets");
    presets->activated(0);
    EXPECT_EQ(table->rowCount(), static_cast<int>(read_note_assignments(play_along()).size()));
    EXPECT_EQ(editor->findChild<QLabel*>("assignments_preset")->text(),
              "Keyboard preset: " + QString::fromUtf8(midi::midi_in_preset_names()[0].data()));
}

TEST_F(NoteWindowsTest, CapturedNotesGoIntoTheSelectedRowAndPlayedNotesSelectTheirRow) {
    start_with_midi_in();
    auto* editor = open_assignments();
    edit(0, 3, "2");
    editor->findChild<QPushButton*>("add_single_note")->click();  // middle C, row 1
    table->setCurrentCell(0, 2);                                  // the range's top note
    auto* capture = editor->findChild<QPushButton*>("capture");
    capture->click();
    ASSERT_TRUE(context->play_along_events().capturing());
    ASSERT_TRUE(inputs.inject(0x90, 72, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->item(0, 2)->text() == "C5 (72)"; }, 2000));
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[72], 1);
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[73], 0);
    ASSERT_TRUE(inputs.inject(0x80, 72, 0));
    QTest::qWait(50);
    EXPECT_EQ(notes_sent(), 0);  // nothing was played (the output opened, as for any note)

    capture->click();
    EXPECT_FALSE(context->play_along_events().capturing());
    ASSERT_TRUE(inputs.inject(0x90, 60, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->selected_row() == 1; }, 2000));
    EXPECT_EQ(notes_sent(), 1);
    ASSERT_TRUE(inputs.inject(0x90, 70, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->selected_row() == 0; }, 2000));

    capture->click();
    editor->hide();  // a hidden editor stops capturing
    EXPECT_FALSE(context->play_along_events().capturing());
}

TEST_F(NoteWindowsTest, TheNotePlayedWindowShowsTheLastNoteAsItWentOut) {
    start_with_midi_in();
    ASSERT_TRUE(window->open_window('3'));
    auto* details = window->findChild<QDialog*>("midi_in_note_details");
    ASSERT_NE(details, nullptr);
    EXPECT_EQ(details->windowTitle(), "Note Played from Midi In");
    const auto value = [&](const char* name) { return details->findChild<QLabel*>(name)->text(); };
    ASSERT_TRUE(inputs.inject(0x90, 62, 127));
    ASSERT_TRUE(QTest::qWaitFor([&] { return value("input_note") == "D4 (62)"; }, 2000));
    const int volume = context->composition().Volumes_for_channels[0];
    EXPECT_EQ(value("voice"), "1");
    EXPECT_EQ(value("velocity"), QString::number(std::max(1, 64 * 127 * volume / (127 * 127))));
    // The pitch in cents lies within a semitone of the note sent, bent up or down.
    const double cents = value("cents").toDouble();
    const int output_note = note_number(value("output_note"));
    EXPECT_NEAR(cents, output_note * 100.0, 100.0);
    EXPECT_EQ(value("bend").toInt() > 8192, cents > output_note * 100.0 + 0.05);
}

TEST_F(NoteWindowsTest, TheMidiInVolumeBarScalesWhatMidiInPlays) {
    start_with_midi_in();
    for (const char* name : {"main_volume", "midi_in_volume"}) {
        auto* bar = find<QSlider>(name);
        EXPECT_EQ(std::tuple(bar->minimum(), bar->maximum(), bar->value()), std::tuple(0, 127, 64)) << name;
    }
    find<QSlider>("midi_in_volume")->setValue(100);
    ASSERT_TRUE(window->open_window('3'));
    auto* velocity = window->findChild<QDialog*>("midi_in_note_details")->findChild<QLabel*>("velocity");
    ASSERT_TRUE(inputs.inject(0x90, 60, 90));
    const int volume = context->composition().Volumes_for_channels[0];
    EXPECT_TRUE(QTest::qWaitFor([&] { return velocity->text() == QString::number(std::max(1, 100 * 90 * volume / 16129)); },
                                2000))
        << velocity->text().toStdString();
}

TEST_F(NoteWindowsTest, ActiveSensingLightsTheLightForAMoment) {
    start_with_midi_in();
    auto* light = find<QLabel>("active_sensing");
    EXPECT_FALSE(light->isEnabled());
    ASSERT_TRUE(inputs.inject(0xFE, 0, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return light->isEnabled(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !light->isEnabled(); }, 2000));
}

TEST_F(NoteWindowsTest, WindowCodesUHAndROpenTheScalesOptionsAtTheirTool) {
    start();
    for (const auto& [code, button] : {std::pair{'U', "superparticular"}, std::pair{'H', "search"}, std::pair{'R', "sort"}}) {
        ASSERT_TRUE(window->open_window(code));
        auto* options = window->findChild<QDialog*>("scales_options");
        ASSERT_NE(options, nullptr);
        EXPECT_TRUE(options->isVisible());
        EXPECT_EQ(options->focusWidget(), options->findChild<QPushButton*>(button)) << code;
    }
}

TEST_F(NoteWindowsTest, NonMelodicPercussionAndCommandLineOptionsOpenFromTheirMenus) {
    start();
    QAction* percussion = item("&Voice", "non_m_perc");
    ASSERT_EQ(percussion->text(), "&Non M. Perc...");
    ASSERT_TRUE(percussion->isEnabled());
    percussion->trigger();
    auto* dialog = window->findChild<QDialog*>("non_melodic_percussion");
    ASSERT_NE(dialog, nullptr);
    auto* channel_2 = dialog->findChild<QComboBox*>("percussion_2");
    const int snare = channel_2->findData(38);
    EXPECT_EQ(channel_2->itemText(snare), "38 Acoustic Snare");
    channel_2->activated(snare);
    EXPECT_EQ(context->composition().Voices_for_channels[1], 128 + 38);
    EXPECT_TRUE(context->settings().needs_save);
    channel_2->activated(0);  // an instrument again
    EXPECT_EQ(context->composition().Voices_for_channels[1], 0);

    QMenu* file = menu("&File");
    const auto actions = file->actions();
    const auto command_line = std::find_if(actions.begin(), actions.end(),
                                           [](QAction* a) { return a->text() == "Command line options..."; });
    ASSERT_NE(command_line, actions.end());
    (*command_line)->trigger();
    auto* options = window->findChild<QDialog*>("command_line_options");
    ASSERT_NE(options, nullptr);
    EXPECT_TRUE(options->isVisible());
    EXPECT_FALSE(options->findChild<QLineEdit*>("started_as")->text().isEmpty());
}

}  // namespace
}  // namespace corvane::ui
