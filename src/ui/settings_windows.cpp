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

QFormLayout* group(QBoxLayout* into, const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* form = new QFormLayout(box);
    into->addWidget(box);
    return form;
}

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
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);
    const auto player = [this]() -> engine::PlayerSettings& { return context_.settings().player; };
    const auto store_player = [this](auto change) { change_settings([&](files::Settings& s) { change(s.player); }); };

    QFormLayout* playing = group(left, tr("Playing"), this);
    playing->addRow(tr("&Timing"),
                    choice_field(
                        "timing",
                        tr("Play slower when the computer falls behind, or keep to the schedule and "
                           "skip the notes that are late"),
                        {tr("Play slower if nec."), tr("Ok to skip notes")},
                        [player] { return player().ok_to_skip_fast_notes ? 1 : 0; },
                        [store_player](int i) { store_player([i](auto& p) { p.ok_to_skip_fast_notes = i == 1; }); }));
    playing->addRow(
        tr("&Look ahead, notes"),
        number_field(
            "look_ahead", tr("How many notes are worked out ahead of the one that sounds"),
            {.what = "The look-ahead", .low = 0, .high = engine::kRingSize - 1, .whole = true, .unit = "notes"},
            [player] { return player().iLookAhead; },
            [store_player](double v) { store_player([v](auto& p) { p.iLookAhead = static_cast<int>(v); }); }));
    playing->addRow(tr("Timer &resolution, ms"),
                    number_field(
                        "timer_resolution",
                        tr("The resolution of the player's timer events; a note ends no sooner than twice this "
                           "after it starts. Kept in the configuration once typed here"),
                        {.what = "The timer resolution", .low = 1, .high = 100, .whole = true, .unit = "ms"},
                        [player] { return player().uTimerRes; },
                        [this](double v) {
                            change_settings([v](files::Settings& s) {
                                s.player.uTimerRes = static_cast<std::uint32_t>(v);
                                s.uTimerRes_set_explicitly = true;
                            });
                        }));
    playing->addRow(flag_field(
        tr("&Cycle the tune: start again at its end"), "cycle_melody",
        tr("At the end of the tune play goes on from its first note; otherwise play stops"),
        [player] { return player().cycle_melody; },
        [store_player](bool on) { store_player([on](auto& p) { p.cycle_melody = on; }); }));
    playing->addRow(flag_field(
        tr("Hold &Escape to stop play"), "escape_interrupts",
        tr("Holding the Escape key down stops play at the next note"), [player] { return player().escape_interrupts; },
        [store_player](bool on) { store_player([on](auto& p) { p.escape_interrupts = on; }); }));

    QFormLayout* priority = group(left, tr("Priority"), this);
    QStringList levels;
    for (int level = 0; level < engine::kPriorityLevels; ++level) levels << qt_text(engine::priority_level_name(level));
    priority->addRow(
        tr("&Priority while playing"),
        choice_field(
            "priority",
            tr("The process priority from the next Play on. Shift+Escape brings it back to "
               "normal at any time"),
            levels, [player] { return player().set_high_priority_for_crv; },
            [store_player](int level) { store_player([level](auto& p) { p.set_high_priority_for_crv = level; }); }));
    priority->addRow(flag_field(
        tr("&Keep this priority for the next session"), "save_priority",
        tr("The priority is saved in the configuration at exit"),
        [this] { return context_.settings().save_priority_for_next_session; },
        [this](bool on) { change_settings([on](files::Settings& s) { s.save_priority_for_next_session = on; }); }));
    left->addStretch();

    QFormLayout* late = group(right, tr("Catching up when play is late (skipping notes)"), this);
    const auto seconds_field = [&](const char* name, const QString& help, std::string_view what,
                                   double engine::PlayerSettings::*value) {
        return number_field(
            name, help, {.what = what, .low = 0, .high = 10, .unit = "s"}, [player, value] { return player().*value; },
            [store_player, value](double v) { store_player([v, value](auto& p) { p.*value = v; }); });
    };
    late->addRow(tr("Time to find a note when &slightly late, s"),
                 seconds_field("smallest_max_time_for_calc",
                               tr("How long the player may look for a note that is not late, when it is a little late"),
                               "The time to find a note when slightly late",
                               &engine::PlayerSettings::smallest_max_time_for_calc));
    late->addRow(
        tr("Time to find a note when &far behind, s"),
        seconds_field("largest_max_time_for_calc",
                      tr("How long the player may look for a note that is not late, when it is far behind"),
                      "The time to find a note when far behind", &engine::PlayerSettings::largest_max_time_for_calc));
    late->addRow(tr("Lateness where that time starts to &grow, s"),
                 seconds_field("delay_for_calc_smallest_max_time",
                               tr("Late by more than this, the player allows itself more time to catch up"),
                               "The lateness where the time starts to grow",
                               &engine::PlayerSettings::delay_for_calc_smallest_max_time));
    late->addRow(tr("Lateness where it stops gro&wing, s"),
                 seconds_field("delay_for_calc_largest_max_time",
                               tr("Late by more than this, the time allowed to catch up grows no more"),
                               "The lateness where the time stops growing",
                               &engine::PlayerSettings::delay_for_calc_largest_max_time));
    late->addRow(tr("Skipped notes between clock rea&dings"),
                 number_field(
                     "min_calcs_for_min_time", tr("How many notes are skipped before the clock is read again"),
                     {.what = "The number of skipped notes between clock readings",
                      .low = 1,
                      .high = 1000000,
                      .whole = true,
                      .unit = "notes"},
                     [player] { return player().min_calcs_for_min_time; },
                     [store_player](double v) {
                         store_player([v](auto& p) { p.min_calcs_for_min_time = static_cast<int>(v); });
                     }));

    QFormLayout* bends = group(right, tr("Pitch bends"), this);
    const auto voices_flag = [&](const QString& text, const char* name, const QString& help,
                                 bool engine::VoiceSettings::*flag) {
        return flag_field(
            text, name, help, [this, flag] { return context_.settings().voices.*flag; },
            [this, flag](bool on) { change_settings([on, flag](files::Settings& s) { s.voices.*flag = on; }); });
    };
    bends->addRow(voices_flag(tr("&Move a voice to a spare channel for another bend"),
                              "change_channels_for_pitch_bends",
                              tr("When two notes of a voice need different pitch bends at once, the second goes to a "
                                 "spare channel, so neither is detuned"),
                              &engine::VoiceSettings::change_channels_for_pitch_bends));
    bends->addRow(voices_flag(tr("All sound &off before a pitch bend"), "all_sound_off_before_pitch_bends",
                              tr("A channel is silenced before its pitch bend changes, so no sounding note slides"),
                              &engine::VoiceSettings::all_sound_off_before_pitch_bends));
    right->addStretch();
    add_close_button(layout);
}

// ---------------------------------------------------------------------------------------

NoteTimingWindow::NoteTimingWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "note_timing_window", tr("Note timing"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);
    const auto c = [this]() -> engine::Composition& { return context_.composition(); };
    // An optional value: its tick switches it on or off, and its field is open while it is on.
    const auto optional_value = [&](QFormLayout* form, const QString& tick_text, const char* tick_name,
                                    const QString& tick_help, bool engine::Composition::*on, const QString& value_text,
                                    QLineEdit* value) {
        form->addRow(flag_field(
            tick_text, tick_name, tick_help, [c, on] { return c().*on; },
            [this, on](bool ticked) { change_composition([&](engine::Composition& k) { k.*on = ticked; }); }));
        if (value_text.isEmpty()) {
            form->addRow(value);  // a list, under its tick across the group
        } else {
            form->addRow(value_text, value);
        }
        also_show([c, on, value] { value->setEnabled(c().*on); });
    };
    const auto composition_number = [&](const char* name, const QString& help, const NumberRule& rule,
                                        double engine::Composition::*field) {
        return number_field(
            name, help, rule, [c, field] { return c().*field; },
            [this, field](double v) { change_composition([&](engine::Composition& k) { k.*field = v; }); });
    };

    QFormLayout* start = group(left, tr("Start of each note"), this);
    optional_value(start, tr("&Shift each note's start later"), "has_timing_shift",
                   tr("Each note starts later by a part of the next note's length"),
                   &engine::Composition::has_Note_timing_shift, tr("&by this part of the next note"),
                   composition_number("timing_shift", tr("0: no shift; 1: by the whole of the next note"),
                                      {.what = "The timing shift", .low = 0, .high = 1, .unit = ""},
                                      &engine::Composition::Note_timing_shift));

    QFormLayout* height = group(left, tr("By the height of the note"), this);
    optional_value(
        height, tr("&Lengths follow the height"), "has_top_note_length",
        tr("Note lengths change step by step with the height, from the time for one note at height 0 to "
           "this length at height 10"),
        &engine::Composition::has_Top_note_length, tr("&Time of a note of height 10, s"),
        composition_number(
            "top_note_length", tr("The length of a note of height 10, in seconds"),
            {.what = "The length of a note of height 10", .low = 0, .high = 3600, .above_low = true, .unit = "s"},
            &engine::Composition::Top_note_length));
    optional_value(height, tr("&Volumes follow the height"), "has_top_note_volume",
                   tr("Note volumes change step by step with the height: this factor at height 10, its square at 20"),
                   &engine::Composition::has_Top_note_volume, tr("V&olume factor at height 10"),
                   composition_number("top_note_volume", tr("1 keeps every height at the channel's volume"),
                                      {.what = "The volume factor at height 10", .low = 0, .high = 100, .unit = ""},
                                      &engine::Composition::Top_note_volume));

    QFormLayout* positions = group(right, tr("By the position in the seed"), this);
    const auto position_list = [&](const char* name, const QString& help, const NumberRule& rule,
                                   std::vector<double> engine::Composition::*list,
                                   void (*set)(engine::Composition&, std::span<const double>)) {
        return typed_field(
            name, help, [c, list] { return list_text(c().*list); },
            [this, rule, set](std::string_view text) {
                ListReading reading = read_setting_list(text, rule, engine::kMaxSeedValues);
                if (reading.refused.empty()) {
                    change_composition([&](engine::Composition& k) { set(k, reading.values); });
                }
                return reading.refused;
            });
    };
    optional_value(positions, tr("T&imes by seed position"), "has_times_by_position",
                   tr("Each position of the seed has its own relative length"),
                   &engine::Composition::has_times_by_melody_pos, {},
                   position_list("times_by_position", tr("One relative time for each position of the seed"),
                                 {.what = "The times by seed position", .low = 0, .high = 1000, .unit = ""},
                                 &engine::Composition::times_by_melody_pos, &engine::set_times_by_melody_pos));
    optional_value(positions, tr("Vol&umes by seed position"), "has_volumes_by_position",
                   tr("Each position of the seed has its own volume factor"),
                   &engine::Composition::has_volumes_by_melody_pos, {},
                   position_list("volumes_by_position", tr("One volume factor for each position of the seed"),
                                 {.what = "The volumes by seed position", .low = 0, .high = 100, .unit = ""},
                                 &engine::Composition::volumes_by_melody_pos, &engine::set_volumes_by_melody_pos));
    auto* seed_length = note_label({}, this);
    seed_length->setObjectName("seed_length");
    positions->addRow(seed_length);
    also_show([c, seed_length] {
        seed_length->setText(
            tr("The seed has %1 positions; a position with no value counts as 1.").arg(c().seed_length()));
    });
    positions->addRow(
        tr("&Rhythm fractal over levels 0 to"),
        number_field(
            "rhythm_fractal_to_level",
            tr("Over these levels the times and volumes by position multiply into a rhythm and a "
               "volume fractal; 0: none"),
            {.what = "The top level of the rhythm fractal",
             .low = 0,
             .high = engine::kMaxLevels,
             .whole = true,
             .unit = ""},
            [c] { return c().iRhythmFractalToLevel; },
            [this](double v) {
                change_composition([v](engine::Composition& k) { k.iRhythmFractalToLevel = static_cast<int>(v); });
            }));
    positions->addRow(
        tr("Volume factor of an otherwise silent &note"),
        composition_number("silent_note_volume",
                           tr("The volume of a simultaneous note whose position has a volume of 0"),
                           {.what = "The volume factor of an otherwise silent note", .low = 0, .high = 1, .unit = ""},
                           &engine::Composition::VolForSilentSimNote));
    left->addStretch();
    right->addStretch();
    add_close_button(layout);
}

// ---------------------------------------------------------------------------------------

ScalaWindow::ScalaWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "scala_window", tr("Scala"), parent) {
    auto* layout = new QVBoxLayout(this);
    QFormLayout* program = group(layout, tr("The Scala program"), this);
    auto* location = typed_field(
        "scala_location",
        tr("Where the Scala program is; its folder holds the mode names file that the lists of modes are made from"),
        [this] { return context_.settings().ScalaLocation; },
        [this](std::string_view text) {
            const std::string refused = path_refusal("The Scala program's location", text, false);
            if (!refused.empty()) return refused;
            context_.settings().ScalaLocation = std::string(ascii::trimmed(text));
            context_.stored().ScalaLocation = context_.settings().ScalaLocation;
            return std::string();
        });
    location->setMinimumWidth(location->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 36);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName("browse");
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, [this, location] {
        const QString path = QFileDialog::getOpenFileName(this, tr("The Scala program"), location->text());
        if (path.isEmpty()) return;
        location->setText(path);
        location->setModified(true);
        emit location->editingFinished();
    });
    auto* row = new QHBoxLayout;
    row->addWidget(location, 1);
    row->addWidget(browse);
    auto* location_label = new QLabel(tr("Scala &program"), this);
    location_label->setBuddy(location);
    program->addRow(location_label, row);
    auto* found = note_label({}, this);
    found->setObjectName("scala_found");
    program->addRow(found);
    also_show([this, found] {
        std::error_code error;
        const bool there = std::filesystem::is_regular_file(context_.settings().ScalaLocation, error);
        found->setText(there ? tr("The program is there.") : tr("There is no file at this location."));
    });

    QFormLayout* lists = group(layout, tr("Lists of modes made from Scala's mode names"), this);
    lists->addRow(tr("List of scales for the &modes"),
                  typed_field(
                      "scala_modes_lsc",
                      tr("The list of scales, in the program's folder, that ties each scale to its list of "
                         "modes"),
                      [this] { return context_.settings().ScalaModesLSC; },
                      [this](std::string_view text) {
                          const std::string refused = path_refusal("The list of scales for the modes", text, true);
                          if (refused.empty()) context_.settings().ScalaModesLSC = std::string(ascii::trimmed(text));
                          return refused;
                      }));
    lists->addRow(flag_field(
        tr("&Sort each list of modes once made"), "scala_auto_sort_lmds",
        tr("Every list of modes made is sorted by the sort template of the scales options"),
        [this] { return context_.settings().scala_auto_sort_lmds; },
        [this](bool on) { context_.settings().scala_auto_sort_lmds = on; }));
    auto* by_definitions = flag_field(
        tr("Sort by the &definitions, not the descriptions"), "sort_defs_for_scala_auto_sort_lmds",
        tr("The lists of modes are sorted by their definitions rather than by their "
           "descriptions"),
        [this] { return context_.settings().sort_defs_for_scala_auto_sort_lmds; },
        [this](bool on) { context_.settings().sort_defs_for_scala_auto_sort_lmds = on; });
    lists->addRow(by_definitions);
    also_show([this, by_definitions] { by_definitions->setEnabled(context_.settings().scala_auto_sort_lmds); });
    add_close_button(layout);
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
    auto* layout = new QVBoxLayout(this);
    QFormLayout* form = group(layout, tr("Play in the scale and arpeggio editors"), this);
    auto& s = context_.settings();
    form->addRow(tr("&Play the entry as"),
                 choice_field(
                     "figuration",
                     tr("A sequence (each note ends as the next starts), a chord (all at once) or a broken "
                        "chord (one after another, each held to the end)"),
                     {tr("Sequence"), tr("Chord"), tr("Broken chord")}, [&s] { return s.iSAPlaybackFiguration; },
                     [this](int figure) {
                         context_.settings().iSAPlaybackFiguration = figure;
                         follow_in_editors();
                     }));
    form->addRow(tr("&Direction"), choice_field(
                                       "direction", tr("In the entry's order, or from its end back to its start"),
                                       {tr("Ascending"), tr("Descending")}, [&s] { return s.iSAPlaybackAscDesc; },
                                       [this](int direction) {
                                           context_.settings().iSAPlaybackAscDesc = direction;
                                           follow_in_editors();
                                       }));
    layout->addWidget(
        note_label(tr("An open editor takes a change made here; its own choice lasts until the next."), this));
    add_close_button(layout);
}

void EditorPlaybackWindow::follow_in_editors() {
    if (parentWidget() == nullptr) return;
    for (EntryEditorWindow* editor : parentWidget()->findChildren<EntryEditorWindow*>()) {
        show_playback_settings(*editor, context_.settings());
    }
}

}  // namespace corvane::ui
