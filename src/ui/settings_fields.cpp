// The fields the settings windows share, and the readers of typed numbers and lists.

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "corvane/tuning/ascii_text.h"
#include "corvane/tuning/expression.h"
#include "corvane/ui/settings_windows.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr int kFieldDigits = 9;                      // a field shows a number of this many digits whole

// "a whole number from 0 to 2559 notes", "a number above 0, up to 1000 s".
std::string allowed_text(const NumberRule& rule, bool plural) {
    std::string text = rule.whole ? (plural ? "whole numbers" : "a whole number") : (plural ? "numbers" : "a number");
    text += rule.above_low ? " above " + files::number_text(rule.low) + ", up to "
                           : " from " + files::number_text(rule.low) + " to ";
    text += files::number_text(rule.high);
    if (!rule.unit.empty()) text += " " + std::string(rule.unit);
    return text;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string refusal(const NumberRule& rule, std::string_view typed) {
    const auto shown = ascii::trimmed(typed);
    return std::string(rule.what) + " takes " + allowed_text(rule, false) + ": " +
           (shown.empty() ? std::string("nothing was typed") : quoted(shown) + " is not one") +
           ", so nothing was changed.";
}

bool within(const NumberRule& rule, double value) {
    if (!std::isfinite(value)) return false;
    if (rule.whole && value != std::trunc(value)) return false;
    const bool above = rule.above_low ? value > rule.low : value >= rule.low;
    return above && value <= rule.high;
}

std::optional<double> number_within(std::string_view text, const NumberRule& rule) {
    const auto e = tuning::evaluate_expression(text, tuning::PitchForm::ratio);
    if (!e.complete || !within(rule, e.value)) return std::nullopt;
    return e.value;
}

std::vector<std::string_view> words_of(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && ascii::is_blank(text[pos])) ++pos;
        const std::size_t start = pos;
        while (pos < text.size() && !ascii::is_blank(text[pos])) ++pos;
        if (pos > start) words.push_back(text.substr(start, pos - start));
    }
    return words;
}

}  // namespace

NumberReading read_setting_number(std::string_view text, const NumberRule& rule) {
    if (const auto value = number_within(ascii::trimmed(text), rule)) return {*value, {}};
    return {0, refusal(rule, text)};
}

ListReading read_setting_list(std::string_view text, const NumberRule& rule, std::size_t most) {
    const std::string takes = std::string(rule.what) + " take " + allowed_text(rule, true) + ", at most " +
                              std::to_string(most) + " of them: ";
    const auto words = words_of(text);
    if (words.empty()) return {{}, takes + "nothing was typed, so nothing was changed."};
    if (words.size() > most) {
        return {{}, takes + std::to_string(words.size()) + " were typed, so nothing was changed."};
    }
    ListReading reading;
    for (const auto word : words) {
        const auto value = number_within(word, rule);
        if (!value) return {{}, takes + quoted(word) + " is not one, so nothing was changed."};
        reading.values.push_back(*value);
    }
    return reading;
}

// ---------------------------------------------------------------------------------------

SettingsWindow::SettingsWindow(ProgramContext& context, std::function<void()> composition_changed, const char* name,
                               const QString& title, QWidget* parent)
    : QDialog(parent), context_(context), composition_changed_(std::move(composition_changed)) {
    setObjectName(QLatin1String(name));
    setWindowTitle(title);
}

void SettingsWindow::show_settings(bool forced) {
    // MIDI in changes the composition from its own thread, under the port's lock.
    const auto group = context_.playback().port().hold_group();
    for (const auto& show : shows_) show(forced);
}

void SettingsWindow::showEvent(QShowEvent* event) {
    show_settings();
    QDialog::showEvent(event);
}

// Back at the front, the window shows what other windows or a file opened meanwhile changed.
void SettingsWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) show_settings();
    QDialog::changeEvent(event);
}

QLineEdit* SettingsWindow::typed_field(const char* name, const QString& help, std::function<std::string()> shown,
                                       Take take) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QLatin1Char('0')) * kFieldDigits);
    field->setToolTip(help);
    connect(field, &QLineEdit::editingFinished, this, [this, field, take = std::move(take)] {
        if (!field->isModified()) return;  // left without typing: nothing is read back
        field->setModified(false);
        const std::string refused = take(field->text().toStdString());
        if (refused.empty()) {
            clear_refusal(field);
            show_settings();
        } else {
            refuse(field, refused);
        }
    });
    shows_.push_back([this, field, shown = std::move(shown)](bool forced) {
        if (forced) clear_refusal(field);
        if (field->property(kRefusedFieldProperty).toBool() || field->isModified()) return;
        const QString text = QString::fromStdString(shown());
        if (field->text() != text) field->setText(text);
        field->setCursorPosition(0);
    });
    return field;
}

QLineEdit* SettingsWindow::number_field(const char* name, const QString& help, const NumberRule& rule,
                                        std::function<double()> shown, std::function<void(double)> store) {
    // The tooltip says what the field takes, from the rule that reads it.
    const QString tooltip = tr("%1. Takes %2.").arg(help, QString::fromStdString(allowed_text(rule, false)));
    return typed_field(
        name, tooltip, [shown] { return files::number_text(shown()); },
        [rule, shown, store = std::move(store)](std::string_view text) {
            const NumberReading reading = read_setting_number(text, rule);
            if (reading.refused.empty() && reading.value != shown()) store(reading.value);
            return reading.refused;
        });
}

QCheckBox* SettingsWindow::flag_field(const QString& text, const char* name, const QString& help,
                                      std::function<bool()> shown, std::function<void(bool)> store) {
    auto* box = check_box(text, name, shown(), this);
    box->setToolTip(help);
    // Clicked, not toggled: only the user's click stores, never the window showing the setting.
    connect(box, &QCheckBox::clicked, this, [this, store = std::move(store)](bool on) {
        store(on);
        show_settings();
    });
    shows_.push_back([box, shown = std::move(shown)](bool) { box->setChecked(shown()); });
    return box;
}

QComboBox* SettingsWindow::choice_field(const char* name, const QString& help, const QStringList& items,
                                        std::function<int()> shown, std::function<void(int)> store) {
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(help);
    box->addItems(items);
    box->setPlaceholderText(tr("(other)"));  // a value from a file that none of the items has
    connect(box, &QComboBox::activated, this, [this, shown, store = std::move(store)](int index) {
        if (index != shown()) store(index);
        show_settings();
    });
    shows_.push_back([box, shown](bool) {
        const int index = shown();
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    });
    return box;
}

void SettingsWindow::also_show(std::function<void()> show) {
    shows_.push_back([show = std::move(show)](bool) { show(); });
}

QFormLayout* SettingsWindow::add_group(QBoxLayout* into, const QString& title) {
    auto* box = new QGroupBox(title, this);
    auto* form = new QFormLayout(box);
    into->addWidget(box);
    return form;
}

namespace {

void add_close_button(QDialog* window, QBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* close = new QPushButton(QObject::tr("Close"), window);
    close->setObjectName("close");
    close->setToolTip(close_tooltip());
    close->setAutoDefault(false);  // Return in a field finishes the field, it does not close
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::close);
    row->addWidget(close);
    layout->addLayout(row);
}

}  // namespace

SettingsWindow::~SettingsWindow() { disconnect_children(*this); }

SettingsWindow::Columns SettingsWindow::two_columns() {
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    Columns both{new QVBoxLayout, new QVBoxLayout};
    for (QVBoxLayout* column : {both.left, both.right}) {
        column->setAlignment(Qt::AlignTop);
        columns->addLayout(column);
    }
    layout->addLayout(columns);
    add_close_button(this, layout);
    return both;
}

QVBoxLayout* SettingsWindow::one_column() {
    auto* layout = new QVBoxLayout(this);
    auto* column = new QVBoxLayout;
    layout->addLayout(column);
    add_close_button(this, layout);
    return column;
}

// Says what is allowed; the field keeps the text, marked, for the user to mend.
void SettingsWindow::refuse(QLineEdit* field, const std::string& why) {
    refuse_field(field, why, context_.reporter(), windowTitle().toStdString());
}

void SettingsWindow::clear_refusal(QLineEdit* field) { clear_field_refusal(field); }

}  // namespace corvane::ui
