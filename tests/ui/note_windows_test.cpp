// The note assignments editor (window code 2), the note-played window (code 3) and the MIDI
// In options, driven by notes from an injected MIDI keyboard: notes show by name, "C4 (60)"
// (middle C is C4, as everywhere in the program), and take a name or a number typed. Also
// the volume bars, the active-sensing light and Non M. Perc...

#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
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
    NoteAssignmentsWindow* open_assignments() {
        auto* editor = open_window<NoteAssignmentsWindow>('2', "note_assignments");
        table = editor->findChild<QTableWidget*>("assignments");
        return editor;
    }
    void edit(int row, int column, const QString& typed) { table->item(row, column)->setText(typed); }
    QString shown(int row, int column) const { return table->item(row, column)->text(); }
    midi::PlayAlongSettings& play_along() { return context->settings().play_along; }

    QTableWidget* table = nullptr;
};

TEST_F(NoteWindowsTest, TheMidiInOptionsShowNotesByNameAndTakeANameOrANumber) {
    start();
    auto* options = open_window<MidiInOptionsDialog>('Y', "midi_in_options");
    const auto box = [&](const char* name) { return options->findChild<QSpinBox*>(QLatin1String(name)); };
    EXPECT_EQ(box("first_note")->text(), "C4 (60)");
    EXPECT_EQ(box("play_seed_note")->text(), "A5 Sharp (82)");
    EXPECT_EQ(box("record_note")->text(), "none");

    const std::tuple<const char*, int, const char*> typed_notes[] = {
        {"D4", 62, "D4 (62)"}, {"C#3", 49, "C3 Sharp (49)"}, {"E4 Flat", 63, "D4 Sharp (63)"},
        {"Bb2", 46, "A2 Sharp (46)"}, {"72", 72, "C5 (72)"}};
    for (const auto& [typed, note, name] : typed_notes) {
        type_into(box("first_note"), typed);
        EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, note) << typed;
        EXPECT_EQ(box("first_note")->text(), QString::fromLatin1(name));
    }
    box("first_note")->stepUp();
    EXPECT_EQ(box("first_note")->text(), "C5 Sharp (73)");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 73);

    type_into(box("record_note"), "G2");
    EXPECT_EQ(play_along().nStartRecordingToMidi, 43);
    box("record_note")->setValue(box("record_note")->minimum());
    EXPECT_EQ(box("record_note")->text(), "none");
    EXPECT_EQ(play_along().nStartRecordingToMidi, -1);
}

// The rows show notes and percussion by name and take them typed; an edit rewrites MIDI in's
// per-note tables and finds the preset that matches again.
TEST_F(NoteWindowsTest, EditingTheRowsRewritesTheTablesAndNonMelodicPercussionSetsAChannel) {
    start();
    auto* editor = open_assignments();
    ASSERT_EQ(table->rowCount(), 1);  // one range on voice 1, as a new setup has it
    EXPECT_EQ(shown(0, 1), "C-1 (0)");
    EXPECT_EQ(shown(0, 2), "G9 (127)");
    const int plain_preset = midi::matching_midi_in_preset(play_along(), context->composition());

    editor->findChild<QPushButton*>("add_single_note")->click();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(editor->selected_row(), 1);
    EXPECT_EQ(shown(1, 1), "C4 (60)");
    edit(1, 4, "7");  // a fixed scale position for middle C
    edit(1, 3, "3");
    EXPECT_EQ(play_along().iModeForMidiInNotes[60], 0);
    EXPECT_EQ(play_along().iScalePosForMidiInNote[60], 7);
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[60], 2);
    EXPECT_EQ(play_along().iMidiInPresets, -1);
    EXPECT_TRUE(context->settings().needs_save);
    EXPECT_EQ(editor->findChild<QLabel*>("assignments_preset")->text(), "Keyboard preset: (no preset matches)");
    edit(1, 3, "17");  // no such voice: the row stays as it was
    EXPECT_EQ(shown(1, 3), "3");

    edit(1, 1, "40");  // names are read as the MIDI In options read them (typed_note)
    EXPECT_EQ(shown(1, 1), "E2 (40)");
    EXPECT_EQ(play_along().iSelNAForMidiInNote[40], 1);
    edit(1, 1, "H4");  // no such note: the row stays as it was
    EXPECT_EQ(shown(1, 1), "E2 (40)");
    edit(1, 5, "38");
    EXPECT_EQ(shown(1, 5), "38 Acoustic Snare");
    EXPECT_EQ(play_along().iNonMelodicPercussionForMidiInNote[40], 38);
    edit(1, 5, "42 Closed Hi-Hat");
    EXPECT_EQ(play_along().iNonMelodicPercussionForMidiInNote[40], 42);
    edit(0, 2, "B3");
    EXPECT_EQ(shown(0, 2), "B3 (59)");

    edit(0, 2, "127");
    editor->findChild<QPushButton*>("remove_row")->click();
    EXPECT_EQ(table->rowCount(), 1);
    EXPECT_EQ(play_along().iModeForMidiInNotes[40], midi::kNoFixedAssignment);
    EXPECT_EQ(play_along().iMidiInPresets, plain_preset);

    // A preset chosen in the MIDI In options shows in the editor at once.
    open_window<MidiInOptionsDialog>('Y', "midi_in_options")->findChild<QComboBox*>("presets")->activated(0);
    EXPECT_EQ(table->rowCount(), static_cast<int>(read_note_assignments(play_along()).size()));
    EXPECT_EQ(editor->findChild<QLabel*>("assignments_preset")->text(),
              "Keyboard preset: " + QString::fromUtf8(midi::midi_in_preset_names()[0].data()));

    // Non M. Perc... in the Voice menu sets a channel's percussion sound.
    context->settings().needs_save = false;
    item("&Voice", "non_m_perc")->trigger();
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
}

TEST_F(NoteWindowsTest, CapturedNotesGoIntoTheSelectedRowAndPlayedNotesSelectTheirRow) {
    start();
    open_midi_in();
    auto* editor = open_assignments();
    edit(0, 3, "2");
    editor->findChild<QPushButton*>("add_single_note")->click();  // middle C, row 1
    table->setCurrentCell(0, 2);                                  // the range's top note
    auto* capture = editor->findChild<QPushButton*>("capture");
    capture->click();
    ASSERT_TRUE(context->play_along_events().capturing());
    ASSERT_TRUE(inputs.inject(0x90, 72, 100));
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(0, 2) == "C5 (72)"; }, 2000));
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[72], 1);
    EXPECT_EQ(play_along().iVoiceChannelForMidiInNote[73], 0);
    ASSERT_TRUE(inputs.inject(0x80, 72, 0));
    QTest::qWait(50);
    EXPECT_EQ(note_ons(), 0);  // nothing was played (the output opened, as for any note)

    capture->click();
    EXPECT_FALSE(context->play_along_events().capturing());
    ASSERT_TRUE(inputs.inject(0x90, 60, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->selected_row() == 1; }, 2000));
    EXPECT_EQ(note_ons(), 1);
    ASSERT_TRUE(inputs.inject(0x90, 70, 100));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor->selected_row() == 0; }, 2000));

    capture->click();
    editor->hide();  // a hidden editor stops capturing
    EXPECT_FALSE(context->play_along_events().capturing());
}

// The note-played window shows the last note from MIDI in as it went out, at the velocity
// the MIDI in volume bar scales it to.
TEST_F(NoteWindowsTest, TheNotePlayedWindowAndTheActiveSensingLightFollowMidiIn) {
    start();
    open_midi_in();
    for (const char* name : {"main_volume", "midi_in_volume"}) {
        auto* bar = find<QSlider>(name);
        EXPECT_EQ(std::tuple(bar->minimum(), bar->maximum(), bar->value()), std::tuple(0, 127, 64)) << name;
    }
    find<QSlider>("midi_in_volume")->setValue(100);
    auto* details = open_window<QDialog>('3', "midi_in_note_details");
    const auto value = [&](const char* name) { return details->findChild<QLabel*>(name)->text(); };
    ASSERT_TRUE(inputs.inject(0x90, 61, 90));
    ASSERT_TRUE(QTest::qWaitFor([&] { return value("input_note") == "C4 Sharp (61)"; }, 2000))
        << value("input_note").toStdString();
    const int volume = context->composition().Volumes_for_channels[0];
    EXPECT_EQ(value("voice"), "1");
    EXPECT_EQ(value("velocity"), QString::number(std::max(1, 100 * 90 * volume / (127 * 127))));
    const QRegularExpression named_note(R"(^[A-G]-?\d.* \(\d+\)$)");
    EXPECT_TRUE(value("output_note").contains(named_note)) << value("output_note").toStdString();
    // The pitch in cents lies within a semitone of the note sent, bent up or down.
    const double cents = value("cents").toDouble();
    const int output_note = note_number(value("output_note"));
    EXPECT_NEAR(cents, output_note * 100.0, 100.0);
    EXPECT_EQ(value("bend").toInt() > 8192, cents > output_note * 100.0 + 0.05);

    // Active sensing lights the light for a moment.
    auto* light = find<QLabel>("active_sensing");
    EXPECT_FALSE(light->isEnabled());
    ASSERT_TRUE(inputs.inject(0xFE, 0, 0));
    EXPECT_TRUE(QTest::qWaitFor([&] { return light->isEnabled(); }, 2000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !light->isEnabled(); }, 2000));
}

}  // namespace
}  // namespace corvane::ui
