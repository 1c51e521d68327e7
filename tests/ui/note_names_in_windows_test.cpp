// MIDI notes by name where a musician looks for them: the note fields of the MIDI In options,
// the rows of the note assignments and the note played from MIDI in show "C4 (60)" (middle C
// is C4, as everywhere in the program) and take a name or a number typed.

#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include "main_window_fixture.h"

namespace corvane::ui {
namespace {

using namespace corvane::ui::window_testing;

class NoteNamesTest : public MainWindowTest {
protected:
    QSpinBox* note_box(const char* name) {
        EXPECT_TRUE(window->open_window('Y'));
        auto* options = window->findChild<MidiInOptionsDialog*>("midi_in_options");
        EXPECT_NE(options, nullptr);
        return options->findChild<QSpinBox*>(QLatin1String(name));
    }
    // Types into a spin box as the user does, and leaves it.
    static void type_into(QSpinBox* box, const QString& typed) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
    }
    midi::PlayAlongSettings& play_along() { return context->settings().play_along; }
};

TEST_F(NoteNamesTest, TheMidiInOptionsShowNotesByNameAndTakeANameOrANumber) {
    start();
    QSpinBox* first = note_box("first_note");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(), "C4 (60)");
    EXPECT_EQ(note_box("play_seed_note")->text(), "A5 Sharp (82)");
    EXPECT_EQ(note_box("record_note")->text(), "none");

    type_into(first, "D4");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 62);
    EXPECT_EQ(first->text(), "D4 (62)");
    type_into(first, "C#3");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 49);
    type_into(first, "E4 Flat");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 63);
    type_into(first, "Bb2");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 46);
    type_into(first, "72");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 72);
    EXPECT_EQ(first->text(), "C5 (72)");
    first->stepUp();
    EXPECT_EQ(first->text(), "C5 Sharp (73)");
    EXPECT_EQ(play_along().n1stMidiInNoteForVoiceChannel, 73);

    QSpinBox* record = note_box("record_note");
    type_into(record, "G2");
    EXPECT_EQ(play_along().nStartRecordingToMidi, 43);
    record->setValue(record->minimum());
    EXPECT_EQ(record->text(), "none");
    EXPECT_EQ(play_along().nStartRecordingToMidi, -1);
}

TEST_F(NoteNamesTest, TheNoteAssignmentsShowNotesAndPercussionByNameAndTakeThemTyped) {
    start();
    ASSERT_TRUE(window->open_window('2'));
    auto* editor = window->findChild<NoteAssignmentsWindow*>("note_assignments");
    ASSERT_NE(editor, nullptr);
    auto* table = editor->findChild<QTableWidget*>("assignments");
    EXPECT_EQ(table->item(0, 1)->text(), "C-1 (0)");
    EXPECT_EQ(table->item(0, 2)->text(), "G9 (127)");

    editor->findChild<QPushButton*>("add_single_note")->click();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->item(1, 1)->text(), "C4 (60)");
    table->item(1, 1)->setText("E4 Flat");
    EXPECT_EQ(table->item(1, 1)->text(), "D4 Sharp (63)");
    EXPECT_EQ(play_along().iSelNAForMidiInNote[63], 1);
    table->item(1, 1)->setText("40");
    EXPECT_EQ(table->item(1, 1)->text(), "E2 (40)");
    table->item(1, 1)->setText("H4");  // no such note: the row stays as it was
    EXPECT_EQ(table->item(1, 1)->text(), "E2 (40)");

    table->item(1, 5)->setText("38");
    EXPECT_EQ(table->item(1, 5)->text(), "38 Acoustic Snare");
    EXPECT_EQ(play_along().iNonMelodicPercussionForMidiInNote[40], 38);
    table->item(1, 5)->setText("42 Closed Hi-Hat");
    EXPECT_EQ(play_along().iNonMelodicPercussionForMidiInNote[40], 42);

    table->item(0, 2)->setText("B3");
    EXPECT_EQ(table->item(0, 2)->text(), "B3 (59)");
}

TEST_F(NoteNamesTest, TheNotePlayedFromMidiInIsNamed) {
    start();
    item("&In", "open_midi_in_now")->trigger();
    ASSERT_TRUE(inputs.is_open());
    ASSERT_TRUE(window->open_window('3'));
    auto* details = window->findChild<QDialog*>("midi_in_note_details");
    ASSERT_NE(details, nullptr);
    ASSERT_TRUE(inputs.inject(0x90, 61, 100));
    auto* input_note = details->findChild<QLabel*>("input_note");
    EXPECT_TRUE(QTest::qWaitFor([&] { return input_note->text() == "C4 Sharp (61)"; }, 2000))
        << input_note->text().toStdString();
    const QRegularExpression named_note(R"(^[A-G]-?\d.* \(\d+\)$)");
    EXPECT_TRUE(details->findChild<QLabel*>("output_note")->text().contains(named_note));
}

}  // namespace
}  // namespace corvane::ui
