#include "corvane/ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <chrono>
#include <optional>
#include <thread>

#include "corvane/engine/channel_choice.h"
#include "corvane/engine/seed.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/priority.h"
#include "corvane/files/composition_edits.h"
#include "corvane/files/score_export.h"
#include "corvane/ui/dialogs.h"
#include "corvane/ui/display_windows.h"
#include "corvane/ui/desktop_program.h"
#include "corvane/ui/window_opening.h"
#include "corvane/ui/stored_values.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

// How often the window looks at what the player reported while play runs.
constexpr int kNoticesIntervalMs = 40;

// A menu text without its keyboard marker, for lists that show it plainly.
QString without_marker(std::string_view text) { return qt_text(text).remove(QLatin1Char('&')); }

QComboBox* drop_list(const char* name, bool editable, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(16);
    return box;
}

// Two small arrows beside a field: up and down.
QWidget* spin_arrows(const char* name, QWidget* parent, const std::function<void(bool up)>& step) {
    auto* box = new QWidget(parent);
    box->setObjectName(QLatin1String(name));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const bool up : {true, false}) {
        auto* arrow = new QToolButton(box);
        arrow->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
        arrow->setObjectName(QLatin1String(name) + (up ? QLatin1String("_up") : QLatin1String("_down")));
        arrow->setFixedSize(18, 12);
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);  // Tab goes from field to field; the keys step nothing here
        QObject::connect(arrow, &QToolButton::clicked, box, [step, up] { step(up); });
        layout->addWidget(arrow);
    }
    return box;
}

// A framed group: the text on its own line, the title and the list below it.
QGroupBox* text_title_and_list(const QString& caption, QLineEdit* text, QLineEdit* title, QComboBox* list,
                               QWidget* parent, QWidget* tools = nullptr) {
    auto* box = new QGroupBox(caption, parent);
    auto* layout = new QGridLayout(box);
    layout->addWidget(text, 0, 0, 1, tools != nullptr ? 1 : 2);
    if (tools != nullptr) layout->addWidget(tools, 0, 1);
    layout->addWidget(title, 1, 0);
    layout->addWidget(list, 1, 1);
    return box;
}

// What each control of the main window does, by its object name.
struct ControlTooltip {
    const char* control;
    const char* tooltip;
};
constexpr std::array<ControlTooltip, 23> kControlTooltips{{
    {"seed", "The seed: whole numbers, each a step of the arpeggio (0 1 2 1; -1 a step below), up to 1000 of "
             "them. The list holds the seeds of the drop list file and the built-in ones"},
    {"levels", "How many times the seed is expanded, 0 to 29. Each level multiplies the notes by the seed's "
               "length: a seed of 4 notes at 5 levels plays 4^6 = 4096 notes"},
    {"sustain", "How many steps each note is held, 0 to 300: 1 to the next note, 3 over three steps, 0.5 half a "
                "step"},
    {"note_length", "Seconds for one step of the tune, above 0 and up to 3600: 0.125 plays eight notes a second"},
    {"note_length_arrows_up", "A longer time for one note: times the square root of 2"},
    {"note_length_arrows_down", "A shorter time for one note: divided by the square root of 2"},
    {"channels_in_play", "How many channels with a voice play the tune, 1 to 16; Order of play shares the notes "
                         "among them"},
    {"channels_arrows_up", "One channel more in play, up to 16"},
    {"channels_arrows_down", "One channel fewer in play, down to 1"},
    {"scale", "The scale's pitches from the lowest note, the last one the period: 1 9/8 5/4 4/3 3/2 5/3 15/8 2, "
              "cents as `700 or 700 cents, n(7/12) for 2^(7/12); e19 is 19 equal steps to the octave"},
    {"scale_title", "The scale's title, kept in the composition and matched against the list of scales"},
    {"scales", "The list of scales: choosing one makes it the composition's scale. Rows marked (M) also open "
               "their lists of modes"},
    {"open_mean_tone", "Makes a mean-tone scale: fifths narrowed by a part of the syntonic comma, the wolf where "
                       "you put it"},
    {"open_beats", "Lists the beats between two degrees of the scale at the frequency of the lowest note"},
    {"arpeggio", "The scale degrees the tune steps through, the last one the period: 0 2 4 7 9 12; after | a form "
                 "for descending; Use ratios plays every degree of the scale"},
    {"arpeggio_title", "The arpeggio's title, kept in the composition and matched against the list of modes"},
    {"modes", "The list of modes (arpeggios): choosing one makes it the composition's arpeggio"},
    {"lowest_frequency", "The frequency of the scale's first note in hertz, 0.001 to 100000: 261.6255653 is "
                         "middle C"},
    {"order_of_play", "How each note picks its channel among the channels in play: by its height, in turn, by "
                      "the sum of heights, by level, by level with notes held as long as their level, or by a "
                      "formula (Other...)"},
    {"play", "Starts the tune; pressed again (Stop) it stops it"},
    {"main_volume", "The volume of the notes played on the computer keyboard, 0 to 127 (64 at start), times the "
                    "channel's volume"},
    {"midi_in_volume", "The volume of the notes played from MIDI in, 0 to 127 (64 at start)"},
    {"active_sensing", "Lights while MIDI in sends active sensing, the sign that a keyboard is connected"},
}};

void add_tooltips(QWidget& window) {
    for (const auto& [control, tooltip] : kControlTooltips) {
        if (auto* widget = window.findChild<QWidget*>(QLatin1String(control))) widget->setToolTip(QObject::tr(tooltip));
    }
}

// The occasion whose windows open after a file of this kind was opened.
std::optional<std::size_t> occasion_of(files::OpenedKind kind) {
    switch (kind) {
        case files::OpenedKind::composition: return 0;
        case files::OpenedKind::list_of_scales: return 1;
        case files::OpenedKind::list_of_modes: return 2;
        case files::OpenedKind::scale: return 3;
        default: return std::nullopt;
    }
}

// A field shows the composition again, unless it holds a refused text the user is to mend,
// or what it holds already means the same (what the user typed stays as typed).
void set_field_text(QLineEdit* edit, const std::string& text, bool same_meaning = false) {
    if (edit->property(kRefusedFieldProperty).toBool() || same_meaning) return;
    const QString shown = QString::fromStdString(text);
    if (edit->text() != shown) edit->setText(shown);
    edit->setCursorPosition(0);
}

bool same_scale(const QLineEdit* field, const engine::Composition& c) {
    if (tuning::first_unreadable_pitch(field->text().toStdString())) return false;
    const auto read = tuning::read_pitch_list(field->text().toStdString(), tuning::PitchForm::ratio,
                                              tuning::ListNotation::absolute, c.Frequency_of_lowest_note);
    return read.count_read > 0 && read.entries == c.Intervals;
}

bool same_number(const QLineEdit* field, double value) {
    const auto e = tuning::evaluate_expression(field->text().toStdString(), tuning::PitchForm::ratio);
    return e.complete && e.value == value;
}

}  // namespace

MainWindow::MainWindow(ProgramContext& context, QSettings& store, QWidget* parent)
    : QMainWindow(parent), context_(context), store_(store) {
    setObjectName("main_window");
    setAcceptDrops(true);
    build_fields();
    save_progress_timer_ = new QTimer(this);
    save_progress_timer_->setInterval(100);
    connect(save_progress_timer_, &QTimer::timeout, this, &MainWindow::update_save_progress);
    // The player's notices are looked at while play runs (the player never calls the window).
    notices_timer_ = new QTimer(this);
    notices_timer_->setInterval(kNoticesIntervalMs);
    connect(notices_timer_, &QTimer::timeout, this, &MainWindow::take_player_notices);
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, [this] { run(CommandGroup::edit, [this] { save_command(); }); });
    for (const auto& [key, step] : {std::pair{Qt::Key_F5, -1}, std::pair{Qt::Key_F6, 1}}) {
        auto* move = new QShortcut(QKeySequence(key), this, nullptr, nullptr, Qt::ApplicationShortcut);
        connect(move, &QShortcut::activated, this, [this, s = step] { focus_next_window(s); });
    }
    history_ = new CompositionHistory([this](const engine::Composition& c) { restore_composition(c); }, this);
    connect(&history_->stack(), &QUndoStack::indexChanged, this, [this] {
        if (!std::exchange(restored_, false)) return;
        context_.settings().needs_save = !history_->at_saved_state();
        update_title();
    });
    // Undo and Redo reach every window of the program; a field being typed in keeps the
    // keys for its own text (see eventFilter).
    undo_ = history_->stack().createUndoAction(this, tr("&Undo"));
    undo_->setObjectName(QStringLiteral("undo"));
    undo_->setShortcut(QKeySequence::Undo);
    redo_ = history_->stack().createRedoAction(this, tr("&Redo"));
    redo_->setObjectName(QStringLiteral("redo"));
    redo_->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    for (QAction* action : {undo_, redo_}) {
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action);
    }
    connect_play_along();
    QApplication::instance()->installEventFilter(this);
}

MainWindow::~MainWindow() {
    QApplication::instance()->removeEventFilter(this);
    // Fields losing their focus while the window goes must not edit anything.
    for (QObject* child : findChildren<QObject*>()) disconnect(child, nullptr, this, nullptr);
    context_.stop_play_and_wait();
}

void MainWindow::build_fields() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    // Two fields to a row, so that the window fits a laptop screen at a scale of 1.5: each
    // field takes a caption, the field and an optional extra (arrows, a light) in its half.
    int row = 0;
    int column = 0;
    constexpr int kColumns = 6;
    const auto add_field = [&](const char* label, QWidget* field, QWidget* extra = nullptr) {
        auto* caption = new QLabel(tr(label), central);
        caption->setBuddy(field);
        grid->addWidget(caption, row, column);
        grid->addWidget(field, row, column + 1, 1, extra != nullptr ? 1 : 2);
        if (extra != nullptr) grid->addWidget(extra, row, column + 2);
        column = column == 0 ? kColumns / 2 : 0;
        if (column == 0) ++row;
    };
    const auto add_row = [&](const char* label, QWidget* field) {
        auto* caption = new QLabel(tr(label), central);
        caption->setBuddy(field);
        grid->addWidget(caption, row, 0);
        grid->addWidget(field, row++, 1, 1, kColumns - 1);
    };

    seed_ = drop_list("seed", true, central);
    connect(seed_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        QLineEdit* line = seed_->lineEdit();
        if (!line->isModified()) return;  // left without typing: nothing is read back
        line->setModified(false);
        field_edited([this] { return files::edit_seed(context_.workspace(), seed_->currentText().toStdString()); }, line);
    });
    connect(seed_, &QComboBox::activated, this, &MainWindow::choose_seed);
    add_row("Musical see&d", seed_);

    auto& ws = context_.workspace();
    auto& reporter = edit_reports_;  // shown once the edit is done, outside the port's lock
    levels_ = text_field("levels", central, [&ws, &reporter](std::string_view t) { return files::edit_levels(ws, t, reporter); });
    add_field("&Levels", levels_);
    note_length_ = text_field("note_length", central, [&ws](std::string_view t) { return files::edit_note_length(ws, t); });
    sustain_ = text_field("sustain", central, [&ws, &reporter](std::string_view t) { return files::edit_sustain(ws, t, reporter); });
    add_field("Sustai&n", sustain_);
    add_field("Ti&me for one note", note_length_,
            arrows("note_length_arrows", central, [&ws](bool up, platform::Reporter&) { files::step_note_length(ws, up); }));
    channels_ = text_field("channels_in_play", central,
                           [&ws, &reporter](std::string_view t) { return files::edit_channels_in_play(ws, t, reporter); });
    add_field("Channels in Pla&y", channels_, arrows("channels_arrows", central, [&ws](bool up, platform::Reporter& r) {
                files::step_channels_in_play(ws, up, r);
            }));

    scale_ = text_field("scale", central, [&ws](std::string_view t) { return files::edit_scale(ws, t); });
    scale_title_ = text_field("scale_title", central, [&ws](std::string_view t) { return files::edit_scale_title(ws, t); });
    scales_ = list_field("scales", central, files::choose_scale_entry);
    grid->addWidget(text_title_and_list(tr("&Scale"), scale_, scale_title_, scales_, central, scale_tools(central)), row++,
                    0, 1, kColumns);

    arpeggio_ = text_field("arpeggio", central, [&ws](std::string_view t) { return files::edit_arpeggio(ws, t); });
    arpeggio_title_ =
        text_field("arpeggio_title", central, [&ws](std::string_view t) { return files::edit_arpeggio_title(ws, t); });
    modes_ = list_field("modes", central, files::choose_mode_entry);
    grid->addWidget(text_title_and_list(tr("Arpe&ggio"), arpeggio_, arpeggio_title_, modes_, central), row++, 0, 1, kColumns);

    frequency_ =
        text_field("lowest_frequency", central, [&ws](std::string_view t) { return files::edit_lowest_frequency(ws, t); });
    add_field("Fre&quency of lowest note", frequency_);

    order_ = drop_list("order_of_play", false, central);
    for (const auto text : engine::channel_rule_menu_texts()) order_->addItem(without_marker(text));
    connect(order_, &QComboBox::activated, this, &MainWindow::choose_order_of_play);
    add_field("Order of pl&ay", order_);

    play_ = new QPushButton(tr("&Play"), central);
    play_->setObjectName("play");
    connect(play_, &QPushButton::clicked, this, [this] {
        if (context_.playback().player().playing()) {
            stop_playing();
        } else {
            run(CommandGroup::edit, [this] { play(); });
        }
    });
    grid->addWidget(play_, row++, 0, 1, kColumns);

    auto& play_along = context_.play_along();
    add_field("Volume", volume_bar("main_volume", central,
                                  [&play_along](int volume) { play_along.keyboard().set_main_volume(volume); }));
    add_field("MIDI in volume", volume_bar("midi_in_volume", central,
                                          [&play_along](int volume) { play_along.midi_in_play().set_volume(volume); }),
            active_sensing_light(central));

    status_ = new QLabel(central);
    status_->setObjectName("status");
    play_status_ = new QLabel(central);
    play_status_->setObjectName("play_status");
    tune_line_ = new QLabel(central);
    tune_line_->setObjectName("tune_line");
    tune_line_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    tune_line_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* line : {status_, play_status_, tune_line_}) grid->addWidget(line, row++, 0, 1, kColumns);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    grid->setRowStretch(row, 1);
    setCentralWidget(central);
    add_tooltips(*central);
}

QSlider* MainWindow::volume_bar(const char* name, QWidget* parent, const std::function<void(int)>& set_volume) {
    constexpr int kStartVolume = 64;
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 127);
    bar->setPageStep(8);
    connect(bar, &QSlider::valueChanged, this, [set_volume](int volume) { set_volume(volume); });
    bar->setValue(kStartVolume);
    set_volume(kStartVolume);
    return bar;
}

QLabel* MainWindow::active_sensing_light(QWidget* parent) {
    constexpr int kLitMs = 500;  // a keyboard sends active sensing every 300 ms or so
    auto* light = new QLabel(tr("Active sensing"), parent);
    light->setObjectName("active_sensing");
    light->setAlignment(Qt::AlignCenter);
    light->setEnabled(false);
    auto* dark_again = new QTimer(light);
    dark_again->setSingleShot(true);
    dark_again->setInterval(kLitMs);
    connect(dark_again, &QTimer::timeout, light, [light] {
        light->setEnabled(false);
        light->setStyleSheet({});
    });
    connect(&context_.play_along_events(), &PlayAlongEvents::midi_in_active, light, [light, dark_again] {
        light->setEnabled(true);
        light->setStyleSheet(QStringLiteral("background-color: #00be00; color: white;"));
        dark_again->start();
    });
    return light;
}

// A field is read back only when the user typed in it: tabbing through the fields or opening
// a menu leaves the composition exactly as it was.
QLineEdit* MainWindow::text_field(const char* name, QWidget* parent,
                                  std::function<files::EditResult(std::string_view)> edit) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    connect(field, &QLineEdit::editingFinished, this, [this, field, edit = std::move(edit)] {
        if (!field->isModified()) return;
        field->setModified(false);
        field_edited([&] { return edit(field->text().toStdString()); }, field);
    });
    return field;
}

QWidget* MainWindow::scale_tools(QWidget* parent) {
    auto* tools = new QWidget(parent);
    auto* layout = new QHBoxLayout(tools);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* mean_tone = new QPushButton(tr("Mean-tone…"), tools);
    mean_tone->setObjectName("open_mean_tone");
    connect(mean_tone, &QPushButton::clicked, this, [this] {
        run(CommandGroup::opens_window, [this] {
            auto* dialog = new MeanToneDialog(context_, [this] { composition_changed(); }, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
    });
    auto* beats = new QPushButton(tr("Beats…"), tools);
    beats->setObjectName("open_beats");
    connect(beats, &QPushButton::clicked, this, [this] {
        run(CommandGroup::opens_window, [this] {
            auto* dialog = new BeatsDialog(context_, this);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            dialog->show();
        });
    });
    layout->addWidget(mean_tone);
    layout->addWidget(beats);
    return tools;
}

QComboBox* MainWindow::list_field(const char* name, QWidget* parent,
                                   bool (*choose)(files::Workspace&, std::size_t, platform::Reporter&)) {
    auto* list = drop_list(name, false, parent);
    connect(list, &QComboBox::activated, this, [this, choose](int index) {
        field_edited([&] {
            choose(context_.workspace(), static_cast<std::size_t>(index), edit_reports_);
            return files::EditResult{true, {}};  // the texts, titles and lists are shown again in any case
        });
    });
    return list;
}

QWidget* MainWindow::arrows(const char* name, QWidget* parent, std::function<void(bool, platform::Reporter&)> step) {
    return spin_arrows(name, parent, [this, step = std::move(step)](bool up) {
        run(CommandGroup::edit, [&] {
            {
                const auto group = context_.playback().port().hold_group();
                step(up, edit_reports_);
            }
            show_edit_reports();
            composition_changed();
        });
    });
}

void MainWindow::initialise(StartUp start) {
    auto& ws = context_.workspace();
    context_.stored() = read_stored_values(store_);
    if (!start.started_with_file) show_windows_for(kStartUpOccasion);
    auto& port = context_.playback().port();
    port.enumerate_devices();
    files::start_up(ws);
    context_.apply_configured_devices();
    context_.apply_keyboard_mapping();
    const StoredValues& stored = context_.stored();
    ws.settings.play_on_start_up = stored.play_on_start_up.without_file;
    ws.settings.play_on_start_up_with_file = stored.play_on_start_up.with_file;
    ws.settings.ScalaLocation = stored.ScalaLocation;
    if (stored.MidiInDevice) context_.play_along().midi_in().set_device(*stored.MidiInDevice);
    build_menu_bar();
    if (stored.MidiDevice) {
        port.set_device(*stored.MidiDevice);
        if (port.open() == midi::OpenResult::opened) port.set_kept_open(true);
    }
    play_->setEnabled(!port.out_menu().empty());
    if (ws.settings.play_on_start_up && !start.started_with_file) {
        QMetaObject::invokeMethod(this, [this] { play(); }, Qt::QueuedConnection);
    }
    context_.rebuild_tune();
    show_composition();
    // The input devices once the window is up, so that their message (there may be none)
    // does not hold the start-up: a hand-off or the start file is taken meanwhile.
    QMetaObject::invokeMethod(this, &MainWindow::start_midi_in, Qt::QueuedConnection);
}

void MainWindow::start_midi_in() {
    auto& midi_in = context_.play_along().midi_in();
    // With no input the tune still plays: Play follows the outputs alone.
    const bool found = midi_in.enumerate_devices();
    build_in_menu();
    if (found && context_.settings().play_along.open_midi_in_at_start_of_session) midi_in.open();
    update_ticks();
}

void MainWindow::connect_play_along() {
    auto& events = context_.play_along_events();
    connect(&events, &PlayAlongEvents::tuning_moved, this, &MainWindow::retune_from_pitch_wheel);
    connect(&events, &PlayAlongEvents::midi_in_opened, this, &MainWindow::update_ticks);
    connect(&events, &PlayAlongEvents::record_button_pressed, this, [this](bool pressed) {
        if (record_dialog_) record_dialog_->show_button_down(pressed);
    });
    connect(&events, &PlayAlongEvents::recording_state_changed, this, [this] {
        if (record_dialog_) record_dialog_->show_recording();
        update_title();
    });
    connect(&events, &PlayAlongEvents::recording_limit, this, [this](const QString& message) {
        context_.reporter().report(message.toStdString(), kProgramCaption);
    });
    connect(&context_.scale_tools(), &ScaleToolRunner::priority_level_changed, this,
            [this](int level) { context_.settings().player.set_high_priority_for_crv = level; });
}

void MainWindow::retune_from_pitch_wheel() {
    auto& s = context_.settings();
    s.use_concert_pitch = false;
    s.needs_save = true;
    show_composition();
}

void MainWindow::run(CommandGroup group, const std::function<void()>& command) {
    if (context_.midi_save().running() && !allowed_while_midi_save(group)) {
        show_composition();
        return;
    }
    command();
}

void MainWindow::field_edited(const std::function<files::EditResult()>& edit, QLineEdit* field) {
    if (editing_) return;
    editing_ = true;
    files::EditResult result;
    run(CommandGroup::edit, [&] {
        {
            // The player reads the composition as it plays, under the port's lock; what the
            // edit has to say waits until the lock is let go.
            const auto group = context_.playback().port().hold_group();
            result = edit();
        }
        show_edit_reports();
        if (result.changed) composition_changed();
    });
    if (field != nullptr) {
        if (result.refused.empty()) {
            clear_field_refusal(field);
        } else {
            mark_field_refused(field, QString::fromStdString(result.refused));
        }
    }
    show_composition();
    editing_ = false;
    if (!result.refused.empty()) mark_refused(field, result.refused);
}

// Says what could not be read; the field keeps the text, marked, for the user to mend.
void MainWindow::mark_refused(QLineEdit* field, const std::string& why) {
    context_.reporter().report(why, "Corvane");
    if (field != nullptr) field->setFocus();
}

void MainWindow::show_edit_reports() {
    const auto reports = edit_reports_.entries();
    edit_reports_.clear();
    for (const auto& r : reports) context_.reporter().report(r.message, r.caption);
}

void MainWindow::composition_changed() {
    context_.rebuild_tune();
    show_composition();
}

void MainWindow::restore_composition(const engine::Composition& composition) {
    restored_ = true;
    {
        const auto group = context_.playback().port().hold_group();
        context_.composition() = composition;
    }
    for (QLineEdit* field : findChildren<QLineEdit*>()) {
        clear_field_refusal(field);  // the composition shows again, whatever was typed
    }
    composition_changed();
}

void MainWindow::show_composition() {
    const auto& ws = context_.workspace();
    const auto& c = ws.composition;
    std::string scale;
    std::string frequency;
    engine::Composition now;
    {
        // MIDI in retunes the composition from its own thread, under the port lock.
        const auto group = context_.playback().port().hold_group();
        scale = files::scale_text(ws);
        frequency = files::number_text(c.Frequency_of_lowest_note);
        now = c;
    }
    history_->notice(now);
    seed_->setEditText(QString::fromStdString(files::seed_text(c)));
    set_field_text(levels_, std::to_string(c.Levels));
    set_field_text(note_length_, files::number_text(c.Note_length), same_number(note_length_, c.Note_length));
    set_field_text(sustain_, files::number_text(c.Sustain), same_number(sustain_, c.Sustain));
    set_field_text(channels_, std::to_string(c.Channels_in_Play));
    set_field_text(scale_, scale, same_scale(scale_, c));
    set_field_text(scale_title_, c.Intervals_Title);
    set_field_text(arpeggio_, files::arpeggio_text(c));
    set_field_text(arpeggio_title_, c.Arpeggio_Title);
    set_field_text(frequency_, frequency, same_number(frequency_, c.Frequency_of_lowest_note));
    order_->setCurrentIndex(c.Choose_channels_by);
    fill_lists();
    if (!context_.playback().player().playing()) {
        tune_line_->setText(QString::fromStdString(engine::tune_line_text(context_.tune(), 0, 0)));
        status_->setText(QString::fromStdString(engine::channels_in_play_status(c)));
    }
    update_title();
    update_ticks();
    follow_composition_folder();
}

void MainWindow::fill_lists() {
    const auto& ws = context_.workspace();
    const auto fill = [](QComboBox* box, const QStringList& items, int selected) {
        QStringList present;
        for (int i = 0; i < box->count(); ++i) present << box->itemText(i);
        if (present != items) {
            box->clear();
            box->addItems(items);
        }
        box->setCurrentIndex(selected);
    };
    QStringList seeds;
    for (const auto& s : ws.seeds.seeds) seeds << QString::fromStdString(s);
    for (const auto s : engine::builtin_seeds()) {
        if (!seeds.contains(qt_text(s))) seeds << qt_text(s);
    }
    const QString seed_shown = seed_->currentText();
    fill(seed_, seeds, -1);
    seed_->setEditText(seed_shown);
    const auto entries = [](const files::ScaleList& list) {
        QStringList items;
        for (const auto& e : list.entries) items << QString::fromStdString(e.description);
        return items;
    };
    fill(scales_, entries(ws.scales), shown_entry(scale_match_, ws.scales, ws.composition.Intervals_Title,
                                                  ws.composition.Intervals, files::entry_matching_scale));
    fill(modes_, entries(ws.modes), shown_entry(mode_match_, ws.modes, ws.composition.Arpeggio_Title,
                                                ws.composition.Arpeggio.entries, files::entry_matching_arpeggio));
}

// Matching reads every entry of a list, so the answer is kept until the list or what it is
// matched against changes.
int MainWindow::shown_entry(ListMatch& match, const files::ScaleList& list, const std::string& title,
                            const std::vector<double>& values,
                            std::optional<std::size_t> (*match_in)(const files::Workspace&)) {
    const auto& ws = context_.workspace();
    const bool same = match.entries == list.entries && match.selected == list.selected && match.title == title &&
                      match.values == values && match.use_ratios == ws.composition.Use_ratios &&
                      match.lowest_frequency == ws.composition.Frequency_of_lowest_note;
    if (!same) {
        match = ListMatch{list.entries, list.selected, title, values, ws.composition.Use_ratios,
                          ws.composition.Frequency_of_lowest_note, match_in(ws)};
    }
    return match.found ? static_cast<int>(*match.found) : -1;
}

void MainWindow::update_title() {
    const auto& s = context_.settings();
    if (context_.midi_save().running()) {
        const auto& watch = context_.save_watch();
        setWindowTitle(QString::fromStdString(midi::saving_title(watch.track.load(), s.midi_file_format > 0,
                                                                 files::composition_name(s), s.needs_save)));
        return;
    }
    setWindowTitle(QString::fromStdString(files::window_title(s)));
}

void MainWindow::update_play_button() {
    play_->setText(context_.playback().player().playing() ? tr("Sto&p") : tr("&Play"));
}

void MainWindow::choose_seed(int index) {
    auto& ws = context_.workspace();
    const auto i = static_cast<std::size_t>(index);
    if (i < ws.seeds.files.size() && !ws.seeds.files[i].empty()) {
        run(CommandGroup::edit, [&] { open_file(files::resolve_list_path(ws.program_folder, ws.seeds.files[i])); });
        return;
    }
    field_edited([this, index] { return files::edit_seed(context_.workspace(), seed_->itemText(index).toStdString()); },
                 seed_->lineEdit());
}

void MainWindow::choose_order_of_play(int rule) {
    run(CommandGroup::edit, [this, rule] {
        auto& c = context_.composition();
        if (engine::select_channel_rule(c, rule)) context_.settings().needs_save = true;
        if (rule == static_cast<int>(engine::ChannelRule::formula)) open_formula_dialog();
    });
    show_composition();
}

void MainWindow::open_formula_dialog() {
    auto hold = context_.hold_play();
    FormulaDialog dialog(context_.composition(), this);
    if (dialog.exec() == QDialog::Accepted) context_.settings().needs_save = true;
}

// ---------------------------------------------------------------------------------------
// Play

void MainWindow::play() {
    if (context_.playback().player().playing()) return;
    auto& player_settings = context_.settings().player;
    const int level = player_settings.set_high_priority_for_crv;
    if (level != 1) platform::set_process_priority(platform::priority_choice(level).process);
    if (!context_.playback().start()) {
        update_play_button();
        return;
    }
    notices_timer_->start();
    update_play_button();
    show_play_status();
}

void MainWindow::stop_playing() {
    context_.playback().stop();
    update_play_button();
}

void MainWindow::show_play_status() {
    const auto& s = context_.settings().player;
    play_status_->setText(qt_text(engine::priority_status_text(context_.playback().player().priority_level(),
                                                               s.escape_interrupts)));
}

void MainWindow::take_player_notices() {
    const auto taken = context_.notices().take();
    const auto& player = context_.playback().player();
    if (taken.display && player.playing()) {
        status_->setText(QString::fromStdString(player.note_text() + "   " + player.cycle_text()));
        tune_line_->setText(QString::fromStdString(
            engine::tune_line_text(context_.tune(), player.notes_stepped(), context_.settings().player.iLookAhead)));
    }
    if (taken.priority_reset) show_play_status();
    if (taken.stopped) {
        if (!context_.playback().player().playing()) notices_timer_->stop();
        if (auto failure = context_.playback().take_device_failure()) context_.reporter().report(*failure, "Corvane");
        update_play_button();
        play_status_->clear();
        if (context_.settings().player.set_high_priority_for_crv != 1) platform::restore_normal_priority();
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::ShortcutOverride) {
        // A field keeps Ctrl+Z for its own text while the user types in it; once the text is
        // taken (or nothing was typed) the keys undo the composition.
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* field = qobject_cast<QLineEdit*>(watched);
        if (field != nullptr && !field->isModified() && !field->isReadOnly() &&
            (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
             key->keyCombination() == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z))) {
            event->ignore();
            return true;
        }
    }
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool down = type == QEvent::KeyPress;
        context_.keys().set_shift(key->modifiers().testFlag(Qt::ShiftModifier));
        if (key->key() == Qt::Key_Escape && !key->isAutoRepeat()) {
            context_.keys().set_escape(down);
            if (down && context_.midi_save().running()) context_.midi_save().stop();
            // Shift+Escape: the way back from a raised priority.
            if (down && key->modifiers().testFlag(Qt::ShiftModifier) &&
                platform::current_process_priority() != platform::ProcessPriority::normal) {
                platform::restore_normal_priority();
                play_status_->clear();
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Files

void MainWindow::open_file(const std::filesystem::path& path, bool play_after) {
    if (files::opening_replaces_composition(path) && !settle_unsaved_changes("Open")) return;
    auto& ws = context_.workspace();
    files::OpenResult result;
    {
        auto hold = context_.hold_play();
        // MIDI in reads and changes the workspace from its own thread under the port's lock,
        // and the open may ask questions, which must not keep that lock: the file is read into
        // a copy, which then takes the workspace's place under the lock.
        auto& port = context_.playback().port();
        files::Workspace opened = [&] {
            const auto group = port.hold_group();
            return ws;
        }();
        result = files::open_file(opened, path, context_.reporter());
        {
            const auto group = port.hold_group();
            ws = std::move(opened);
        }
        if (result.kind == files::OpenedKind::configuration) {
            context_.apply_configured_devices();
            context_.apply_keyboard_mapping();
        }
    }
    if (result.kind == files::OpenedKind::composition) history_->start_over(context_.composition());
    if (result.read && result.kind != files::OpenedKind::nothing) remember_file(path);
    composition_changed();
    if (const auto occasion = occasion_of(result.kind)) show_windows_for(*occasion);
    if (play_after && result.may_start_playing()) play();
}

void MainWindow::new_composition() {
    if (!settle_unsaved_changes("New")) return;
    auto hold = context_.hold_play();
    auto& ws = context_.workspace();
    {
        const auto group = context_.playback().port().hold_group();
        ws.composition = engine::new_composition();
    }
    ws.settings.File.clear();
    ws.settings.needs_save = false;
    history_->start_over(ws.composition);
    composition_changed();
}

bool MainWindow::settle_unsaved_changes(std::string_view occasion) {
    if (!context_.settings().needs_save) return true;
    const std::string question = "The composition \"" + files::composition_name(context_.settings()) +
                                 "\" has changes that are not saved.\n\nSave them first?";
    switch (context_.reporter().ask_save_discard_cancel(question, occasion)) {
        case platform::SaveChoice::save:
            save_command();
            return !context_.settings().needs_save;  // a save that did not happen keeps the work here
        case platform::SaveChoice::discard: return true;
        case platform::SaveChoice::cancel: return false;
    }
    return false;
}

namespace {

// The program's filters with each pattern in both cases, as the file dialog wants them.
QString dialog_filters(std::span<const std::string_view> filters) {
    QStringList all;
    for (const auto filter : filters) {
        QString text = qt_text(filter);
        const auto open = text.indexOf('(');
        const auto close = text.lastIndexOf(')');
        if (open < 0 || close < open) {
            all << text;
            continue;
        }
        QStringList patterns;
        for (const auto& p : text.mid(open + 1, close - open - 1).split(';', Qt::SkipEmptyParts)) {
            patterns << p.toLower();
            if (p.toLower() != p) patterns << p;
        }
        all << text.left(open).trimmed() + " (" + patterns.join(' ') + ")";
    }
    return all.join(";;");
}

// A name offered by a composition dialog: a name without a folder goes into the folder the
// dialogs were last left in.
QString in_remembered_folder(const StoredValues& stored, const std::string& name) {
    const std::filesystem::path offered(name);
    const auto folder = remembered_folder(stored, kCompositionFolders);
    if (offered.has_parent_path() || !folder) return QString::fromStdString(name);
    return QString::fromStdString((std::filesystem::path(*folder) / offered).string());
}

}  // namespace

void MainWindow::open_command() {
    auto hold = context_.hold_play();
    const auto& s = context_.settings();
    const QString filters = dialog_filters(files::open_dialog_filters());
    const QStringList filter_list = filters.split(";;");
    QString selected = filter_list.value(files::open_dialog_filter_for(s.File) - 1);
    const QString offered = in_remembered_folder(context_.stored(), files::name_offered_to_open(s.File));
    const QString path = QFileDialog::getOpenFileName(this, tr("Open"), offered, filters, &selected);
    if (path.isEmpty()) return;
    remember_folder_of(context_.stored(), kCompositionFolders, path.toStdString());
    open_file(path.toStdString());
}

void MainWindow::save_command() {
    const auto file = context_.settings().File;
    if (file.empty()) {
        save_as_command();
        return;
    }
    auto hold = context_.hold_play();
    const bool saved = files::save_file(context_.workspace(), file, files::SaveCommand::save, context_.reporter(),
                                        [this](const std::filesystem::path& p) { return start_midi_save(p); });
    if (!context_.settings().needs_save) history_->mark_saved();
    if (saved) remember_file(file);
    show_composition();
}

void MainWindow::save_as_command() {
    auto hold = context_.hold_play();
    const auto& s = context_.settings();
    const QString filters = dialog_filters(files::save_dialog_filters());
    const QStringList filter_list = filters.split(";;");
    const std::string offered = s.File.empty() ? std::string(files::kFirstSaveName) : s.File;
    QString selected = filter_list.value(files::save_dialog_filter_for(offered) - 1);
    QString path = QFileDialog::getSaveFileName(this, tr("Save As"), in_remembered_folder(context_.stored(), offered),
                                                filters, &selected, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return;
    remember_folder_of(context_.stored(), kCompositionFolders, path.toStdString());
    const auto name = files::name_for_save_filter(path.toStdString(), static_cast<int>(filter_list.indexOf(selected)) + 1);
    const bool saved = files::save_file(context_.workspace(), name, files::SaveCommand::save_as, context_.reporter(),
                                        [this](const std::filesystem::path& p) { return start_midi_save(p); });
    if (!context_.settings().needs_save) history_->mark_saved();
    if (saved && context_.settings().File == name) remember_file(name);
    show_composition();
}

// File > Export score...: the tune as a MusicXML score, for as long as a MIDI file save lasts.
// The name offered is the composition's, beside it.
void MainWindow::export_score_command() {
    auto hold = context_.hold_play();
    const auto& s = context_.settings();
    const std::filesystem::path composition_file(s.File.empty() ? std::string(files::kFirstSaveName) : s.File);
    const auto folder = files::folder_for_outputs(s.File, QDir::homePath().toStdString());
    const QString exact_filter = qt_text(files::kScoreFileFilter);
    QString chosen_filter = exact_filter;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export score"), qt_text((folder / composition_file.filename()).replace_extension(".musicxml").string()),
        exact_filter + QStringLiteral(";;") + qt_text(files::kSemitoneScoreFileFilter), &chosen_filter);
    if (path.isEmpty()) return;
    const auto pitch = chosen_filter == exact_filter ? files::ScorePitch::exact : files::ScorePitch::semitones;
    const files::ScoreExportResult result =
        files::export_score(path.toStdString(), context_.composition(), files::midi_save_settings(s), s.player,
                            s.voices, context_.reporter(), {files::composition_name(s), pitch});
    if (!result.written()) context_.reporter().report(result.error, "Export score");
}

bool MainWindow::start_midi_save(const std::filesystem::path& path) {
    if (context_.play_along().recorder().refuse_save(context_.reporter())) return false;
    if (!context_.start_midi_save(path)) return false;
    save_progress_timer_->start();
    update_save_progress();
    return true;
}

void MainWindow::update_save_progress() {
    const bool running_now = context_.midi_save().running();
    if (!running_now) {
        save_progress_timer_->stop();
        context_.midi_save().wait();
    }
    if (midi_file_dialog_) midi_file_dialog_->show_progress();
    update_title();
}

// ---------------------------------------------------------------------------------------
// Windows

bool MainWindow::show_windows_for(std::size_t occasion) {
    const WindowCodes& codes = context_.stored().window_codes.occasions[occasion];
    for (std::size_t i = 0; i < kWindowCodeCount; ++i) {
        if (!codes.test(i)) continue;
        QMetaObject::invokeMethod(this, [this, code = kWindowCodes[i]] { open_window(code); }, Qt::QueuedConnection);
    }
    return codes.any();
}

bool MainWindow::open_window(char code) {
    switch (code) {
        case 'N':
        case 'V':
            open_channels_dialog();
            return true;
        case 'M':
            if (!midi_file_dialog_) {
                midi_file_dialog_ = new MidiFileDialog(
                    context_, [this](const std::filesystem::path& p) { return start_midi_save(p); }, this);
            }
            midi_file_dialog_->show();
            midi_file_dialog_->raise();
            return true;
        case 'B':
            open_number_options();
            return true;
        case 'O':
            open_scales_options();
            return true;
        case 'U':
            open_scales_tool("superparticular");
            return true;
        case 'H':
            open_scales_tool("search");
            return true;
        case 'R':
            open_scales_tool("sort");
            return true;
        case 'Y':
            open_midi_in_options();
            return true;
        case 'X':
            show_once(percussion_, [this] {
                return new NonMelodicPercussionDialog(context_, [this] { composition_changed(); }, this);
            });
            qobject_cast<NonMelodicPercussionDialog*>(percussion_.data())->show_voices();  // a preset may have moved them
            return true;
        case '2':
            open_note_assignments();
            return true;
        case '3':
            show_once(note_details_, [this] { return new MidiInNoteDetailsWindow(context_, this); });
            return true;
        case 'G':
            open_record_dialog();
            return true;
        case 'C':
            show_once(colours_, [this] { return new ColoursDialog(context_, [] {}, this); });
            return true;
        case 'P':
            show_once(pitch_, [this] { return new PitchDialog(context_, [this] { show_composition(); }, this); });
            return true;
        default:
            // The tune and editor windows; false for a window this program does not have yet.
            return open_display_window(*this, context_, code, [this] { composition_changed(); });
    }
}

template <class Make>
void MainWindow::show_once(QPointer<QWidget>& dialog, Make make) {
    if (!dialog) dialog = make();
    dialog->show();
    dialog->raise();
}

void MainWindow::open_channels_dialog() {
    show_once(channels_dialog_, [this] { return new ChannelsDialog(context_, [this] { composition_changed(); }, this); });
}

void MainWindow::open_number_options() {
    show_once(number_options_, [this] { return new NumberOptionsDialog(context_, [this] { show_composition(); }, this); });
}

void MainWindow::open_scales_options() {
    show_once(scales_options_, [this] { return new ScalesOptionsDialog(context_, [this] { show_composition(); }, this); });
}

void MainWindow::open_command_line_options() {
    show_once(command_line_options_, [this] {
        return new CommandLineOptionsDialog(
            context_.stored().window_codes, [this] { write_stored_values(store_, context_.stored()); },
            [this] { show_windows_for(kShowNowOccasion); }, this);
    });
}

void MainWindow::open_scales_tool(const char* button) {
    open_scales_options();
    if (auto* start = scales_options_->findChild<QPushButton*>(QLatin1String(button))) start->setFocus();
}

void MainWindow::open_midi_in_options() {
    show_once(midi_in_options_, [this] {
        return new MidiInOptionsDialog(context_, [this] {
            composition_changed();
            play_along_settings_changed(midi_in_options_);
        }, this);
    });
}

void MainWindow::open_note_assignments() {
    show_once(note_assignments_,
              [this] { return new NoteAssignmentsWindow(context_, [this] { play_along_settings_changed(note_assignments_); }, this); });
}

void MainWindow::play_along_settings_changed(const QWidget* changed_by) {
    if (auto* options = qobject_cast<MidiInOptionsDialog*>(midi_in_options_.data()); options && options != changed_by) {
        options->show_settings();
    }
    if (auto* rows = qobject_cast<NoteAssignmentsWindow*>(note_assignments_.data()); rows && rows != changed_by) {
        rows->show_settings();
    }
}

void MainWindow::open_record_dialog() {
    if (!record_dialog_) record_dialog_ = new RecordPlayAlongDialog(context_, this);
    record_dialog_->show();
    record_dialog_->raise();
}

void MainWindow::focus_next_window(int step) {
    QList<QWidget*> open;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && (w->windowType() == Qt::Window || w->windowType() == Qt::Dialog)) open << w;
    }
    if (open.size() < 2) return;
    const auto at = open.indexOf(QApplication::activeWindow());
    const auto next = (at + step + open.size()) % open.size();
    open[next]->raise();
    open[next]->activateWindow();
}

// ---------------------------------------------------------------------------------------
// Exit

void MainWindow::closeEvent(QCloseEvent* event) {
    if (exiting_ || exit_program()) {
        event->accept();
        return;
    }
    event->ignore();
}

bool MainWindow::exit_program() {
    if (!settle_unsaved_changes("Exit")) return false;
    if (!run_exit_sequence(*this, context_.reporter())) return false;
    exiting_ = true;
    QApplication::quit();
    return true;
}

void MainWindow::silence() {
    auto& playback = context_.playback();
    if (!playback.port().is_open()) return;
    playback.stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    playback.port().all_sound_off();
}

bool MainWindow::running(Work work) const {
    const auto tool = context_.scale_tools().running();
    switch (work) {
        case Work::scale_search: return tool == tools::ToolKind::search;
        case Work::scale_list_save: return tool == tools::ToolKind::scale_list;
        case Work::play_along_recording: return context_.play_along().recorder().requested();
        case Work::midi_file_save: return context_.midi_save().running();
    }
    return false;
}

void MainWindow::stop(Work work) {
    switch (work) {
        case Work::scale_search:
        case Work::scale_list_save: context_.scale_tools().halt(); break;
        case Work::play_along_recording: context_.play_along().recorder().stop(); break;
        case Work::midi_file_save: context_.midi_save().stop(); break;
    }
}

void MainWindow::set_stop_flag() { context_.stop_flag().store(true); }

void MainWindow::wait_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool MainWindow::save_configuration() {
    auto& stored = context_.stored();
    const auto& s = context_.settings();
    stored.MidiDevice = context_.playback().port().device();
    stored.MidiInDevice = context_.play_along().midi_in().device();
    stored.play_on_start_up = {.with_file = s.play_on_start_up_with_file, .without_file = s.play_on_start_up};
    stored.ScalaLocation = s.ScalaLocation;
    write_stored_values(store_, stored);
    return files::save_configuration_at_exit(context_.workspace(), context_.reporter());
}

void MainWindow::restore_priority() {
    if (platform::current_process_priority() != platform::ProcessPriority::normal) platform::restore_normal_priority();
}

}  // namespace corvane::ui
