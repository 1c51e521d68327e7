// corvane: the desktop program. One optional argument, the file to open.

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "corvane/ui/desktop_program.h"

namespace {

int termination_pipe[2] = {-1, -1};

extern "C" void on_termination_signal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(termination_pipe[1], &byte, 1);
}

// SIGTERM and SIGINT close the main window as its close box would, so that the
// configuration is saved as at any other exit.
void close_windows_on_termination(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, termination_pipe) != 0) return;
    auto* notifier = new QSocketNotifier(termination_pipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const auto read = ::read(termination_pipe[0], &byte, 1);
        QApplication::closeAllWindows();
    });
    struct sigaction action {};
    action.sa_handler = on_termination_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Corvane");
    QApplication::setApplicationName("Corvane");
    QApplication::setApplicationVersion(CORVANE_VERSION);
    QApplication::setDesktopFileName("org.corvane.Corvane");
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2) {
        std::fprintf(stderr, "usage: corvane [file]\n");
        return 2;
    }
    close_windows_on_termination(app);
    corvane::ui::Launch launch;
    if (arguments.size() == 2) launch.start_file = arguments[1].toStdString();
    launch.shift_held = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    // Tests and portable setups may name the data folder.
    if (const char* folder = std::getenv("CORVANE_DATA_FOLDER"); folder != nullptr && *folder != '\0') {
        launch.data_folder = std::filesystem::path(folder);
    }
    // The Fusion style with a dark or light palette, where the desktop's theme gives none.
    if (const char* scheme = std::getenv("CORVANE_COLOUR_SCHEME"); scheme != nullptr) {
        launch.colour_scheme = corvane::ui::colour_scheme_named(scheme);
    }
    return corvane::ui::run_desktop_program(app, launch);
}
