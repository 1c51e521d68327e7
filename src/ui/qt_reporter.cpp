#include "corvane/ui/qt_reporter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace corvane::ui {
namespace {

QString text_of(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

bool on_window_thread() { return QThread::currentThread() == QApplication::instance()->thread(); }

void show_report(QWidget* parent, const QString& message, const QString& caption) {
    QMessageBox::information(parent, caption, message);
}

}  // namespace

void QtReporter::report(std::string_view message, std::string_view caption) {
    if (on_window_thread()) {
        show_report(parent_, text_of(message), text_of(caption));
        return;
    }
    QPointer<QWidget> parent = parent_;
    QMetaObject::invokeMethod(
        QApplication::instance(),
        [parent, m = text_of(message), c = text_of(caption)] { show_report(parent, m, c); }, Qt::QueuedConnection);
}

platform::Answer QtReporter::ask_yes_no(std::string_view question, std::string_view caption) {
    if (!on_window_thread()) return ask_from_worker(question, caption);
    QMessageBox box(QMessageBox::Question, text_of(caption), text_of(question), QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Yes ? platform::Answer::yes : platform::Answer::no;
}

platform::SaveChoice QtReporter::ask_save_discard_cancel(std::string_view question, std::string_view caption) {
    QMessageBox box(QMessageBox::Warning, text_of(caption), text_of(question),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Save: return platform::SaveChoice::save;
        case QMessageBox::Discard: return platform::SaveChoice::discard;
        default: return platform::SaveChoice::cancel;
    }
}

platform::Answer QtReporter::ask_from_worker(std::string_view question, std::string_view caption) {
    // The answer is shared, so that a question never asked (the loop ended) is harmless.
    auto answer = std::make_shared<std::promise<platform::Answer>>();
    std::future<platform::Answer> answered = answer->get_future();
    QMetaObject::invokeMethod(
        QApplication::instance(),
        [this, answer, q = std::string(question), c = std::string(caption)] {
            answer->set_value(closed_.load() ? platform::Answer::no : ask_yes_no(q, c));
        },
        Qt::QueuedConnection);
    constexpr auto kPoll = std::chrono::milliseconds(100);
    while (answered.wait_for(kPoll) != std::future_status::ready) {
        if (closed_.load()) return platform::Answer::no;
    }
    return answered.get();
}

}  // namespace corvane::ui
