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
// iPitchesForPCKeyboardRows: every key on MIDI channel 15, or each key on a free channel.
constexpr int kAllKeysOnChannel15 = 3;
constexpr int kKeysFindAChannel = 1;

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
    auto* form = new QFormLayout;
    one_column()->addLayout(form);
    auto* voice = value_label("range_voice", this);
    add_row_with(form, tr("&Channel"),
                 choice_field(
                     "range_channel", tr("The channel whose range is shown and changed"), channel_numbers(),
                     [this] { return static_cast<int>(channel()); },
                     [this](int chosen) {
                         change_settings([chosen](files::Settings& s) { s.iRangesChannel = chosen; });
                         show_settings(true);
                     }),
                 voice, this);
    also_show([this, voice] { voice->setText(voice_text(context_.composition().Voices_for_channels[channel()])); });
    add_note(form, "lowest_note", tr("&Lowest note"),
             tr("The lowest MIDI note the channel plays, 0 to 127 (60 is middle C)"), true);
    add_note(form, "highest_note", tr("&Highest note"),
             tr("The highest MIDI note the channel plays, 0 to 127 (60 is middle C)"), false);
    form->addRow(tr("A note &outside them"),
                 choice_field(
                     "out_of_range",
                     tr("Silent: not played. Hover: moved by whole octaves to the nearest end of the range. "
                        "Rebound: moved back by twice as many octaves. Wrap around: into the range by whole "
                        "octaves from its other end. Hover + rebound: in between. Ranges under 25 semitones "
                        "rebound as they hover"),
                     out_of_range_actions(), [this] { return context_.composition().iActionIfOutOfRange[channel()]; },
                     [this](int action) {
                         change_composition([&](engine::Composition& k) { k.iActionIfOutOfRange[channel()] = action; });
                         change_settings([action](files::Settings& s) { s.action_if_out_of_range = action; });
                     }));
    auto* all = new QPushButton(tr("Apply to &all channels"), this);
    all->setObjectName("apply_to_all");
    all->setAutoDefault(false);
    all->setToolTip(tr("Every channel takes this channel's range and action"));
    connect(all, &QPushButton::clicked, this, &RangeWindow::apply_to_all_channels);
    form->addRow(all);
}

std::size_t RangeWindow::channel() const {
    return static_cast<std::size_t>(channel_within(context_.settings().iRangesChannel));
}

void RangeWindow::add_note(QFormLayout* form, const char* name, const QString& text, const QString& help, bool lowest) {
    const auto note_of = [this, lowest] {
        const auto& c = context_.composition();
        return (lowest ? c.Min_notes_for_channels : c.Max_notes_for_channels)[channel()];
    };
    auto* field = typed_field(
        name, help, [note_of] { return std::to_string(note_of()); },
        [this, lowest](std::string_view typed) { return store_note(typed, lowest); });
    auto* named = value_label((std::string(name) + "_name").c_str(), this);
    add_row_with(form, text, field, named, this);
    also_show([note_of, named] { named->setText(note_text(note_of())); });
}

// A note within 0..127 that keeps the lowest note at or below the highest; why not, if not.
std::string RangeWindow::store_note(std::string_view typed, bool lowest) {
    const NumberRule rule{.what = lowest ? "The lowest note" : "The highest note",
                          .low = 0,
                          .high = 127,
                          .whole = true,
                          .unit = "(MIDI note)"};
    const NumberReading reading = read_setting_number(typed, rule);
    if (!reading.refused.empty()) return reading.refused;
    const int note = static_cast<int>(reading.value);
    const auto& c = context_.composition();
    const int other = (lowest ? c.Max_notes_for_channels : c.Min_notes_for_channels)[channel()];
    if (lowest ? note > other : note < other) {
        return std::string(rule.what) + " may not be " + (lowest ? "above the highest" : "below the lowest") +
               " note, " + std::to_string(other) + ": " + std::to_string(note) + " is, so nothing was changed.";
    }
    if (note == (lowest ? c.Min_notes_for_channels : c.Max_notes_for_channels)[channel()]) return {};
    change_composition([&](engine::Composition& k) {
        (lowest ? k.Min_notes_for_channels : k.Max_notes_for_channels)[channel()] = note;
    });
    change_settings([&](files::Settings& s) { (lowest ? s.midi_range_min : s.midi_range_max) = note; });
    return {};
}

void RangeWindow::apply_to_all_channels() {
    const std::size_t from = channel();
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
    const Columns columns = two_columns();
    auto* form = new QFormLayout;
    columns.left->addLayout(form);
    auto* voice = value_label("effects_voice", this);
    add_row_with(form, tr("&Channel"),
                 choice_field(
                     "effects_channel", tr("The channel whose effects are shown and changed"), channel_numbers(),
                     [this] { return static_cast<int>(channel()); },
                     [this](int chosen) {
                         change_settings([chosen](files::Settings& s) { s.iEffectsChannel = chosen; });
                         show_settings(true);
                     }),
                 voice, this);
    also_show([this, voice] { voice->setText(voice_text(context_.composition().Voices_for_channels[channel()])); });
    add_portamento(columns.left);
    add_vibrato(columns.left);
    auto* all = new QPushButton(tr("Apply to &all channels"), this);
    all->setObjectName("apply_to_all");
    all->setAutoDefault(false);
    all->setToolTip(tr("Every channel takes this channel's portamento and vibrato"));
    connect(all, &QPushButton::clicked, this, &EffectsWindow::apply_to_all_channels);
    columns.left->addWidget(all);
    add_all_channels(columns.right);
}

std::size_t EffectsWindow::channel() const {
    return static_cast<std::size_t>(channel_within(context_.settings().iEffectsChannel));
}

QCheckBox* EffectsWindow::effect_flag(const QString& text, const char* name, const QString& help,
                                      engine::PerChannel<int> engine::Composition::*flag, bool files::Settings::*kept) {
    return flag_field(
        text, name, help, [this, flag] { return (context_.composition().*flag)[channel()] != 0; },
        [this, flag, kept](bool on) {
            const std::size_t ch = channel();
            change_composition([&](engine::Composition& k) { (k.*flag)[ch] = on ? 1 : 0; });
            change_settings([&](files::Settings& s) { s.*kept = on; });
            send_effects(static_cast<int>(ch));
        });
}

template <class T, class Kept>
QLineEdit* EffectsWindow::effect_number(const char* name, const QString& help, const NumberRule& rule,
                                        engine::PerChannel<T> engine::Composition::*field,
                                        Kept files::Settings::*kept) {
    return number_field(
        name, help, rule, [this, field] { return static_cast<double>((context_.composition().*field)[channel()]); },
        [this, field, kept](double v) {
            const std::size_t ch = channel();
            change_composition([&](engine::Composition& k) { (k.*field)[ch] = static_cast<T>(v); });
            change_settings([&](files::Settings& s) { s.*kept = static_cast<Kept>(v); });
            send_effects(static_cast<int>(ch));
        });
}

void EffectsWindow::open_while(QWidget* value, engine::PerChannel<int> engine::Composition::*flag) {
    also_show([this, value, flag] { value->setEnabled((context_.composition().*flag)[channel()] != 0); });
}

void EffectsWindow::add_portamento(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Portamento"));
    form->addRow(effect_flag(tr("&Portamento: each note slides from the one before"), "portamento",
                             tr("Notes of the channel glide from the note before"), &engine::Composition::iPortamento,
                             &files::Settings::portamento));
    auto* slide = effect_number("slide_time", tr("How long the slide takes: 0 fastest, 127 slowest (controller 5)"),
                                {.what = "The slide time", .low = 0, .high = 127, .whole = true, .unit = ""},
                                &engine::Composition::iPortamento_slide_time, &files::Settings::portamento_slide_time);
    form->addRow(tr("&Slide time, 0 to 127"), slide);
    open_while(slide, &engine::Composition::iPortamento);
}

void EffectsWindow::add_vibrato(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Vibrato"));
    form->addRow(effect_flag(tr("&Vibrato"), "vibrato",
                             tr("The channel's notes waver in pitch, and in volume if asked"),
                             &engine::Composition::iVibrato, &files::Settings::vibrato));
    auto* rate = effect_number("vibrato_rate",
                               tr("Waves per second, made with the pitch wheel; 0 leaves the vibrato to the "
                                  "synthesiser's modulation wheel"),
                               {.what = "The vibrato rate", .low = 0, .high = 50, .unit = "Hz"},
                               &engine::Composition::dVibrato_freq, &files::Settings::vibrato_freq);
    auto* depth = effect_number("vibrato_depth",
                                tr("How far the pitch wavers, in percent of the pitch wheel's range (two semitones "
                                   "each way), or of the modulation wheel's"),
                                {.what = "The vibrato depth", .low = 0, .high = 100, .unit = "%"},
                                &engine::Composition::dVibrato_amp, &files::Settings::vibrato_amp);
    auto* swing =
        effect_number("vibrato_volume", tr("How far the volume wavers with the pitch, in percent; 0 keeps it steady"),
                      {.what = "The volume swing", .low = 0, .high = 100, .unit = "%"},
                      &engine::Composition::dVibrato_vol_amp, &files::Settings::vibrato_vol_amp);
    form->addRow(tr("&Rate, Hz (0: modulation wheel)"), rate);
    form->addRow(tr("&Depth, %"), depth);
    form->addRow(tr("Volume s&wing, %"), swing);
    for (QWidget* value : {rate, depth, swing}) open_while(value, &engine::Composition::iVibrato);
}

void EffectsWindow::add_all_channels(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("All channels"));
    form->addRow(flag_field(
        tr("&Legato: a note ends as the next one starts"), "legato",
        tr("Each note of a channel is ended by the next, not by its own length"),
        [this] { return context_.settings().voices.legato; },
        [this](bool on) { change_settings([on](files::Settings& s) { s.voices.legato = on; }); }));
    form->addRow(tr("Vibrato &update step, ms"),
                 number_field(
                     "vibrato_step", tr("Time between two steps of a vibrato made with the pitch wheel"),
                     {.what = "The vibrato update step", .low = 1, .high = 1000, .unit = "ms"},
                     [this] { return context_.settings().voices.dtime_step_for_pitch_bend_vibrato; },
                     [this](double v) {
                         change_settings([v](files::Settings& s) { s.voices.dtime_step_for_pitch_bend_vibrato = v; });
                     }));
}

void EffectsWindow::send_effects(int channel) {
    auto& playback = context_.playback();
    if (!playback.player().playing()) return;
    const auto group = playback.port().hold_group();
    playback.voices().apply_effects_for_voice(channel, engine::Effects::all, false);
}

void EffectsWindow::apply_to_all_channels() {
    const std::size_t from = channel();
    change_composition([from](engine::Composition& k) {
        k.iPortamento.fill(k.iPortamento[from]);
        k.iPortamento_slide_time.fill(k.iPortamento_slide_time[from]);
        k.iVibrato.fill(k.iVibrato[from]);
        k.dVibrato_freq.fill(k.dVibrato_freq[from]);
        k.dVibrato_amp.fill(k.dVibrato_amp[from]);
        k.dVibrato_vol_amp.fill(k.dVibrato_vol_amp[from]);
    });
    for (int ch = 0; ch < engine::kMidiChannels; ++ch) send_effects(ch);
    show_settings();
}

// ---------------------------------------------------------------------------------------

PcKeyboardVoicesWindow::PcKeyboardVoicesWindow(ProgramContext& context, std::function<void()> composition_changed,
                                               QWidget* parent)
    : SettingsWindow(context, std::move(composition_changed), "pc_keyboard_voices_window", tr("PC keyboard voices"),
                     parent) {
    const Columns columns = two_columns();
    add_voices(columns.left);
    add_keys(columns.right);
}

QCheckBox* PcKeyboardVoicesWindow::keys_flag(const QString& text, const char* name, const QString& help,
                                             bool midi::PlayAlongSettings::*flag) {
    return flag_field(
        text, name, help, [this, flag] { return context_.settings().play_along.*flag; },
        [this, flag](bool on) { change_keys([&](midi::PlayAlongSettings& k) { k.*flag = on; }); });
}

void PcKeyboardVoicesWindow::add_voices(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("Voices and volumes"));
    form->addRow(tr("&Channel of the keys' voice"),
                 choice_field(
                     "keys_channel", tr("The keys play this channel's instrument at its volume"), channel_numbers(),
                     [this] { return channel_within(context_.settings().play_along.iChannelForVoiceForPcKeyboard); },
                     [this](int ch) {
                         change_keys([ch](midi::PlayAlongSettings& k) { k.iChannelForVoiceForPcKeyboard = ch; });
                     }));
    form->addRow(keys_flag(tr("A &voice for each row of keys"), "voices_by_row",
                           tr("Each row of keys plays the channel chosen for it below"),
                           &midi::PlayAlongSettings::voices_by_keyboard_row));
    form->addRow(keys_flag(tr("A v&olume for each row of keys"), "volumes_by_row",
                           tr("Each row of keys plays at the volume given for it below, times the channel's volume"),
                           &midi::PlayAlongSettings::volumes_by_keyboard_row));
    add_rows(form);
}

// For each row of keys its channel and its volume, open while rows have their own.
void PcKeyboardVoicesWindow::add_rows(QFormLayout* form) {
    auto* rows = new QGridLayout;
    rows->addWidget(new QLabel(tr("Row"), this), 0, 0);
    rows->addWidget(new QLabel(tr("Channel"), this), 0, 1);
    rows->addWidget(new QLabel(tr("Volume, 0 to 127"), this), 0, 2);
    const std::array<QString, midi::kPcKeyboardRows> names{tr("Top: 1 2 3 ..."), tr("Q W E ..."), tr("A S D ..."),
                                                           tr("Bottom: Z X C ...")};
    const auto& keys = context_.settings().play_along;
    for (int row = 0; row < midi::kPcKeyboardRows; ++row) {
        const auto r = static_cast<std::size_t>(row);
        auto* channel = choice_field(
            QStringLiteral("row_channel_%1").arg(row + 1).toLatin1().constData(),
            tr("The channel this row plays, when each row has its own"), channel_numbers(),
            [&keys, r] { return channel_within(keys.voices_for_pc_keyboard_rows[r]); },
            [this, r](int ch) {
                change_keys([&](midi::PlayAlongSettings& k) { k.voices_for_pc_keyboard_rows[r] = ch; });
            });
        auto* volume = number_field(
            QStringLiteral("row_volume_%1").arg(row + 1).toLatin1().constData(),
            tr("The volume of this row, when each row has its own"),
            {.what = "The row's volume", .low = 0, .high = 127, .whole = true, .unit = ""},
            [&keys, r] { return keys.vols_for_pc_keyboard_rows[r]; },
            [this, r](double v) {
                change_keys([&](midi::PlayAlongSettings& k) { k.vols_for_pc_keyboard_rows[r] = static_cast<int>(v); });
            });
        also_show([&keys, channel, volume] {
            channel->setEnabled(keys.voices_by_keyboard_row);
            volume->setEnabled(keys.volumes_by_keyboard_row);
        });
        rows->addWidget(new QLabel(names[r], this), row + 1, 0);
        rows->addWidget(channel, row + 1, 1);
        rows->addWidget(volume, row + 1, 2);
    }
    form->addRow(rows);
}

void PcKeyboardVoicesWindow::add_keys(QBoxLayout* column) {
    QFormLayout* form = add_group(column, tr("The keys"));
    form->addRow(keys_flag(tr("The &key left of 1 is the first key"), "key_left_of_1",
                           tr("The key left of 1 plays too, and every other key one degree higher"),
                           &midi::PlayAlongSettings::pc_key_1_for_degree_1));
    form->addRow(keys_flag(tr("Keys &sound notes (otherwise a key silences everything)"), "keys_sound",
                           tr("When off, any key only stops every sounding note"),
                           &midi::PlayAlongSettings::enable_sel_sound));
    form->addRow(flag_field(
        tr("Every key on MIDI channel &15"), "keys_on_channel_15",
        tr("All keys go out on MIDI channel 15 instead of a free channel each"),
        [this] { return context_.settings().play_along.iPitchesForPCKeyboardRows == kAllKeysOnChannel15; },
        [this](bool on) {
            change_keys([on](midi::PlayAlongSettings& k) {
                k.iPitchesForPCKeyboardRows = on ? kAllKeysOnChannel15 : kKeysFindAChannel;
            });
        }));
    form->addRow(keys_flag(tr("Space &bar starts and stops recording play-along"), "space_records",
                           tr("Space starts recording what is played to a MIDI file, and stops it"),
                           &midi::PlayAlongSettings::enable_play_along_recording));
    form->addRow(keys_flag(tr("Show the keys' notes in the sco&re"), "keys_in_score",
                           tr("Notes played from the keys are drawn in the score of the tune's window"),
                           &midi::PlayAlongSettings::cShowKbdInScore));
    // What the keys play, under both columns: it wraps to a few lines there, not a dozen.
    auto* help = new QLabel(this);
    help->setObjectName("keys_help");
    help->setWordWrap(true);
    auto* window_layout = static_cast<QBoxLayout*>(layout());
    window_layout->insertWidget(window_layout->count() - 1, help);
    also_show([this, help] {
        help->setText(qt_text(midi::pc_keys_help(context_.settings().play_along.pc_key_1_for_degree_1)));
    });
}

}  // namespace corvane::ui
