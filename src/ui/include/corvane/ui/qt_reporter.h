#pragma once

#include <QPointer>
#include <QWidget>

#include "corvane/platform/reporter.h"

namespace corvane::ui {

// Message boxes over the main window. Questions have Yes and No, No the default, and stay
// on top of every window. From a worker thread a report is posted to the window's thread
// and a question is answered No.
class QtReporter final : public platform::Reporter {
public:
    void set_parent(QWidget* parent) { parent_ = parent; }

    void report(std::string_view message, std::string_view caption) override;
    platform::Answer ask_yes_no(std::string_view question, std::string_view caption) override;

private:
    QPointer<QWidget> parent_;
};

}  // namespace corvane::ui
