#pragma once

// The windows of playing along: the MIDI In options and Record Play Along. Both change
// the settings as the user edits them, since MIDI in and the recorder read them live.

#include <QDialog>
#include <functional>
#include <utility>
#include <vector>

#include "corvane/ui/program_context.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;

namespace corvane::ui {

// "MIDI In options": the channels listened to, what the notes are for, the first note of
// the voice range, the control notes, the keyboard presets and the three options.
class MidiInOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after a preset changed the composition.
    MidiInOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);

    // Shows the settings as they stand (after a preset, a configuration read).
    void show_settings();

private:
    QSpinBox* note_box(const char* name, int midi::PlayAlongSettings::*note, int lowest);
    QCheckBox* flag_box(const QString& text, const char* name, bool midi::PlayAlongSettings::*flag);
    void choose_preset(int preset);

    ProgramContext& context_;
    std::function<void()> changed_;
    std::vector<QCheckBox*> channels_;
    std::vector<std::pair<QSpinBox*, int midi::PlayAlongSettings::*>> notes_;
    std::vector<std::pair<QCheckBox*, bool midi::PlayAlongSettings::*>> flags_;
    QComboBox* midi_in_for_;
    QComboBox* presets_;
};

// "Record play along (MIDI format 0)": the file, replace or append, the overwrite warning,
// Enable recording, the size limit, and the start button that ends the recording too.
class RecordPlayAlongDialog final : public QDialog {
    Q_OBJECT
public:
    RecordPlayAlongDialog(ProgramContext& context, QWidget* parent = nullptr);

    void start_or_end();
    // The title, the button and the status as the recording stands.
    void show_recording();
    // The recording control note shows the button pressed while its key is down.
    void show_button_down(bool down);
    void show_settings();

private:
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
