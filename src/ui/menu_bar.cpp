// The main window's menu bar: File, Edit, Out, In, Channels…, Voice, Pitch…, Tune…,
// Colours…, Windows, Help… and About…, with ticks that mirror the settings.

#include <QActionGroup>
#include <QApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QRegularExpression>

#include "corvane/midi/general_midi.h"
#include "corvane/midi/output_latency.h"
#include "corvane/ui/help_window.h"
#include "corvane/ui/main_window.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

// The sixteen families of General MIDI, eight programs each.
constexpr std::array<std::string_view, 16> kInstrumentFamilies{
    "Piano", "Chromatic Percussion", "Organ", "Guitar", "Bass", "Strings", "Ensemble", "Brass",
    "Reed", "Pipe", "Synth Lead", "Synth Pad", "Synth Effects", "Ethnic", "Percussive", "Sound Effects"};

constexpr std::string_view kAboutText =
    "Corvane " CORVANE_VERSION "\n\nFractal melodies: a short musical seed expanded level by level into a "
    "self-similar tune, played in any scale through MIDI.";

// Menu texts with a keyboard marker on a letter no earlier text has: the first letter of a
// word where it can, else any letter of the text, else none.
QStringList with_own_markers(const QStringList& texts) {
    QString taken;
    QStringList marked;
    const auto take = [&](const QString& text, qsizetype at) {
        taken += text[at].toLower();
        return QString(text).insert(at, QLatin1Char('&'));
    };
    for (const QString& text : texts) {
        qsizetype chosen = -1;
        for (qsizetype i = 0; i < text.size() && chosen < 0; ++i) {
            const bool starts_word = i == 0 || !text[i - 1].isLetter();
            if (starts_word && text[i].isLetter() && !taken.contains(text[i].toLower())) chosen = i;
        }
        for (qsizetype i = 0; i < text.size() && chosen < 0; ++i) {
            if (text[i].isLetter() && !taken.contains(text[i].toLower())) chosen = i;
        }
        marked << (chosen < 0 ? text : take(text, chosen));
    }
    return marked;
}

// The object name of a menu item, from its text as first shown: "Save &As…" is save_as,
// "&Open MIDI out now" open_midi_out_now (whatever the text says later).
QString item_name(QString text) {
    text.remove(QLatin1Char('&')).remove(QStringLiteral("…"));
    return text.trimmed().toLower().replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("_"));
}

}  // namespace

QAction* MainWindow::add_command(QMenu& menu, const QString& text, CommandGroup group, std::function<void()> command) {
    QAction* action = menu.addAction(text);
    action->setObjectName(item_name(text));
    connect(action, &QAction::triggered, this, [this, group, command = std::move(command)] { run(group, command); });
    return action;
}

void MainWindow::add_option_tick(QMenu& menu, const QString& text, bool files::Settings::*flag) {
    QAction* action = menu.addAction(text);
    action->setObjectName(item_name(text));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, flag](bool on) {
        run(CommandGroup::options, [this, flag, on] { context_.settings().*flag = on; });
        update_ticks();
    });
    ticks_.emplace_back(action, flag);
}

// Every control of the main window has its own Alt letter: the menus take F E O I C V T U R W H B,
// the fields D L M N Y S G Q A P.
void MainWindow::build_menu_bar() {
    menuBar()->clear();
    ticks_.clear();
    build_file_menu();
    build_edit_menu();
    out_menu_ = menuBar()->addMenu(tr("&Out"));
    build_out_menu();
    in_menu_ = menuBar()->addMenu(tr("&In"));
    build_in_menu();
    QAction* channels = menuBar()->addAction(tr("&Channels…"));
    connect(channels, &QAction::triggered, this, [this] { run(CommandGroup::opens_window, [this] { open_window('N'); }); });
    voice_menu_ = menuBar()->addMenu(tr("&Voice"));
    build_voice_menu();
    for (const auto& [text, code] : {std::pair{"Pi&tch…", 'P'}, std::pair{"T&une…", 'T'}, std::pair{"Colou&rs…", 'C'}}) {
        QAction* opens = menuBar()->addAction(tr(text));
        opens->setObjectName(item_name(text));
        connect(opens, &QAction::triggered, this,
                [this, window = code] { run(CommandGroup::opens_window, [this, window] { open_window(window); }); });
    }
    build_windows_menu();
    QAction* help = menuBar()->addAction(tr("&Help…"));
    help->setObjectName(item_name(QStringLiteral("&Help…")));
    help->setShortcut(QKeySequence(Qt::Key_F1));  // HelpContents is not F1 on every platform
    help->setShortcutContext(Qt::ApplicationShortcut);
    connect(help, &QAction::triggered, this, [this] { run(CommandGroup::help, [this] { show_help(); }); });
    QAction* about = menuBar()->addAction(tr("A&bout…"));
    about->setObjectName(item_name(QStringLiteral("A&bout…")));
    connect(about, &QAction::triggered, this, [this] {
        run(CommandGroup::help, [this] { QMessageBox::about(this, tr("About Corvane"), qt_text(kAboutText)); });
    });
    update_ticks();
}

void MainWindow::build_edit_menu() {
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->setObjectName("edit_menu");
    edit->addAction(undo_);
    edit->addAction(redo_);
}

// Every window of the program, by name; the window codes open the same windows.
void MainWindow::build_windows_menu() {
    QMenu* windows = menuBar()->addMenu(tr("&Windows"));
    windows->setObjectName("windows_menu");
    QStringList names;
    for (const auto name : kWindowNames) names << qt_text(name) + QStringLiteral("…");
    names << tr("Windows to open…");
    const QStringList marked = with_own_markers(names);
    for (std::size_t i = 0; i < kWindowCodeCount; ++i) {
        add_command(*windows, marked[static_cast<qsizetype>(i)], CommandGroup::opens_window,
                    [this, code = kWindowCodes[i]] { open_window(code); });
    }
    windows->addSeparator();
    add_command(*windows, marked.back(), CommandGroup::opens_window, [this] { open_command_line_options(); });
}

void MainWindow::show_help() { show_help_window(*this, QApplication::activeWindow()); }

void MainWindow::build_file_menu() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName("file_menu");
    add_command(*file, tr("&New"), CommandGroup::edit, [this] { new_composition(); })->setShortcut(QKeySequence::New);
    add_command(*file, tr("&Open…"), CommandGroup::edit, [this] { open_command(); })->setShortcut(QKeySequence::Open);
    recent_menu_ = file->addMenu(tr("Open &Recent"));
    recent_menu_->setObjectName("recent_menu");
    fill_recent_menu();
    add_command(*file, tr("&Save"), CommandGroup::edit, [this] { save_command(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    file->actions().back()->setShortcutContext(Qt::WidgetShortcut);  // Ctrl+S is the window's own
    add_command(*file, tr("Save &As…"), CommandGroup::edit, [this] { save_as_command(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    add_command(*file, tr("Export score…"), CommandGroup::edit, [this] { export_score_command(); });
    add_command(*file, tr("Export tuning…"), CommandGroup::edit, [this] { export_tuning_command(); });
    add_option_tick(*file, tr("Replace Old Warning"), &files::Settings::replace_old_warning);
    auto_save_ = add_command(*file, tr("Auto save Config."), CommandGroup::options, [this] {
        files::toggle_auto_save(context_.workspace(), context_.reporter());
        update_ticks();
    });
    auto_save_->setCheckable(true);
    add_command(*file, tr("Read Config."), CommandGroup::edit, [this] {
        auto hold = context_.hold_play();
        files::read_configuration_now(context_.workspace(), context_.reporter());
        context_.apply_configured_devices();
        context_.apply_keyboard_mapping();
        composition_changed();
        play_along_settings_changed();
    });
    file->addSeparator();
    add_command(*file, tr("Reset Check boxes etc."), CommandGroup::edit, [this] {
        files::reset_settings(context_.workspace());
        context_.apply_configured_devices();
        context_.apply_keyboard_mapping();
        composition_changed();
        play_along_settings_changed();
    });
    QMenu* more = file;
    if (context_.settings().need_extra_dialog_space) {
        more = file->addMenu(tr("&More"));
        more->setObjectName("more_menu");
    }
    add_command(*more, tr("Reset Modes"), CommandGroup::edit, [this] {
        auto& ws = context_.workspace();
        ws.modes = files::builtin_mode_list(tuning::kTwelveToneModesCode);
        show_composition();
    });
    add_command(*more, tr("Reset Scales"), CommandGroup::edit, [this] {
        context_.workspace().scales = files::builtin_scale_list();
        show_composition();
    });
    add_command(*more, tr("Number options…"), CommandGroup::opens_window, [this] { open_window('B'); });
    add_command(*more, tr("Command line options…"), CommandGroup::opens_window, [this] { open_command_line_options(); });
    add_command(*more, tr("Scales options…"), CommandGroup::opens_window, [this] { open_window('O'); });
    add_command(*more, tr("Midi file options…"), CommandGroup::opens_window, [this] { open_window('M'); });
    file->addSeparator();
    add_option_tick(*file, tr("New windows on top"), &files::Settings::new_sas_windows_on_top);
    add_option_tick(*file, tr("Play on start up"), &files::Settings::play_on_start_up);
    add_option_tick(*file, tr("Play by file assoc."), &files::Settings::play_on_start_up_with_file);
    // Quit has no standard keys on some platforms: Ctrl+Q everywhere.
    add_command(*file, tr("E&xit"), CommandGroup::exit, [this] { close(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

void MainWindow::build_out_menu() {
    out_menu_->clear();
    auto& port = context_.playback().port();
    auto* devices = new QActionGroup(out_menu_);
    for (const auto& item : port.out_menu()) {
        QAction* action = out_menu_->addAction(QString::fromStdString(item.name));
        action->setObjectName(QStringLiteral("device_%1").arg(item.command - midi::kFirstDeviceCommand));
        action->setCheckable(true);
        action->setChecked(item.command - midi::kFirstDeviceCommand == port.device());
        devices->addAction(action);
        connect(action, &QAction::triggered, this, [this, command = item.command] {
            run(CommandGroup::device, [this, command] {
                context_.playback().port().select(command);
                context_.stored().MidiDevice = context_.playback().port().device();
            });
            update_ticks();
        });
    }
    out_menu_->addSeparator();
    open_out_now_ = add_command(*out_menu_, tr("&Open MIDI out now"), CommandGroup::device, [this] {
        auto& p = context_.playback().port();
        if (p.is_open()) {
            p.set_kept_open(false);
            p.close();
        } else if (p.open() != midi::OpenResult::failed) {
            p.set_kept_open(true);
        }
        update_ticks();
    });
    add_tuning_output_items();
    add_latency_items();
}

// How long an output that places messages at their exact time holds them back.
void MainWindow::add_latency_items() {
    out_menu_->addSeparator();
    latency_menu_ = out_menu_->addMenu(tr("Output &latency"));
    latency_menu_->menuAction()->setObjectName(QStringLiteral("output_latency"));
    const std::array<QString, midi::kMostLatencyPeriods + 1> names{tr("Send at &once"), tr("&1 period"),
                                                                   tr("&2 periods"), tr("&3 periods")};
    auto* group = new QActionGroup(latency_menu_);
    for (std::size_t periods = 0; periods < names.size(); ++periods) {
        QAction* action = latency_menu_->addAction(names[periods]);
        action->setObjectName(QStringLiteral("latency_%1").arg(periods));
        action->setCheckable(true);
        group->addAction(action);
        latency_items_[periods] = action;
        connect(action, &QAction::triggered, this, [this, periods = static_cast<int>(periods)] {
            context_.settings().output_latency_periods = periods;
            context_.playback().port().set_latency_periods(periods);
            update_ticks();
        });
    }
}

// "Output latency: 1 period", with what that is on the open device.
QString MainWindow::latency_title() const {
    const auto& port = context_.playback().port();
    std::string text = midi::output_latency_text(port.latency_periods(), std::nullopt);
    if (const std::int64_t us = port.latency_us(); us > 0) text += ", " + midi::latency_ms_text(us);
    return tr("Output &latency: %1").arg(QString::fromStdString(text));
}

// How notes get their exact pitch. A change while notes sound ends them first: they were
// tuned the old way.
void MainWindow::add_tuning_output_items() {
    out_menu_->addSeparator();
    const std::array<std::pair<QString, const char*>, 3> items{{
        {tr("Tune by pitch &bends"), "tuning_output_bend"},
        {tr("Tune by MIDI &Tuning Standard"), "tuning_output_mts"},
        {tr("Tune by &MPE"), "tuning_output_mpe"},
    }};
    auto* group = new QActionGroup(out_menu_);
    for (std::size_t i = 0; i < items.size(); ++i) {
        QAction* action = out_menu_->addAction(items[i].first);
        action->setObjectName(QString::fromLatin1(items[i].second));
        action->setCheckable(true);
        group->addAction(action);
        tuning_outputs_[i] = action;
        connect(action, &QAction::triggered, this, [this, output = static_cast<engine::TuningOutput>(i)] {
            run(CommandGroup::device, [this, output] { set_tuning_output(output); });
            update_ticks();
        });
    }
}

void MainWindow::set_tuning_output(engine::TuningOutput output) {
    engine::VoiceSettings& voices = context_.settings().voices;
    if (voices.tuning_output == output) return;
    auto& playback = context_.playback();
    const auto group = playback.port().hold_group();
    playback.voices().all_notes_off();
    voices.tuning_output = output;
    if (!playback.player().playing()) return;
    playback.voices().restart_voices();
    playback.voices().prepare_tuning();
}

void MainWindow::build_in_menu() {
    in_menu_->clear();
    auto& midi_in = context_.play_along().midi_in();
    auto* devices = new QActionGroup(in_menu_);
    const auto& items = midi_in.in_menu();
    for (std::size_t i = 0; i < items.size() && i < static_cast<std::size_t>(midi::kDeviceSlots); ++i) {
        QAction* action = in_menu_->addAction(QString::fromStdString(items[i].name));
        action->setObjectName(QStringLiteral("device_%1").arg(i));
        action->setCheckable(true);
        devices->addAction(action);
        connect(action, &QAction::triggered, this, [this, command = items[i].command] {
            run(CommandGroup::device, [this, command] {
                context_.play_along().select_input(command);
                context_.stored().MidiInDevice = context_.play_along().midi_in().device();
            });
            update_ticks();
        });
    }
    in_menu_->addSeparator();
    open_in_now_ = add_command(*in_menu_, tr("&Open MIDI in now"), CommandGroup::device, [this] { toggle_midi_in(); });
    add_command(*in_menu_, tr("Options…"), CommandGroup::opens_window, [this] { open_window('Y'); });
}

void MainWindow::toggle_midi_in() {
    auto& midi_in = context_.play_along().midi_in();
    if (midi_in.is_open()) {
        midi_in.close();
    } else {
        midi_in.open();
    }
    update_ticks();
}

void MainWindow::build_voice_menu() {
    voice_menu_->clear();
    auto* programs = new QActionGroup(voice_menu_);
    for (int family = 0; family < 16; ++family) {
        QMenu* sub = voice_menu_->addMenu(qt_text(kInstrumentFamilies[static_cast<std::size_t>(family)]));
        sub->menuAction()->setObjectName(item_name(sub->title()));
        for (int program = family * 8; program < family * 8 + 8; ++program) {
            QAction* action = sub->addAction(qt_text(midi::general_midi_instrument(program)));
            action->setCheckable(true);
            action->setData(program);
            programs->addAction(action);
            connect(action, &QAction::triggered, this, [this, program] {
                run(CommandGroup::edit, [this, program] {
                    auto& c = context_.composition();
                    const int channel = context_.playback().player().channel_in_use();
                    const auto group = context_.playback().port().hold_group();  // the player reads the voices
                    c.Voices_for_channels[static_cast<std::size_t>(channel)] = program;
                    context_.settings().needs_save = true;
                });
                show_composition();
            });
        }
    }
    voice_menu_->addSeparator();
    add_command(*voice_menu_, tr("&Voices…"), CommandGroup::opens_window, [this] { open_window('V'); });
    add_command(*voice_menu_, tr("&Non M. Perc…"), CommandGroup::opens_window, [this] { open_window('X'); });
}

void MainWindow::update_ticks() {
    const auto& s = context_.settings();
    for (const auto& [action, flag] : ticks_) action->setChecked(s.*flag);
    if (auto_save_ != nullptr) auto_save_->setChecked(s.Auto_save_to_Corvane_ini_on_exit);
    auto& port = context_.playback().port();
    if (open_out_now_ != nullptr) {
        open_out_now_->setText(port.is_open() ? tr("&Close MIDI out now") : tr("&Open MIDI out now"));
    }
    if (out_menu_ != nullptr) {
        for (QAction* action : out_menu_->actions()) {
            if (action->isCheckable()) action->setChecked(false);
        }
        const auto& items = port.out_menu();
        const auto actions = out_menu_->actions();
        for (std::size_t i = 0; i < items.size() && i < static_cast<std::size_t>(actions.size()); ++i) {
            actions[static_cast<qsizetype>(i)]->setChecked(items[i].command - midi::kFirstDeviceCommand == port.device());
        }
        const auto tuning = static_cast<std::size_t>(s.voices.tuning_output);
        if (tuning < tuning_outputs_.size() && tuning_outputs_[tuning] != nullptr) tuning_outputs_[tuning]->setChecked(true);
        const auto periods = static_cast<std::size_t>(port.latency_periods());
        if (periods < latency_items_.size() && latency_items_[periods] != nullptr) latency_items_[periods]->setChecked(true);
        if (latency_menu_ != nullptr) latency_menu_->setTitle(latency_title());
    }
    if (in_menu_ != nullptr) {
        const auto& midi_in = context_.play_along().midi_in();
        const auto actions = in_menu_->actions();
        for (qsizetype i = 0; i < actions.size() && actions[i]->isCheckable(); ++i) {
            actions[i]->setChecked(i == midi_in.device());
        }
        open_in_now_->setText(midi_in.is_open() ? tr("&Close MIDI in now") : tr("&Open MIDI in now"));
    }
    if (voice_menu_ != nullptr) {
        const int voice = [this] {
            const auto& c = context_.composition();
            return c.Voices_for_channels[static_cast<std::size_t>(context_.playback().player().channel_in_use())];
        }();
        for (QAction* family : voice_menu_->actions()) {
            if (family->menu() == nullptr) continue;
            for (QAction* program : family->menu()->actions()) program->setChecked(program->data().toInt() == voice);
        }
    }
}

}  // namespace corvane::ui
