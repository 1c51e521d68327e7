#pragma once

// The dialogs of the main window: the formula of the "Other..." order of play, the MIDI
// file options with their Save, the channels, and the number options.

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "corvane/ui/launch.h"
#include "corvane/ui/program_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace corvane::ui {

// "Choose channels by - Other": the formula, the first channel and the two options.
class FormulaDialog final : public QDialog {
    Q_OBJECT
public:
    FormulaDialog(engine::Composition& composition, QWidget* parent = nullptr);
    void accept() override;

private:
    engine::Composition& composition_;
    QLineEdit* formula_;
    QLineEdit* first_channel_;
    QCheckBox* sustain_to_next_;
    QCheckBox* no_overlap_;
};

// "Midi File Options": the length of the piece, the format, the file and Save, which
// turns into Stop while the save runs.
class MidiFileDialog final : public QDialog {
    Q_OBJECT
public:
    using StartSave = std::function<bool(const std::filesystem::path&)>;
    MidiFileDialog(ProgramContext& context, StartSave start, QWidget* parent = nullptr);

    // Shows where the running save has got to, or how it ended.
    void show_progress();
    void save_or_stop();

private:
    struct Length {
        double minutes = 0;
        double seconds = 0;
    };
    // The length typed, or nothing when a field was refused: a text that is not a number,
    // or a length of nothing or of more than a day.
    [[nodiscard]] std::optional<Length> typed_length();
    // Keeps what the fields hold in the settings; false, keeping nothing, when one is refused.
    [[nodiscard]] bool store_settings();

    ProgramContext& context_;
    StartSave start_;
    QLineEdit* minutes_;
    QLineEdit* seconds_;
    QComboBox* format_;
    QCheckBox* single_pass_;
    QCheckBox* hex_dump_;
    QLineEdit* file_;
    QPushButton* save_;
    QProgressBar* progress_;
    QLabel* saved_time_;
    QLabel* file_size_;
};

// "Channels": for each MIDI channel its voice, volume, octave shift, range and what a
// note out of range does; the shift mode for the whole composition.
class ChannelsDialog final : public QDialog {
    Q_OBJECT
public:
    ChannelsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);

    void show_channels();

private:
    void cell_edited(int row, int column);

    ProgramContext& context_;
    std::function<void()> changed_;
    QTableWidget* table_;
    QComboBox* shift_mode_;
    QLabel* status_;
    bool filling_ = false;
};

// "Number options": how pitches are written in the fields and files.
class NumberOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    NumberOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    void accept() override;

private:
    ProgramContext& context_;
    std::function<void()> changed_;
    QSpinBox* sig_figs_;
    QCheckBox* show_cents_;
    QCheckBox* cents_or_small_ratios_;
    QLineEdit* max_quotient_;
    QLineEdit* max_divisor_;
    QLineEdit* max_n_quotient_;
    QCheckBox* factorise_;
    QCheckBox* ratios_over_1_;
    QCheckBox* cents_fixed_;
};

// "New mean-tone scale": the fraction of the syntonic comma, the wolf fifth with its two
// spin arrows, and Apply, which makes the scale the composition's.
class MeanToneDialog final : public QDialog {
    Q_OBJECT
public:
    MeanToneDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    ~MeanToneDialog() override;
    void apply();

private:
    void show_wolf();

    ProgramContext& context_;
    std::function<void()> changed_;
    double comma_fraction_ = 0.25;
    int wolf_ = 8;  // G sharp: the quarter-comma mean-tone of the built-in table
    QLineEdit* comma_;
    QLineEdit* wolf_name_;
    QLabel* wolf_end_;
};

// "Beats": where the harmonics of two degrees of the scale beat, with the three settings and
// whether the difference tone of the two is shown.
class BeatsDialog final : public QDialog {
    Q_OBJECT
public:
    BeatsDialog(ProgramContext& context, QWidget* parent = nullptr);
    void recompute();

private:
    ProgramContext& context_;
    QSpinBox* first_;
    QSpinBox* second_;
    QLineEdit* max_harmonic_;
    QLineEdit* max_beats_;
    QLineEdit* sig_figs_;
    QCheckBox* difference_tone_;
    QPlainTextEdit* text_;
};

// "Non melodic percussion": which channels play one percussion sound (voice 128 + key) in
// place of an instrument, and which sound.
class NonMelodicPercussionDialog final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after a channel's voice changed.
    NonMelodicPercussionDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    void show_voices();

private:
    void choose_sound(int channel, int choice);

    ProgramContext& context_;
    std::function<void()> changed_;
    std::vector<QComboBox*> sounds_;
};

// "Command line options": how the program is started, the command line of this copy, and
// which windows open on each occasion (a file of each kind opened, start-up, Show now).
// `changed` runs after a tick changed the table.
class CommandLineOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    CommandLineOptionsDialog(WindowCodeTable& table, std::function<void()> changed, std::function<void()> show_now,
                             QWidget* parent = nullptr);
};

class ScaleToolsPanel;

// "Scales options for Corvane": how scales, lists of scales and modes are read and kept,
// where the Scala program is, and the scale library tools.
class ScalesOptionsDialog final : public QDialog {
    Q_OBJECT
public:
    // `changed` runs after a tool changed the main window's lists.
    ScalesOptionsDialog(ProgramContext& context, std::function<void()> changed, QWidget* parent = nullptr);
    void accept() override;
    // Closing while a tool runs asks first; Yes halts the tool.
    void done(int result) override;

private:
    ProgramContext& context_;
    ScaleToolsPanel* tools_;
    std::vector<std::pair<QCheckBox*, bool files::Settings::*>> flags_;
    QLineEdit* scala_location_;
};

}  // namespace corvane::ui
