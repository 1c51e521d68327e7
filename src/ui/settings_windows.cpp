// The Options, Note timing, Scala and New scale/arpeggio playback windows.

#include "corvane/ui/settings_windows.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "corvane/engine/player.h"
#include "corvane/tuning/ascii_text.h"
#include "corvane/ui/editor_windows.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr std::size_t kLongestPath = 260;

QLabel* note_label(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

std::string list_text(const std::vector<double>& values) {
    std::string text;
    for (const double v : values) {
        if (!text.empty()) text += ' ';
        text += files::number_text(v);
    }
    return text;
}

// A file name or path as the settings keep it: 1 to 260 characters, and for a name in the
// program's folder no folder of its own.
std::string path_refusal(std::string_view what, std::string_view typed, bool name_only) {
    const auto text = ascii::trimmed(typed);
    const std::string takes = std::string(what) + (name_only ? " takes a file name (no folder) of 1 to 260 characters: "
                                                             : " takes a path of 1 to 260 characters: ");
    if (text.empty()) return takes + "nothing was typed, so nothing was changed.";
    if (text.size() > kLongestPath) return takes + std::to_string(text.size()) + " were typed, so nothing was changed.";
    if (name_only && text.find_first_of("/\\") != std::string_view::npos) {
        return takes + "\"" + std::string(text) + "\" names a folder, so nothing was changed.";
    }
    return {};
}

}  // namespace

// ---------------------------------------------------------------------------------------

OptionsWindow::OptionsWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "options_window", tr("Options"), parent) {
    const Columns columns = two_columns();
    add_playing(columns.left);
    add_priority(columns.left);
    add_catching_up(columns.right);
    add_pitch_bends(columns.right);
}

template <class T>
QLineEdit* OptionsWindow::player_number(const char* name, const QString& help, const NumberRule& rule,
                                        T engine::PlayerSettings::*value) {
    return number_field(
        name, help, rule, [this, value] { return static_cast<double>(context_.settings().player.*value); },
        [this, value](double v) { change_settings([&](files::Settings& s) { s.player.*value = static_cast<T>(v); }); });
}

QCheckBox* OptionsWindow::player_flag(const QString& text, const char* name, const QString& help,
                                      bool engine::PlayerSettings::*flag) {
    return flag_field(
        text, name, help, [this, flag] { return context_.settings().player.*flag; },
        [this, flag](bool on) { change_settings([&](files::Settings& s) { s.player.*flag = on; }); });
}

void OptionsWindow::add_playing(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Playing"));
    form->addRow(
        tr("&Timing"),
        choice_field(
            "timing",
            tr("Play slower when the computer falls behind, or keep to the schedule and skip the notes that "
               "are late"),
            {tr("Play slower if nec."), tr("Ok to skip notes")},
            [this] { return context_.settings().player.ok_to_skip_fast_notes ? 1 : 0; },
            [this](int i) { change_settings([i](files::Settings& s) { s.player.ok_to_skip_fast_notes = i == 1; }); }));
    form->addRow(
        tr("&Look ahead, notes"),
        player_number(
            "look_ahead", tr("How many notes are worked out ahead of the one that sounds"),
            {.what = "The look-ahead", .low = 0, .high = engine::kRingSize - 1, .whole = true, .unit = "notes"},
            &engine::PlayerSettings::iLookAhead));
    form->addRow(tr("Timer &resolution, ms"),
                 number_field(
                     "timer_resolution",
                     tr("The resolution of the player's timer events; a note ends no sooner than twice this after it "
                        "starts. Kept in the configuration once typed here"),
                     {.what = "The timer resolution", .low = 1, .high = 100, .whole = true, .unit = "ms"},
                     [this] { return context_.settings().player.uTimerRes; },
                     [this](double v) {
                         change_settings([v](files::Settings& s) {
                             s.player.uTimerRes = static_cast<std::uint32_t>(v);
                             s.uTimerRes_set_explicitly = true;
                         });
                     }));
    form->addRow(player_flag(tr("&Cycle the tune: start again at its end"), "cycle_melody",
                             tr("At the end of the tune play goes on from its first note; otherwise play stops"),
                             &engine::PlayerSettings::cycle_melody));
    form->addRow(player_flag(tr("Hold &Escape to stop play"), "escape_interrupts",
                             tr("Holding the Escape key down stops play at the next note"),
                             &engine::PlayerSettings::escape_interrupts));
}

void OptionsWindow::add_priority(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Priority"));
    QStringList levels;
    for (int level = 0; level < engine::kPriorityLevels; ++level) levels << qt_text(engine::priority_level_name(level));
    form->addRow(tr("&Priority while playing"),
                 choice_field(
                     "priority",
                     tr("The process priority from the next Play on. Shift+Escape brings it back to normal at any "
                        "time"),
                     levels, [this] { return context_.settings().player.set_high_priority_for_crv; },
                     [this](int level) {
                         change_settings([level](files::Settings& s) { s.player.set_high_priority_for_crv = level; });
                     }));
    form->addRow(flag_field(
        tr("&Keep this priority for the next session"), "save_priority",
        tr("The priority is saved in the configuration at exit"),
        [this] { return context_.settings().save_priority_for_next_session; },
        [this](bool on) { change_settings([on](files::Settings& s) { s.save_priority_for_next_session = on; }); }));
}

void OptionsWindow::add_catching_up(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Catching up when play is late (skipping notes)"));
    const auto seconds = [](std::string_view what) {
        return NumberRule{.what = what, .low = 0, .high = 10, .unit = "s"};
    };
    form->addRow(tr("Time to find a note when &slightly late, s"),
                 player_number("smallest_max_time_for_calc",
                               tr("How long the player may look for a note that is not late, when it is a little late"),
                               seconds("The time to find a note when slightly late"),
                               &engine::PlayerSettings::smallest_max_time_for_calc));
    form->addRow(tr("Time to find a note when &far behind, s"),
                 player_number("largest_max_time_for_calc",
                               tr("How long the player may look for a note that is not late, when it is far behind"),
                               seconds("The time to find a note when far behind"),
                               &engine::PlayerSettings::largest_max_time_for_calc));
    form->addRow(tr("Lateness where that time starts to &grow, s"),
                 player_number("delay_for_calc_smallest_max_time",
                               tr("Late by more than this, the player allows itself more time to catch up"),
                               seconds("The lateness where the time starts to grow"),
                               &engine::PlayerSettings::delay_for_calc_smallest_max_time));
    form->addRow(tr("Lateness where it stops gro&wing, s"),
                 player_number("delay_for_calc_largest_max_time",
                               tr("Late by more than this, the time allowed to catch up grows no more"),
                               seconds("The lateness where the time stops growing"),
                               &engine::PlayerSettings::delay_for_calc_largest_max_time));
    form->addRow(
        tr("Skipped notes between clock rea&dings"),
        player_number("min_calcs_for_min_time", tr("How many notes are skipped before the clock is read again"),
                      {.what = "The number of skipped notes between clock readings",
                       .low = 1,
                       .high = 1000000,
                       .whole = true,
                       .unit = "notes"},
                      &engine::PlayerSettings::min_calcs_for_min_time));
}

void OptionsWindow::add_pitch_bends(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Pitch bends"));
    const auto voices_flag = [this](const QString& text, const char* name, const QString& help,
                                    bool engine::VoiceSettings::*flag) {
        return flag_field(
            text, name, help, [this, flag] { return context_.settings().voices.*flag; },
            [this, flag](bool on) { change_settings([&](files::Settings& s) { s.voices.*flag = on; }); });
    };
    form->addRow(voices_flag(tr("&Move a voice to a spare channel for another bend"), "change_channels_for_pitch_bends",
                             tr("When two notes of a voice need different pitch bends at once, the second goes to a "
                                "spare channel, so neither is detuned"),
                             &engine::VoiceSettings::change_channels_for_pitch_bends));
    form->addRow(voices_flag(tr("All sound &off before a pitch bend"), "all_sound_off_before_pitch_bends",
                             tr("A channel is silenced before its pitch bend changes, so no sounding note slides"),
                             &engine::VoiceSettings::all_sound_off_before_pitch_bends));
}

// ---------------------------------------------------------------------------------------

NoteTimingWindow::NoteTimingWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "note_timing_window", tr("Note timing"), parent) {
    const Columns columns = two_columns();
    add_start(columns.left);
    add_by_height(columns.left);
    add_by_position(columns.right);
}

void NoteTimingWindow::add_optional(QFormLayout* form, const QString& tick_text, const char* tick_name,
                                    const QString& tick_help, bool engine::Composition::*on, const QString& value_text,
                                    QLineEdit* value) {
    form->addRow(flag_field(
        tick_text, tick_name, tick_help, [this, on] { return context_.composition().*on; },
        [this, on](bool ticked) { change_composition([&](engine::Composition& k) { k.*on = ticked; }); }));
    if (value_text.isEmpty()) {
        form->addRow(value);
    } else {
        form->addRow(value_text, value);
    }
    also_show([this, on, value] { value->setEnabled(context_.composition().*on); });
}

QLineEdit* NoteTimingWindow::composition_number(const char* name, const QString& help, const NumberRule& rule,
                                                double engine::Composition::*field) {
    return number_field(
        name, help, rule, [this, field] { return context_.composition().*field; },
        [this, field](double v) { change_composition([&](engine::Composition& k) { k.*field = v; }); });
}

QLineEdit* NoteTimingWindow::position_list(const char* name, const QString& help, const NumberRule& rule,
                                           std::vector<double> engine::Composition::*list,
                                           void (*set)(engine::Composition&, std::span<const double>)) {
    return typed_field(
        name, help, [this, list] { return list_text(context_.composition().*list); },
        [this, rule, list, set](std::string_view text) {
            const ListReading reading = read_setting_list(text, rule, engine::kMaxSeedValues);
            if (reading.refused.empty() && reading.values != context_.composition().*list) {
                change_composition([&](engine::Composition& k) { set(k, reading.values); });
            }
            return reading.refused;
        });
}

void NoteTimingWindow::add_start(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Start of each note"));
    add_optional(form, tr("&Shift each note's start later"), "has_timing_shift",
                 tr("Each note starts later by a part of the next note's length"),
                 &engine::Composition::has_Note_timing_shift, tr("&by this part of the next note"),
                 composition_number("timing_shift", tr("0: no shift; 1: by the whole of the next note"),
                                    {.what = "The timing shift", .low = 0, .high = 1, .unit = ""},
                                    &engine::Composition::Note_timing_shift));
}

void NoteTimingWindow::add_by_height(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("By the height of the note"));
    add_optional(
        form, tr("&Lengths follow the height"), "has_top_note_length",
        tr("Note lengths change step by step with the height, from the time for one note at height 0 to "
           "this length at height 10"),
        &engine::Composition::has_Top_note_length, tr("&Time of a note of height 10, s"),
        composition_number(
            "top_note_length", tr("The length of a note of height 10, in seconds"),
            {.what = "The length of a note of height 10", .low = 0, .high = 3600, .above_low = true, .unit = "s"},
            &engine::Composition::Top_note_length));
    add_optional(form, tr("&Volumes follow the height"), "has_top_note_volume",
                 tr("Note volumes change step by step with the height: this factor at height 10, its square at 20"),
                 &engine::Composition::has_Top_note_volume, tr("V&olume factor at height 10"),
                 composition_number("top_note_volume", tr("1 keeps every height at the channel's volume"),
                                    {.what = "The volume factor at height 10", .low = 0, .high = 100, .unit = ""},
                                    &engine::Composition::Top_note_volume));
}

void NoteTimingWindow::add_by_position(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("By the position in the seed"));
    add_optional(form, tr("T&imes by seed position"), "has_times_by_position",
                 tr("Each position of the seed has its own relative length"),
                 &engine::Composition::has_times_by_melody_pos, {},
                 position_list("times_by_position", tr("One relative time for each position of the seed"),
                               {.what = "The times by seed position", .low = 0, .high = 1000, .unit = ""},
                               &engine::Composition::times_by_melody_pos, &engine::set_times_by_melody_pos));
    add_optional(form, tr("Vol&umes by seed position"), "has_volumes_by_position",
                 tr("Each position of the seed has its own volume factor"),
                 &engine::Composition::has_volumes_by_melody_pos, {},
                 position_list("volumes_by_position", tr("One volume factor for each position of the seed"),
                               {.what = "The volumes by seed position", .low = 0, .high = 100, .unit = ""},
                               &engine::Composition::volumes_by_melody_pos, &engine::set_volumes_by_melody_pos));
    auto* seed_length = note_label({}, this);
    seed_length->setObjectName("seed_length");
    form->addRow(seed_length);
    also_show([this, seed_length] {
        seed_length->setText(tr("The seed has %1 positions; a position with no value counts as 1.")
                                 .arg(context_.composition().seed_length()));
    });
    form->addRow(
        tr("&Rhythm fractal over levels 0 to"),
        number_field(
            "rhythm_fractal_to_level",
            tr("Over these levels the times and volumes by position multiply into a rhythm and a volume "
               "fractal; 0: none"),
            {.what = "The top level of the rhythm fractal",
             .low = 0,
             .high = engine::kMaxLevels,
             .whole = true,
             .unit = ""},
            [this] { return context_.composition().iRhythmFractalToLevel; },
            [this](double v) {
                change_composition([v](engine::Composition& k) { k.iRhythmFractalToLevel = static_cast<int>(v); });
            }));
    form->addRow(tr("Volume factor of an otherwise silent &note"),
                 composition_number(
                     "silent_note_volume", tr("The volume of a simultaneous note whose position has a volume of 0"),
                     {.what = "The volume factor of an otherwise silent note", .low = 0, .high = 1, .unit = ""},
                     &engine::Composition::VolForSilentSimNote));
}

// ---------------------------------------------------------------------------------------

ScalaWindow::ScalaWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "scala_window", tr("Scala"), parent) {
    QVBoxLayout* column = one_column();
    add_program(column);
    add_mode_lists(column);
}

void ScalaWindow::add_program(QBoxLayout* layout) {
    QFormLayout* form = add_group(layout, tr("The Scala program"));
    auto* location = typed_field(
        "scala_location",
        tr("Where the Scala program is; its folder holds the mode names file that the lists of modes are made from"),
        [this] { return context_.settings().ScalaLocation; },
        [this](std::string_view text) {
            const std::string refused = path_refusal("The Scala program's location", text, false);
            if (!refused.empty()) return refused;
            context_.settings().ScalaLocation = std::string(ascii::trimmed(text));
            context_.stored().ScalaLocation = context_.settings().ScalaLocation;  // kept per user too
            return std::string();
        });
    location->setMinimumWidth(location->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);
    auto* browse = new QPushButton(tr("&Browse…"), this);
    browse->setObjectName("browse");
    browse->setToolTip(tr("Chooses the Scala program in a file dialog"));
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this, location] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The Scala program"), location->text());
        if (path.isEmpty()) return;
        location->setText(path);
        location->setModified(true);  // chosen by the user, so read back as if typed
        emit location->editingFinished();
    });
    auto* row = new QHBoxLayout;
    row->addWidget(location, 1);
    row->addWidget(browse);
    auto* label = new QLabel(tr("Scala &program"), this);
    label->setBuddy(location);
    form->addRow(label, row);
    auto* found = note_label({}, this);
    found->setObjectName("scala_found");
    form->addRow(found);
    also_show([this, found] {
        std::error_code error;
        const bool there = std::filesystem::is_regular_file(context_.settings().ScalaLocation, error);
        found->setText(there ? tr("The program is there.") : tr("There is no file at this location."));
    });
}

void ScalaWindow::add_mode_lists(QBoxLayout* layout) {
    QFormLayout* form = add_group(layout, tr("Lists of modes made from Scala's mode names"));
    form->addRow(tr("List of scales for the &modes"),
                 typed_field(
                     "scala_modes_lsc",
                     tr("The list of scales, in the program's folder, that ties each scale to its list of modes"),
                     [this] { return context_.settings().ScalaModesLSC; },
                     [this](std::string_view text) {
                         const std::string refused = path_refusal("The list of scales for the modes", text, true);
                         if (refused.empty()) context_.settings().ScalaModesLSC = std::string(ascii::trimmed(text));
                         return refused;
                     }));
    form->addRow(flag_field(
        tr("&Sort each list of modes once made"), "scala_auto_sort_lmds",
        tr("Every list of modes made is sorted by the sort template of the scales options"),
        [this] { return context_.settings().scala_auto_sort_lmds; },
        [this](bool on) { context_.settings().scala_auto_sort_lmds = on; }));
    auto* by_definitions = flag_field(
        tr("Sort by the &definitions, not the descriptions"), "sort_defs_for_scala_auto_sort_lmds",
        tr("The lists of modes are sorted by their definitions rather than by their descriptions"),
        [this] { return context_.settings().sort_defs_for_scala_auto_sort_lmds; },
        [this](bool on) { context_.settings().sort_defs_for_scala_auto_sort_lmds = on; });
    form->addRow(by_definitions);
    also_show([this, by_definitions] { by_definitions->setEnabled(context_.settings().scala_auto_sort_lmds); });
}

// ---------------------------------------------------------------------------------------

void show_playback_settings(EntryEditorWindow& editor, const files::Settings& settings) {
    if (editor.kind() == EntryKind::seed) return;
    const int figure = settings.iSAPlaybackFiguration;
    const int direction = settings.iSAPlaybackAscDesc;
    if (figure < 0 || figure > static_cast<int>(Figure::broken_chord)) return;
    if (direction < 0 || direction > static_cast<int>(Direction::descending)) return;
    editor.set_preview(static_cast<Figure>(figure), static_cast<Direction>(direction));
}

EditorPlaybackWindow::EditorPlaybackWindow(ProgramContext& context, std::function<void()> composition_changed,
                                           QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "editor_playback_window",
                     tr("New scale/arpeggio playback"), parent) {
    QVBoxLayout* column = one_column();
    QFormLayout* form = add_group(column, tr("Play in the scale and arpeggio editors"));
    form->addRow(tr("&Play the entry as"),
                 choice_field(
                     "figuration",
                     tr("A sequence (each note ends as the next starts), a chord (all at once) or a broken chord (one "
                        "after another, each held to the end)"),
                     {tr("Sequence"), tr("Chord"), tr("Broken chord")},
                     [this] { return context_.settings().iSAPlaybackFiguration; },
                     [this](int figure) {
                         context_.settings().iSAPlaybackFiguration = figure;
                         follow_in_editors();
                     }));
    form->addRow(tr("&Direction"),
                 choice_field(
                     "direction", tr("In the entry's order, or from its end back to its start"),
                     {tr("Ascending"), tr("Descending")}, [this] { return context_.settings().iSAPlaybackAscDesc; },
                     [this](int direction) {
                         context_.settings().iSAPlaybackAscDesc = direction;
                         follow_in_editors();
                     }));
    column->addWidget(
        note_label(tr("An open editor takes a change made here; its own choice lasts until the next."), this));
}

void EditorPlaybackWindow::follow_in_editors() {
    if (parentWidget() == nullptr) return;
    for (EntryEditorWindow* editor : parentWidget()->findChildren<EntryEditorWindow*>()) {
        show_playback_settings(*editor, context_.settings());
    }
}

}  // namespace corvane::ui
