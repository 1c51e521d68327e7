#pragma once

// Small helpers the windows of the desktop program share: texts, typed numbers, MIDI notes
// by name and the usual controls.

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSize>
#include <QSpinBox>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string_view>

#include "corvane/tuning/expression.h"
#include "corvane/tuning/note_names.h"
#include "corvane/files/composition_edits.h"
#include "corvane/platform/reporter.h"
#include "corvane/ui/settings_windows.h"

namespace corvane::ui {

// Fields losing their focus while a window goes must not reach the half-destroyed window:
// its destructor cuts its children's connections to it first.
inline void disconnect_children(QObject& window) {
    for (QObject* child : window.findChildren<QObject*>()) QObject::disconnect(child, nullptr, &window, nullptr);
}

inline QString qt_text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A number typed into a dialog, read by the expression reader; `fallback` when there is none.
inline double typed_number(const QString& text, double fallback) {
    const auto e = tuning::evaluate_expression(text.toStdString(), tuning::PitchForm::ratio);
    return e.number_read && std::isfinite(e.value) ? e.value : fallback;
}
inline double typed_number(const QLineEdit* edit, double fallback) { return typed_number(edit->text(), fallback); }

// A whole number within low..high.
inline int typed_whole(const QString& text, int fallback, int low, int high) {
    const double value = typed_number(text, fallback);
    return static_cast<int>(std::clamp(std::trunc(value), static_cast<double>(low), static_cast<double>(high)));
}
inline int typed_whole(const QLineEdit* edit, int fallback, int low, int high) {
    return typed_whole(edit->text(), fallback, low, high);
}

// A field holding a text that was not taken keeps it, marked red, with the reason as its
// tooltip, as the main window marks its fields; its own tooltip comes back once it is mended.
inline constexpr const char* kRefusedFieldProperty = "refused";
inline constexpr const char* kFieldHelpProperty = "help";

// The red of a refused field, light or dark as the field's palette is, with its text set too
// so that it reads on either.
inline QString refused_field_style(const QWidget& field) {
    const bool dark = field.palette().color(QPalette::Base).lightness() < 128;
    return dark ? QStringLiteral("QLineEdit { background: #6e2a2a; color: #ffffff; }")
                : QStringLiteral("QLineEdit { background: #ffd8d8; color: #000000; }");
}

inline void mark_field_refused(QLineEdit* field, const QString& why) {
    if (!field->property(kRefusedFieldProperty).toBool()) field->setProperty(kFieldHelpProperty, field->toolTip());
    field->setProperty(kRefusedFieldProperty, true);
    field->setStyleSheet(refused_field_style(*field));
    field->setToolTip(why);
}

inline void clear_field_refusal(QLineEdit* field) {
    if (!field->property(kRefusedFieldProperty).toBool()) return;
    field->setProperty(kRefusedFieldProperty, false);
    field->setStyleSheet({});
    field->setToolTip(field->property(kFieldHelpProperty).toString());
}

// Refuses a field's text: marks the field, says why under `caption` and gives the field the
// focus for the user to mend.
inline void refuse_field(QLineEdit* field, const std::string& why, platform::Reporter& reporter,
                         std::string_view caption) {
    mark_field_refused(field, QString::fromStdString(why));
    reporter.report(why, caption);
    field->setFocus();
}

// A number field read whole by the rule; a text the rule does not take is refused and gives
// nothing, never an old value in its place.
[[nodiscard]] inline std::optional<double> read_number_field(QLineEdit* field, const NumberRule& rule,
                                                             platform::Reporter& reporter, std::string_view caption) {
    const NumberReading reading = read_setting_number(field->text().toStdString(), rule);
    if (!reading.refused.empty()) {
        refuse_field(field, reading.refused, reporter, caption);
        return std::nullopt;
    }
    clear_field_refusal(field);
    return reading.value;
}

// ---------------------------------------------------------------------------------------
// MIDI notes as a musician reads them: by the program's note names, in which 60, middle C,
// is C4, with the number beside.

inline constexpr int kHighestMidiNote = 127;

// "C4 (60)", "C4 Sharp (61)".
inline QString note_with_number(int note) {
    const auto name = tuning::note_name(note, tuning::Accidentals::sharps, tuning::OctaveStyle::number, false);
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(name)).arg(note);
}

// The note a name with its octave stands for: "C4", "C4 Sharp", "C#4", "Db4", "e flat 3";
// nothing when the text is no such name or the note lies outside 0..127.
inline std::optional<int> named_note(const QString& text) {
    static const QRegularExpression name(QStringLiteral(
        R"(^([A-Ga-g])\s*(#|b|[Ss]harp|[Ff]lat)?\s*(-?\d{1,2})\s*(#|b|[Ss]harp|[Ff]lat)?$)"));
    const auto match = name.match(text);
    if (!match.hasMatch() || (!match.captured(2).isEmpty() && !match.captured(4).isEmpty())) return std::nullopt;
    constexpr std::array<int, 7> kLetterFromA{9, 11, 0, 2, 4, 5, 7};
    const QString accidental = (match.captured(2) + match.captured(4)).toLower();
    const bool sharp = accidental == QLatin1String("#") || accidental == QLatin1String("sharp");
    const int alteration = accidental.isEmpty() ? 0 : (sharp ? 1 : -1);
    const int letter = kLetterFromA[static_cast<std::size_t>(match.captured(1).toUpper()[0].unicode() - 'A')];
    const int note = (match.captured(3).toInt() + 1) * 12 + letter + alteration;
    if (note < 0 || note > kHighestMidiNote) return std::nullopt;
    return note;
}

// The MIDI note a typed text names: its number ("61"), its name with the octave ("C4 Sharp",
// "C#4"), or the two as shown ("C4 Sharp (61)"); nothing otherwise.
inline std::optional<int> typed_note(const QString& typed) {
    static const QRegularExpression shown(QStringLiteral(R"(^(.*?)\s*\((\d+)\)$)"));
    QString text = typed.trimmed();
    if (const auto match = shown.match(text); match.hasMatch()) {
        // A name typed over the one shown counts; otherwise the number.
        text = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    }
    bool number = false;
    const int note = text.toInt(&number);
    if (number) return note >= 0 && note <= kHighestMidiNote ? std::optional(note) : std::nullopt;
    return named_note(text);
}

// A spin box of MIDI notes that shows them by name and number and takes either typed.
class NoteSpinBox final : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override { return note_with_number(value); }
    int valueFromText(const QString& text) const override {
        if (!specialValueText().isEmpty() && text == specialValueText()) return minimum();
        return typed_note(text).value_or(value());
    }
    QValidator::State validate(QString& text, int&) const override {
        if (!specialValueText().isEmpty() && text == specialValueText()) return QValidator::Acceptable;
        const auto note = typed_note(text);
        return note && *note >= minimum() && *note <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }
};

// The General MIDI percussion sounds, keys 35 to 81.
inline constexpr int kFirstPercussionKey = 35;
inline constexpr std::array<std::string_view, 47> kPercussionSounds{
    "Acoustic Bass Drum", "Bass Drum 1", "Side Stick", "Acoustic Snare", "Hand Clap", "Electric Snare",
    "Low Floor Tom", "Closed Hi-Hat", "High Floor Tom", "Pedal Hi-Hat", "Low Tom", "Open Hi-Hat",
    "Low-Mid Tom", "Hi-Mid Tom", "Crash Cymbal 1", "High Tom", "Ride Cymbal 1", "Chinese Cymbal",
    "Ride Bell", "Tambourine", "Splash Cymbal", "Cowbell", "Crash Cymbal 2", "Vibraslap",
    "Ride Cymbal 2", "Hi Bongo", "Low Bongo", "Mute Hi Conga", "Open Hi Conga", "Low Conga",
    "High Timbale", "Low Timbale", "High Agogo", "Low Agogo", "Cabasa", "Maracas",
    "Short Whistle", "Long Whistle", "Short Guiro", "Long Guiro", "Claves", "Hi Wood Block",
    "Low Wood Block", "Mute Cuica", "Open Cuica", "Mute Triangle", "Open Triangle"};

// "38 Acoustic Snare"; "Key 20" outside the General MIDI sounds.
inline QString percussion_sound_name(int key) {
    const int index = key - kFirstPercussionKey;
    if (index < 0 || index >= static_cast<int>(kPercussionSounds.size())) return QObject::tr("Key %1").arg(key);
    return QStringLiteral("%1 %2").arg(key).arg(qt_text(kPercussionSounds[static_cast<std::size_t>(index)]));
}

// ---------------------------------------------------------------------------------------

inline QLineEdit* number_edit(const char* name, double value, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(files::number_text(value)), parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

inline QCheckBox* check_box(const QString& text, const char* name, bool on, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(on);
    return box;
}

// The largest size a window opens at: at a scale of 150 % it still fits a 1366x768 screen
// above its task bar. Windows with more to show scroll or wrap within it.
inline constexpr QSize kLargestWindowSize{900, 470};

// Opens a window at `wanted`, or as near it as fits the smallest screen.
inline void resize_within_screen(QWidget* window, QSize wanted) {
    window->resize(wanted.boundedTo(kLargestWindowSize));
}

// The tooltips of the buttons that end a window, the same in every window.
inline QString close_tooltip() { return QObject::tr("Closes the window; what was changed in it stays changed"); }
inline QString ok_tooltip() { return QObject::tr("Takes what was set in the window and closes it"); }
inline QString cancel_tooltip() { return QObject::tr("Closes the window and leaves everything as it was"); }

inline QDialogButtonBox* ok_cancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setToolTip(ok_tooltip());
    buttons->button(QDialogButtonBox::Cancel)->setToolTip(cancel_tooltip());
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

inline QDialogButtonBox* close_button(QDialog* dialog) {
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    close->button(QDialogButtonBox::Close)->setToolTip(close_tooltip());
    QObject::connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return close;
}

}  // namespace corvane::ui
