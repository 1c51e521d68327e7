#pragma once

// The windows of playing along: the MIDI In options, the note assignments, the note played
// from MIDI in and Record Play Along. They change the settings as the user edits them,
// since MIDI in and the recorder read them live.

#include <QDialog>
#include <functional>
#include <utility>
#include <vector>

#include "corvane/midi/midi_in_play.h"
#include "corvane/ui/note_assignments.h"
#include "corvane/ui/program_context.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTimer;

namespace corvane::ui {

// "MIDI In options": the channels listened to, what the notes are for, the first note of
// the voice range, the control notes, the keyboard presets or a keyboard mapping, and the
// three options.
class MidiInOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after a preset changed the composition.
    MidiInOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    ~MidiInOptionsDialog() override;

    // Shows the settings as they stand (after a preset, a configuration read).
    void show_settings();

private:
    // Changes the options under the port lock, as MIDI in reads them under it.
    template <class Change>
    void store(Change change) {
        const auto group = context_.playback().port().hold_group();
        change(context_.settings().play_along);
    }
    QSpinBox* note_box(const char* name, int midi::PlayAlongSettings::*note, int lowest, const QString& tooltip);
    QCheckBox* flag_box(const QString& text, const char* name, bool midi::PlayAlongSettings::*flag,
                        const QString& tooltip);
    void choose_preset(int preset);
    QLayout* keyboard_mapping_row();
    void choose_keyboard_mapping(const QString& path);
    void browse_for_keyboard_mapping();

    ProgramContext& context_;
    std::function<void()> changed_;
    QLineEdit* keyboard_mapping_;
    std::vector<QCheckBox*> channels_;
    std::vector<std::pair<QSpinBox*, int midi::PlayAlongSettings::*>> notes_;
    std::vector<std::pair<QCheckBox*, bool midi::PlayAlongSettings::*>> flags_;
    QComboBox* midi_in_for_;
    QComboBox* presets_;
};

// "Note assignments": the voice ranges and single notes of MIDI in, one row each. A note
// from MIDI in goes into the selected row while capturing (a range's top note when the top
// note column is current, else its first note), and otherwise selects the row that
// assigns it. Every change rewrites the per-note tables and finds the matching preset.
class NoteAssignmentsWindow final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after the tables changed.
    NoteAssignmentsWindow(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    ~NoteAssignmentsWindow() override;

    // Reads the rows from the tables again (after a preset, a configuration read).
    void show_settings();
    void set_capturing(bool on);
    void take_captured_note(int note);
    void select_row_of_note(int note);
    int selected_row() const;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void show_rows();
    void cell_edited(int row, int column);
    void add_row(const NoteAssignment& row);
    void remove_selected_row();
    void store_rows();
    void show_preset();

    ProgramContext& context_;
    std::function<void()> changed_;
    std::vector<NoteAssignment> rows_;
    QTableWidget* table_;
    QPushButton* capture_;
    QLabel* preset_;
    bool filling_ = false;
};

// "Note Played from Midi In": the last note played from MIDI in, as it went out.
class MidiInNoteDetailsWindow final : public QDialog {
    Q_OBJECT
public:
    MidiInNoteDetailsWindow(ProgramContext& context, QWidget* parent = nullptr);
    void show_note(const midi::MidiInNote& note);

private:
    std::vector<QLabel*> values_;
};

// "Record play along (MIDI format 0)": the file (and Browse…), replace or append, the overwrite warning,
// Enable recording, the size limit, and the start button that ends the recording too.
class RecordPlayAlongDialog final : public QDialog {
    Q_OBJECT
public:
    RecordPlayAlongDialog(ProgramContext& context, QWidget* parent = nullptr);
    ~RecordPlayAlongDialog() override;

    void start_or_end();
    // The title, the button and the status as the recording stands.
    void show_recording();
    // The recording control note shows the button pressed while its key is down.
    void show_button_down(bool down);
    void show_settings();

private:
    void browse_for_file();

    ProgramContext& context_;
    QLineEdit* file_;
    QButtonGroup* mode_;
    QCheckBox* warn_;
    QCheckBox* enable_;
    QLineEdit* max_size_;
    QPushButton* start_;
    QLabel* status_;
    QTimer* status_timer_;
};

}  // namespace corvane::ui
