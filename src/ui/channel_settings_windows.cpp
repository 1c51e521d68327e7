// The windows of the channels' ranges and effects, and of the computer keyboard's voices.

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "corvane/midi/general_midi.h"
#include "corvane/midi/pc_keyboard.h"
#include "corvane/tuning/note_names.h"
#include "corvane/ui/settings_windows.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr int kLastChannel = engine::kMidiChannels - 1;
constexpr int kRestsVoice = 128;
using PerChannelInts = engine::PerChannel<int>;

// The out-of-range actions by number.
const QStringList& out_of_range_actions() {
    static const QStringList names{QObject::tr("Silent"), QObject::tr("Hover"), QObject::tr("Rebound"),
                                   QObject::tr("Wrap around"), QObject::tr("Hover + rebound")};
    return names;
}

// Channels as the user counts them, from 1.
QStringList channel_numbers() {
    QStringList numbers;
    for (int ch = 1; ch <= engine::kMidiChannels; ++ch) numbers << QString::number(ch);
    return numbers;
}

int channel_within(int channel) { return std::clamp(channel, 0, kLastChannel); }

QString voice_text(int voice) {
    if (voice < 0) return QObject::tr("not in play");
    if (voice == kRestsVoice) return QObject::tr("plays rests");
    if (voice > kRestsVoice) return QObject::tr("percussion key %1").arg(voice - kRestsVoice);
    return QObject::tr("voice %1, %2").arg(voice).arg(qt_text(midi::general_midi_instrument(voice)));
}

QString note_text(int note) {
    return QString::fromStdString(tuning::note_name(note, tuning::Accidentals::sharps, tuning::OctaveStyle::number));
}

QFormLayout* group(QBoxLayout* into, const QString& title, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    auto* form = new QFormLayout(box);
    into->addWidget(box);
    return form;
}

// A field with a word beside it, under a label that takes the user to the field.
void add_row_with(QFormLayout* form, const QString& text, QWidget* field, QWidget* beside, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(beside, 1);
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    form->addRow(label, row);
}

QLabel* value_label(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

}  // namespace

// ---------------------------------------------------------------------------------------

RangeWindow::RangeWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "range_window", tr("Range (compass) for channels"),
                     parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    const auto ch = [this] { return static_cast<std::size_t>(channel_within(context_.settings().iRangesChannel)); };
    const auto c = [this]() -> engine::Composition& { return context_.composition(); };

    auto* voice = value_label("range_voice", this);
    add_row_with(form, tr("&Channel"),
                 choice_field(
                     "range_channel", tr("The channel whose range is shown and changed"), channel_numbers(),
                     [this] { return channel_within(context_.settings().iRangesChannel); },
                     [this](int channel) {
                         change_settings([channel](files::Settings& s) { s.iRangesChannel = channel; });
                         show_settings(true);
                     }),
                 voice, this);
    also_show([c, ch, voice] { voice->setText(voice_text(c().Voices_for_channels[ch()])); });

    // A note within 0..127 that keeps the lowest note at or below the highest.
    const auto note_field = [&](const char* name, const char* name_label, const QString& text, const QString& help,
                                bool lowest) {
        const NumberRule rule{.what = lowest ? "The lowest note" : "The highest note",
                              .low = 0,
                              .high = 127,
                              .whole = true,
                              .unit = "(MIDI note)"};
        auto* named = value_label(name_label, this);
        auto* field = typed_field(
            name, help,
            [c, ch, lowest] {
                return std::to_string(lowest ? c().Min_notes_for_channels[ch()] : c().Max_notes_for_channels[ch()]);
            },
            [this, c, ch, lowest, rule](std::string_view typed) {
                const NumberReading reading = read_setting_number(typed, rule);
                if (!reading.refused.empty()) return reading.refused;
                const int note = static_cast<int>(reading.value);
                const int other = lowest ? c().Max_notes_for_channels[ch()] : c().Min_notes_for_channels[ch()];
                if (lowest ? note > other : note < other) {
                    return std::string(rule.what) + " may not be " +
                           (lowest ? "above the highest" : "below the lowest") + " note, " + std::to_string(other) +
                           ": " + std::to_string(note) + " is, so nothing was changed.";
                }
                change_composition([&](engine::Composition& k) {
                    (lowest ? k.Min_notes_for_channels : k.Max_notes_for_channels)[ch()] = note;
                });
                change_settings([&](files::Settings& s) { (lowest ? s.midi_range_min : s.midi_range_max) = note; });
                return std::string();
            });
        add_row_with(form, text, field, named, this);
        also_show([c, ch, named, lowest] {
            named->setText(note_text(lowest ? c().Min_notes_for_channels[ch()] : c().Max_notes_for_channels[ch()]));
        });
    };
    note_field("lowest_note", "lowest_note_name", tr("&Lowest note"),
               tr("The lowest MIDI note the channel plays, 0 to 127 (60 is middle C)"), true);
    note_field("highest_note", "highest_note_name", tr("&Highest note"),
               tr("The highest MIDI note the channel plays, 0 to 127 (60 is middle C)"), false);
    form->addRow(tr("A note &outside them"),
                 choice_field(
                     "out_of_range",
                     tr("Silent: not played. Hover: moved by whole octaves to the nearest end of the range. "
                        "Rebound: moved back by twice as many octaves. Wrap around: into the range by whole "
                        "octaves from its other end. Hover + rebound: in between. Ranges under 25 semitones "
                        "rebound as they hover"),
                     out_of_range_actions(), [c, ch] { return c().iActionIfOutOfRange[ch()]; },
                     [this, ch](int action) {
                         change_composition([&](engine::Composition& k) { k.iActionIfOutOfRange[ch()] = action; });
                         change_settings([action](files::Settings& s) { s.action_if_out_of_range = action; });
                     }));
    auto* all = new QPushButton(tr("Apply to &all channels"), this);
    all->setObjectName("apply_to_all");
    all->setAutoDefault(false);
    all->setToolTip(tr("Every channel takes this channel's range and action"));
    connect(all, &QPushButton::clicked, this, &RangeWindow::apply_to_all_channels);
    form->addRow(all);
    add_close_button(layout);
}

void RangeWindow::apply_to_all_channels() {
    const auto from = static_cast<std::size_t>(channel_within(context_.settings().iRangesChannel));
    change_composition([from](engine::Composition& k) {
        k.Min_notes_for_channels.fill(k.Min_notes_for_channels[from]);
        k.Max_notes_for_channels.fill(k.Max_notes_for_channels[from]);
        k.iActionIfOutOfRange.fill(k.iActionIfOutOfRange[from]);
    });
    show_settings();
}

// ---------------------------------------------------------------------------------------

EffectsWindow::EffectsWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "effects_window", tr("Effects"), parent) {
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    layout->addLayout(columns);
    const auto ch = [this] { return static_cast<std::size_t>(channel_within(context_.settings().iEffectsChannel)); };
    const auto c = [this]() -> engine::Composition& { return context_.composition(); };

    auto* voice = value_label("effects_voice", this);
    add_row_with(form, tr("&Channel"),
                 choice_field(
                     "effects_channel", tr("The channel whose effects are shown and changed"), channel_numbers(),
                     [this] { return channel_within(context_.settings().iEffectsChannel); },
                     [this](int channel) {
                         change_settings([channel](files::Settings& s) { s.iEffectsChannel = channel; });
                         show_settings(true);
                     }),
                 voice, this);
    also_show([c, ch, voice] { voice->setText(voice_text(c().Voices_for_channels[ch()])); });

    // A change to the channel's effects, kept also as the window's last values.
    const auto store = [this, ch](auto change_channel, auto keep) {
        const std::size_t channel = ch();
        change_composition([&](engine::Composition& k) { change_channel(k, channel); });
        change_settings(keep);
        send_effects(static_cast<int>(channel));
    };
    const auto effect_flag = [&](const QString& text, const char* name, const QString& help,
                                 PerChannelInts engine::Composition::*flag, bool files::Settings::*kept) {
        return flag_field(
            text, name, help, [c, ch, flag] { return (c().*flag)[ch()] != 0; },
            [store, flag, kept](bool on) {
                store([&](engine::Composition& k, std::size_t channel) { (k.*flag)[channel] = on ? 1 : 0; },
                      [&](files::Settings& s) { s.*kept = on; });
            });
    };
    const auto effect_number = [&](const char* name, const QString& help, const NumberRule& rule, auto field,
                                   auto kept) {
        return number_field(
            name, help, rule, [c, ch, field] { return static_cast<double>((c().*field)[ch()]); },
            [store, field, kept](double v) {
                store(
                    [&](engine::Composition& k, std::size_t channel) {
                        auto& value = (k.*field)[channel];
                        value = static_cast<std::remove_reference_t<decltype(value)>>(v);
                    },
                    [&](files::Settings& s) {
                        auto& value = s.*kept;
                        value = static_cast<std::remove_reference_t<decltype(value)>>(v);
                    });
            });
    };
    // The value fields are open while their effect is on.
    const auto open_while = [&](QWidget* value, PerChannelInts engine::Composition::*flag) {
        also_show([c, ch, value, flag] { value->setEnabled((c().*flag)[ch()] != 0); });
    };

    QFormLayout* portamento = group(left, tr("Portamento"), this);
    portamento->addRow(effect_flag(tr("&Portamento: each note slides from the one before"), "portamento",
                                   tr("Notes of the channel glide from the note before"),
                                   &engine::Composition::iPortamento, &files::Settings::portamento));
    auto* slide = effect_number("slide_time", tr("How long the slide takes: 0 fastest, 127 slowest (controller 5)"),
                                {.what = "The slide time", .low = 0, .high = 127, .whole = true, .unit = ""},
                                &engine::Composition::iPortamento_slide_time, &files::Settings::portamento_slide_time);
    portamento->addRow(tr("&Slide time, 0 to 127"), slide);
    open_while(slide, &engine::Composition::iPortamento);

    QFormLayout* vibrato = group(left, tr("Vibrato"), this);
    vibrato->addRow(effect_flag(tr("&Vibrato"), "vibrato",
                                tr("The channel's notes waver in pitch, and in volume if asked"),
                                &engine::Composition::iVibrato, &files::Settings::vibrato));
    auto* rate = effect_number("vibrato_rate",
                               tr("Waves per second, made with the pitch wheel; 0 leaves the vibrato to the "
                                  "synthesiser's modulation wheel"),
                               {.what = "The vibrato rate", .low = 0, .high = 50, .unit = "Hz"},
                               &engine::Composition::dVibrato_freq, &files::Settings::vibrato_freq);
    auto* depth =
        effect_number("vibrato_depth",
                      tr("How far the pitch wavers, in percent of the pitch wheel's range (two semitones each "
                         "way), or of the modulation wheel's"),
                      {.what = "The vibrato depth", .low = 0, .high = 100, .unit = "%"},
                      &engine::Composition::dVibrato_amp, &files::Settings::vibrato_amp);
    auto* swing =
        effect_number("vibrato_volume", tr("How far the volume wavers with the pitch, in percent; 0 keeps it steady"),
                      {.what = "The volume swing", .low = 0, .high = 100, .unit = "%"},
                      &engine::Composition::dVibrato_vol_amp, &files::Settings::vibrato_vol_amp);
    vibrato->addRow(tr("&Rate, Hz (0: modulation wheel)"), rate);
    vibrato->addRow(tr("&Depth, %"), depth);
    vibrato->addRow(tr("Volume s&wing, %"), swing);
    for (QWidget* value : {rate, depth, swing}) open_while(value, &engine::Composition::iVibrato);

    auto* all = new QPushButton(tr("Apply to &all channels"), this);
    all->setObjectName("apply_to_all");
    all->setAutoDefault(false);
    all->setToolTip(tr("Every channel takes this channel's portamento and vibrato"));
    connect(all, &QPushButton::clicked, this, &EffectsWindow::apply_to_all_channels);
    left->addWidget(all);

    QFormLayout* every = group(right, tr("All channels"), this);
    every->addRow(flag_field(
        tr("&Legato: a note ends as the next one starts"), "legato",
        tr("Each note of a channel is ended by the next, not by its own length"),
        [this] { return context_.settings().voices.legato; },
        [this](bool on) { change_settings([on](files::Settings& s) { s.voices.legato = on; }); }));
    every->addRow(tr("Vibrato &update step, ms"),
                  number_field(
                      "vibrato_step", tr("Time between two steps of a vibrato made with the pitch wheel"),
                      {.what = "The vibrato update step", .low = 1, .high = 1000, .unit = "ms"},
                      [this] { return context_.settings().voices.dtime_step_for_pitch_bend_vibrato; },
                      [this](double v) {
                          change_settings([v](files::Settings& s) { s.voices.dtime_step_for_pitch_bend_vibrato = v; });
                      }));
    right->addStretch();
    add_close_button(layout);
}

void EffectsWindow::send_effects(int channel) {
    auto& playback = context_.playback();
    if (!playback.player().playing()) return;
    const auto group = playback.port().hold_group();
    playback.voices().apply_effects_for_voice(channel, engine::Effects::all, false);
}

void EffectsWindow::apply_to_all_channels() {
    const auto from = static_cast<std::size_t>(channel_within(context_.settings().iEffectsChannel));
    change_composition([from](engine::Composition& k) {
        k.iPortamento.fill(k.iPortamento[from]);
        k.iPortamento_slide_time.fill(k.iPortamento_slide_time[from]);
        k.iVibrato.fill(k.iVibrato[from]);
        k.dVibrato_freq.fill(k.dVibrato_freq[from]);
        k.dVibrato_amp.fill(k.dVibrato_amp[from]);
        k.dVibrato_vol_amp.fill(k.dVibrato_vol_amp[from]);
    });
    for (int channel = 0; channel < engine::kMidiChannels; ++channel) send_effects(channel);
    show_settings();
}

// ---------------------------------------------------------------------------------------

PcKeyboardVoicesWindow::PcKeyboardVoicesWindow(ProgramContext& context, std::function<void()> composition_changed,
                                               QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "pc_keyboard_voices_window", tr("PC keyboard voices"),
                     parent) {
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);
    const auto keys = [this]() -> midi::PlayAlongSettings& { return context_.settings().play_along; };
    const auto store = [this](auto change) { change_settings([&](files::Settings& s) { change(s.play_along); }); };
    const auto keys_flag = [&](const QString& text, const char* name, const QString& help,
                               bool midi::PlayAlongSettings::*flag) {
        return flag_field(
            text, name, help, [keys, flag] { return keys().*flag; },
            [store, flag](bool on) { store([&](midi::PlayAlongSettings& k) { k.*flag = on; }); });
    };

    QFormLayout* voices = group(columns, tr("Voices and volumes"), this);
    voices->addRow(tr("&Channel of the keys' voice"),
                   choice_field(
                       "keys_channel", tr("The keys play this channel's instrument at its volume"), channel_numbers(),
                       [keys] { return channel_within(keys().iChannelForVoiceForPcKeyboard); },
                       [store](int channel) {
                           store([&](midi::PlayAlongSettings& k) { k.iChannelForVoiceForPcKeyboard = channel; });
                       }));
    voices->addRow(keys_flag(tr("A &voice for each row of keys"), "voices_by_row",
                             tr("Each row of keys plays the channel chosen for it below"),
                             &midi::PlayAlongSettings::voices_by_keyboard_row));
    voices->addRow(keys_flag(tr("A v&olume for each row of keys"), "volumes_by_row",
                             tr("Each row of keys plays at the volume given for it below, times the channel's volume"),
                             &midi::PlayAlongSettings::volumes_by_keyboard_row));
    auto* rows = new QGridLayout;
    rows->addWidget(new QLabel(tr("Row"), this), 0, 0);
    rows->addWidget(new QLabel(tr("Channel"), this), 0, 1);
    rows->addWidget(new QLabel(tr("Volume, 0 to 127"), this), 0, 2);
    const std::array<QString, midi::kPcKeyboardRows> row_names{tr("Top: 1 2 3 ..."), tr("Q W E ..."), tr("A S D ..."),
                                                               tr("Bottom: Z X C ...")};
    for (int row = 0; row < midi::kPcKeyboardRows; ++row) {
        const auto r = static_cast<std::size_t>(row);
        auto* channel = choice_field(
            QString("row_channel_%1").arg(row + 1).toLatin1().constData(),
            tr("The channel this row plays, when each row has its own"), channel_numbers(),
            [keys, r] { return channel_within(keys().voices_for_pc_keyboard_rows[r]); },
            [store, r](int ch) { store([&](midi::PlayAlongSettings& k) { k.voices_for_pc_keyboard_rows[r] = ch; }); });
        auto* volume = number_field(
            QString("row_volume_%1").arg(row + 1).toLatin1().constData(),
            tr("The volume of this row, when each row has its own"),
            {.what = "The row's volume", .low = 0, .high = 127, .whole = true, .unit = ""},
            [keys, r] { return keys().vols_for_pc_keyboard_rows[r]; },
            [store, r](double v) {
                store([&](midi::PlayAlongSettings& k) { k.vols_for_pc_keyboard_rows[r] = static_cast<int>(v); });
            });
        also_show([keys, channel, volume] {
            channel->setEnabled(keys().voices_by_keyboard_row);
            volume->setEnabled(keys().volumes_by_keyboard_row);
        });
        rows->addWidget(new QLabel(row_names[r], this), row + 1, 0);
        rows->addWidget(channel, row + 1, 1);
        rows->addWidget(volume, row + 1, 2);
    }
    voices->addRow(rows);

    QFormLayout* options = group(columns, tr("The keys"), this);
    options->addRow(keys_flag(tr("The &key left of 1 is the first key"), "key_left_of_1",
                              tr("The key left of 1 plays too, and every other key one degree higher"),
                              &midi::PlayAlongSettings::pc_key_1_for_degree_1));
    options->addRow(keys_flag(tr("Keys &sound notes (otherwise a key silences everything)"), "keys_sound",
                              tr("When off, any key only stops every sounding note"),
                              &midi::PlayAlongSettings::enable_sel_sound));
    options->addRow(flag_field(
        tr("Every key on MIDI channel &15"), "keys_on_channel_15",
        tr("All keys go out on MIDI channel 15 instead of a free channel each"),
        [keys] { return keys().iPitchesForPCKeyboardRows == 3; },
        [store](bool on) { store([on](midi::PlayAlongSettings& k) { k.iPitchesForPCKeyboardRows = on ? 3 : 1; }); }));
    options->addRow(keys_flag(tr("Space &bar starts and stops recording play-along"), "space_records",
                              tr("Space starts recording what is played to a MIDI file, and stops it"),
                              &midi::PlayAlongSettings::enable_play_along_recording));
    options->addRow(keys_flag(tr("Show the keys' notes in the sco&re"), "keys_in_score",
                              tr("Notes played from the keys are drawn in the score of the tune's window"),
                              &midi::PlayAlongSettings::cShowKbdInScore));
    auto* help = new QLabel(this);
    help->setObjectName("keys_help");
    help->setWordWrap(true);
    options->addRow(help);
    also_show([keys, help] { help->setText(qt_text(midi::pc_keys_help(keys().pc_key_1_for_degree_1))); });
    add_close_button(layout);
}

}  // namespace corvane::ui
