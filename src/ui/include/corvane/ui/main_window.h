#pragma once

// The composition's own window, which is the program's main window: the fields of the
// composition, Play/Stop, the status lines and the tune line, and the menu bar.

#include <QMainWindow>

#include "corvane/files/composition_edits.h"
#include <QPointer>
#include <QSettings>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/reporter.h"
#include "corvane/ui/commands.h"
#include "corvane/ui/composition_history.h"
#include "corvane/ui/dialogs.h"
#include "corvane/ui/play_along_dialogs.h"
#include "corvane/ui/exit_sequence.h"
#include "corvane/ui/program_context.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

namespace corvane::ui {



struct StartUp {
    bool started_with_file = false;
};

class MainWindow final : public QMainWindow, private ExitParticipants {
    Q_OBJECT
public:
    MainWindow(ProgramContext& context, QSettings& store, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The main window's start-up: the stored values, the configuration, the devices, the
    // menus and the windows of the occasion, in the program's order.
    void initialise(StartUp start);

    // Opens a file by its extension (the start file, a handed-off file, File > Open).
    void open_file(const std::filesystem::path& path, bool play_after = false);
    // Files dropped on the window, taken as the File menu takes them (see main_window_files.cpp).
    void open_dropped(const QStringList& paths);
    void play();
    void stop_playing();
    // Shows every field as the composition holds it, the title and the menu ticks.
    void show_composition();
    // The exit sequence; false when the user stayed.
    bool exit_program();
    // Unsaved changes are saved or discarded as the user says before `occasion` (New, Open,
    // Exit, a file from another copy) replaces the composition; false when the user cancelled.
    bool settle_unsaved_changes(std::string_view occasion);
    CompositionHistory& history() { return *history_; }

    // Opens the window of a window code; false for a window this program does not have.
    bool open_window(char code);
    // Opens the windows ticked for an occasion (an index into kOccasions); whether any is.
    bool show_windows_for(std::size_t occasion);
    MidiFileDialog* midi_file_dialog() const { return midi_file_dialog_; }
    RecordPlayAlongDialog* record_dialog() const { return record_dialog_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_fields();
    // A field whose text goes through `edit` when the user finishes typing.
    QLineEdit* text_field(const char* name, QWidget* parent, std::function<files::EditResult(std::string_view)> edit);
    // A volume bar, 0..127, that starts at 64 and hands every move to `set_volume`.
    QSlider* volume_bar(const char* name, QWidget* parent, const std::function<void(int)>& set_volume);
    // Lights for a moment whenever MIDI in reports active sensing.
    QLabel* active_sensing_light(QWidget* parent);
    // The buttons of the scale's tools: the mean-tone and beats dialogs.
    QWidget* scale_tools(QWidget* parent);
    // A list whose chosen entry goes through `choose`.
    QComboBox* list_field(const char* name, QWidget* parent,
                          bool (*choose)(files::Workspace&, std::size_t, platform::Reporter&));
    // Spin arrows whose steps change the composition.
    QWidget* arrows(const char* name, QWidget* parent, std::function<void(bool up, platform::Reporter&)> step);
    void build_menu_bar();
    void build_file_menu();
    void build_edit_menu();
    void build_windows_menu();
    void show_help();
    // Puts a composition from the history back in place, keeping the channel the player uses.
    void restore_composition(const engine::Composition& composition);
    void build_out_menu();
    void add_tuning_output_items();
    void set_tuning_output(engine::TuningOutput output);
    void add_latency_items();
    QString latency_title() const;
    void build_in_menu();
    // MIDI in at start: the input devices (none is reported and disables Play), and the
    // port opened when the settings ask for it.
    void start_midi_in();
    void toggle_midi_in();
    void connect_play_along();
    void retune_from_pitch_wheel();
    void build_voice_menu();
    void add_option_tick(QMenu& menu, const QString& text, bool files::Settings::*flag);
    QAction* add_command(QMenu& menu, const QString& text, CommandGroup group, std::function<void()> command);
    // Runs a command unless a MIDI file save forbids it, in which case only the display
    // is refreshed.
    void run(CommandGroup group, const std::function<void()>& command);
    void update_ticks();
    void update_title();
    void update_play_button();
    void fill_lists();
    // The entry a list shows: the one that holds the composition's scale or arpeggio, or none.
    struct ListMatch {
        std::vector<files::ListEntry> entries;
        std::size_t selected = 0;
        std::string title;
        std::vector<double> values;
        bool use_ratios = false;
        double lowest_frequency = 0;
        std::optional<std::size_t> found;
    };
    int shown_entry(ListMatch& match, const files::ScaleList& list, const std::string& title,
                    const std::vector<double>& values, std::optional<std::size_t> (*match_in)(const files::Workspace&));

    // Runs an edit of the composition; a refusal marks `field` (which keeps what was typed)
    // and says why.
    void field_edited(const std::function<files::EditResult()>& edit, QLineEdit* field = nullptr);
    void mark_refused(QLineEdit* field, const std::string& why);
    void composition_changed();
    void choose_seed(int index);
    void choose_order_of_play(int rule);
    void take_player_notices();
    void show_edit_reports();
    void update_save_progress();
    void show_play_status();

    // File > Open Recent: the files last opened or saved, newest first.
    void fill_recent_menu();
    void open_recent(const std::string& path);
    void remember_file(const std::filesystem::path& path);
    // A dropped MIDI file becomes a hex dump or the play-along recording file, as the user says.
    void take_dropped_midi_file(const std::filesystem::path& path);
    // Recordings go beside the composition (or into ~/Music, else home) unless a folder was chosen.
    void follow_composition_folder();
    void new_composition();
    void open_command();
    void save_command();
    void save_as_command();
    void export_score_command();
    void export_tuning_command();
    bool start_midi_save(const std::filesystem::path& path);
    void focus_next_window(int step);
    void open_channels_dialog();
    void open_number_options();
    void open_formula_dialog();
    void open_record_dialog();
    void open_scales_options();
    // The Scales options window with the keyboard focus on a tool's start button.
    void open_scales_tool(const char* button);
    void open_midi_in_options();
    void open_command_line_options();
    void open_note_assignments();
    // The MIDI In options and the note assignments show the assignments and the preset
    // after the other one, or a configuration read or reset, changed them.
    void play_along_settings_changed(const QWidget* changed_by = nullptr);
    // Shows the window of a dialog, made by `make` the first time it is asked for.
    template <class Make>
    void show_once(QPointer<QWidget>& dialog, Make make);

    // ExitParticipants
    void silence() override;
    bool running(Work work) const override;
    void stop(Work work) override;
    void set_stop_flag() override;
    void wait_ms(int ms) override;
    bool save_configuration() override;
    void restore_priority() override;

    ProgramContext& context_;
    QSettings& store_;
    bool exiting_ = false;
    bool editing_ = false;
    CompositionHistory* history_ = nullptr;
    bool restored_ = false;  // the last history step was an undo or redo, not a new change
    ListMatch scale_match_;
    ListMatch mode_match_;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;

    QComboBox* seed_ = nullptr;
    QLineEdit* levels_ = nullptr;
    QLineEdit* note_length_ = nullptr;
    QLineEdit* sustain_ = nullptr;
    QLineEdit* channels_ = nullptr;
    QLineEdit* scale_ = nullptr;
    QLineEdit* scale_title_ = nullptr;
    QComboBox* scales_ = nullptr;
    QLineEdit* arpeggio_ = nullptr;
    QLineEdit* arpeggio_title_ = nullptr;
    QComboBox* modes_ = nullptr;
    QLineEdit* frequency_ = nullptr;
    QComboBox* order_ = nullptr;
    QPushButton* play_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* play_status_ = nullptr;
    QLabel* tune_line_ = nullptr;

    std::vector<std::pair<QAction*, bool files::Settings::*>> ticks_;
    QAction* auto_save_ = nullptr;
    QAction* open_out_now_ = nullptr;
    std::array<QAction*, 3> tuning_outputs_{};  // by engine::TuningOutput
    QMenu* latency_menu_ = nullptr;
    std::array<QAction*, midi::kMostLatencyPeriods + 1> latency_items_{};  // by periods
    QAction* open_in_now_ = nullptr;
    QMenu* in_menu_ = nullptr;
    QMenu* out_menu_ = nullptr;
    QMenu* voice_menu_ = nullptr;
    QMenu* recent_menu_ = nullptr;
    QTimer* save_progress_timer_ = nullptr;
    QTimer* notices_timer_ = nullptr;
    // What the composition's edits report, kept while they run under the port's lock.
    platform::RecordingReporter edit_reports_;
    QPointer<MidiFileDialog> midi_file_dialog_;
    QPointer<QWidget> channels_dialog_;
    QPointer<QWidget> number_options_;
    QPointer<QWidget> scales_options_;
    QPointer<QWidget> midi_in_options_;
    QPointer<QWidget> note_assignments_;
    QPointer<QWidget> note_details_;
    QPointer<QWidget> percussion_;
    QPointer<QWidget> command_line_options_;
    QPointer<RecordPlayAlongDialog> record_dialog_;
    QPointer<QWidget> colours_;
    QPointer<QWidget> pitch_;
};

}  // namespace corvane::ui
