#include "corvane/ui/qt_reporter.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

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
    if (!on_window_thread()) return platform::Answer::no;
    QMessageBox box(QMessageBox::Question, text_of(caption), text_of(question), QMessageBox::Yes | QMessageBox::No,
                    parent_);
    box.setDefaultButton(QMessageBox::No);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Yes ? platform::Answer::yes : platform::Answer::no;
}

}  // namespace corvane::ui
