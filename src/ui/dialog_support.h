#pragma once

// Small helpers the windows of the desktop program share: texts, typed numbers and the
// usual controls.

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QString>
#include <algorithm>
#include <cmath>
#include <string_view>

#include "corvane/tuning/expression.h"
#include "corvane/files/composition_edits.h"

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
