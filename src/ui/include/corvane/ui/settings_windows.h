#pragma once

// The settings windows opened by their window codes: Options (I), Note timing (E), Range (J),
// Effects (F), PC keyboard voices (K), Scala (L) and New scale/arpeggio playback (4).
//
// They change a setting the moment the user edits it: a typed field is read back only when
// typed in, and a text that does not read whole, or lies outside what the setting takes, is
// refused: the field keeps the text, marked, and the window says what is allowed, leaving
// the setting as it was. What the player, MIDI in or the vibrato read while they run is
// changed under the MIDI out port's lock.

#include <QDialog>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/ui/program_context.h"

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace corvane::ui {

class EntryEditorWindow;

// What a typed number may be, and how a refusal names it.
struct NumberRule {
    std::string_view what;  // "The look-ahead": the start of a refusal
    double low = 0;
    double high = 0;
    bool whole = false;
    bool above_low = false;  // `low` itself is not taken
    std::string_view unit;   // "ms", "s", "notes"; may be empty
};

// A typed number read whole through the expression reader: the value, or why it is refused.
struct NumberReading {
    double value = 0;
    std::string refused;  // empty when taken
};
NumberReading read_setting_number(std::string_view text, const NumberRule& rule);

// A typed list of numbers, each within the rule, at most `most` of them.
struct ListReading {
    std::vector<double> values;
    std::string refused;
};
ListReading read_setting_list(std::string_view text, const NumberRule& rule, std::size_t most);

// What the windows share: fields that store on the user's edit and show their setting again
// when the window is shown or comes to the front.
class SettingsWindow : public QDialog {
    Q_OBJECT
public:
    ~SettingsWindow() override;
    // Every field shows its setting again, except one that is being typed in or holds a
    // refused text; `forced` shows those too and drops the refusal.
    void show_settings(bool forced = false);

protected:
    // `composition_changed` runs after a change to the composition.
    SettingsWindow(ProgramContext& context, std::function<void()> composition_changed, const char* name,
                   const QString& title, QWidget* parent);

    // Reads a typed text into the setting; returns why it was refused, or nothing.
    using Take = std::function<std::string(std::string_view text)>;
    QLineEdit* typed_field(const char* name, const QString& help, std::function<std::string()> shown, Take take);
    QLineEdit* number_field(const char* name, const QString& help, const NumberRule& rule,
                            std::function<double()> shown, std::function<void(double)> store);
    QCheckBox* flag_field(const QString& text, const char* name, const QString& help, std::function<bool()> shown,
                          std::function<void(bool)> store);
    QComboBox* choice_field(const char* name, const QString& help, const QStringList& items, std::function<int()> shown,
                            std::function<void(int)> store);
    // Something else to show again with the fields.
    void also_show(std::function<void()> show);

    // A titled group of labelled rows, added to `into`.
    QFormLayout* add_group(QBoxLayout* into, const QString& title);
    // The window's layout: two columns to fill, above the Close button.
    struct Columns {
        QVBoxLayout* left;
        QVBoxLayout* right;
    };
    Columns two_columns();
    // The window's layout: one column to fill, above the Close button.
    QVBoxLayout* one_column();

    // A change to the settings, under the port's lock.
    template <class Change>
    void change_settings(Change change) {
        const auto group = context_.playback().port().hold_group();
        change(context_.settings());
    }
    // A change to the composition, under the port's lock; the file is marked changed and the
    // main window shows it.
    template <class Change>
    void change_composition(Change change) {
        {
            const auto group = context_.playback().port().hold_group();
            change(context_.composition());
        }
        context_.settings().needs_save = true;
        if (composition_changed_) composition_changed_();
    }

    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

    ProgramContext& context_;

private:
    void refuse(QLineEdit* field, const std::string& why);
    void clear_refusal(QLineEdit* field);

    std::function<void()> composition_changed_;
    std::vector<std::function<void(bool forced)>> shows_;
};

// "Options": how the player keeps time, its priority, how it catches up when late, and how
// pitch bends use the channels.
class OptionsWindow final : public SettingsWindow {
    Q_OBJECT
public:
    OptionsWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    void add_playing(QBoxLayout* column);
    void add_priority(QBoxLayout* column);
    void add_catching_up(QBoxLayout* column);
    void add_pitch_bends(QBoxLayout* column);
    template <class T>
    QLineEdit* player_number(const char* name, const QString& help, const NumberRule& rule,
                             T engine::PlayerSettings::*value);
    QCheckBox* player_flag(const QString& text, const char* name, const QString& help,
                           bool engine::PlayerSettings::*flag);
};

// "Note timing": the timing shift, lengths and volumes by height, and the rhythm and volume
// of each seed position.
class NoteTimingWindow final : public SettingsWindow {
    Q_OBJECT
public:
    NoteTimingWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    void add_start(QBoxLayout* column);
    void add_by_height(QBoxLayout* column);
    void add_by_position(QBoxLayout* column);
    // An optional value: its tick switches it on or off, and its field is open while it is on.
    // A value with no label (a list) goes under its tick, across the group.
    void add_optional(QFormLayout* form, const QString& tick_text, const char* tick_name, const QString& tick_help,
                      bool engine::Composition::*on, const QString& value_text, QLineEdit* value);
    QLineEdit* composition_number(const char* name, const QString& help, const NumberRule& rule,
                                  double engine::Composition::*field);
    QLineEdit* position_list(const char* name, const QString& help, const NumberRule& rule,
                             std::vector<double> engine::Composition::*list,
                             void (*set)(engine::Composition&, std::span<const double>));
};

// "Range (compass) for channels": a channel's lowest and highest note and what a note
// outside them does.
class RangeWindow final : public SettingsWindow {
    Q_OBJECT
public:
    RangeWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    std::size_t channel() const;
    // The lowest or the highest note, with its name beside it.
    void add_note(QFormLayout* form, const char* name, const QString& text, const QString& help, bool lowest);
    std::string store_note(std::string_view typed, bool lowest);
    void apply_to_all_channels();
};

// "Effects": a channel's portamento and vibrato, legato and the vibrato's update step.
class EffectsWindow final : public SettingsWindow {
    Q_OBJECT
public:
    EffectsWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    std::size_t channel() const;
    void add_portamento(QBoxLayout* column);
    void add_vibrato(QBoxLayout* column);
    void add_all_channels(QBoxLayout* column);
    // A flag or a number of the channel's, kept also as the window's last value.
    QCheckBox* effect_flag(const QString& text, const char* name, const QString& help,
                           engine::PerChannel<int> engine::Composition::*flag, bool files::Settings::*kept);
    template <class T, class Kept>
    QLineEdit* effect_number(const char* name, const QString& help, const NumberRule& rule,
                             engine::PerChannel<T> engine::Composition::*field, Kept files::Settings::*kept);
    // A value field is open while its effect is on.
    void open_while(QWidget* value, engine::PerChannel<int> engine::Composition::*flag);
    void apply_to_all_channels();
    // While play runs the channels of the voice take the change at once.
    void send_effects(int channel);
};

// "PC keyboard voices": the channel whose voice the computer keys play, or one per row, the
// volume of each row and the keys' options.
class PcKeyboardVoicesWindow final : public SettingsWindow {
    Q_OBJECT
public:
    PcKeyboardVoicesWindow(ProgramContext& context, std::function<void()> composition_changed,
                           QWidget* parent = nullptr);

private:
    void add_voices(QBoxLayout* column);
    void add_rows(QFormLayout* form);
    void add_keys(QBoxLayout* column);
    QCheckBox* keys_flag(const QString& text, const char* name, const QString& help,
                         bool midi::PlayAlongSettings::*flag);
    template <class Change>
    void change_keys(Change change) {
        change_settings([&](files::Settings& s) { change(s.play_along); });
    }
};

// "Scala": where the Scala program is, and how the lists of modes made from its files are
// named and sorted.
class ScalaWindow final : public SettingsWindow {
    Q_OBJECT
public:
    ScalaWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    void add_program(QBoxLayout* layout);
    void add_mode_lists(QBoxLayout* layout);
};

// "New scale/arpeggio playback": how the scale and arpeggio editors play an entry back.
// A change goes to the open editors too.
class EditorPlaybackWindow final : public SettingsWindow {
    Q_OBJECT
public:
    EditorPlaybackWindow(ProgramContext& context, std::function<void()> composition_changed, QWidget* parent = nullptr);

private:
    void follow_in_editors();
};

// A scale or arpeggio editor takes the playback settings (the seed editor keeps its own).
void show_playback_settings(EntryEditorWindow& editor, const files::Settings& settings);

}  // namespace corvane::ui
