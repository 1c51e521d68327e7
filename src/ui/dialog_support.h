#pragma once

// Small helpers the windows of the desktop program share: texts, typed numbers and the
// usual controls.

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QSize>
#include <QString>
#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "corvane/tuning/expression.h"
#include "corvane/files/composition_edits.h"
#include "corvane/platform/reporter.h"
#include "corvane/ui/settings_windows.h"

namespace corvane::ui {

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
// tooltip, as the main window marks its fields.
inline constexpr const char* kRefusedFieldProperty = "refused";

inline void mark_field_refused(QLineEdit* field, const QString& why) {
    field->setProperty(kRefusedFieldProperty, true);
    field->setStyleSheet(QStringLiteral("QLineEdit { background: #ffd8d8; }"));
    field->setToolTip(why);
}

inline void clear_field_refusal(QLineEdit* field) {
    if (!field->property(kRefusedFieldProperty).toBool()) return;
    field->setProperty(kRefusedFieldProperty, false);
    field->setStyleSheet({});
    field->setToolTip({});
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
inline void resize_within_screen(QWidget* window, QSize wanted) { window->resize(wanted.boundedTo(kLargestWindowSize)); }

inline QDialogButtonBox* ok_cancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

inline QDialogButtonBox* close_button(QDialog* dialog) {
    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return close;
}

}  // namespace corvane::ui
