#include "corvane/ui/desktop_program.h"

#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <exception>
#include <memory>

#include "corvane/platform/combined_output.h"
#include "corvane/platform/midi_port_input.h"
#include "corvane/platform/data_folder.h"
#include "corvane/ui/launch.h"
#include "corvane/ui/main_window.h"
#include "corvane/ui/qt_reporter.h"
#include "corvane/ui/single_instance.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

std::optional<std::filesystem::path> prepared_data_folder(const Launch& launch, std::string& error) {
    if (!launch.data_folder) {
        const auto folder = platform::open_data_folder(error);
        if (!folder) return std::nullopt;
        return folder->folder;
    }
    error = platform::prepare_data_folder(*launch.data_folder,
                                          platform::installed_data_folder(platform::places_of_this_process()));
    if (!error.empty()) return std::nullopt;
    return *launch.data_folder;
}

// The start file from the command line, taken from the start folder when relative.
std::optional<std::filesystem::path> start_file(const Launch& launch, const std::filesystem::path& start_folder) {
    if (!launch.start_file) return std::nullopt;
    const auto name = start_file_argument(*launch.start_file);
    if (!name) return std::nullopt;
    std::filesystem::path path(*name);
    return path.is_absolute() ? path : start_folder / path;
}

QPalette dark_palette() {
    const QColor window(0x35, 0x35, 0x35);
    const QColor base(0x26, 0x26, 0x26);
    const QColor text(0xee, 0xee, 0xee);
    const QColor disabled_text(0x80, 0x80, 0x80);
    const QColor highlight(0x2a, 0x82, 0xda);
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, window);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled_text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, highlight.lighter(130));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Midlight, window.lighter(125));
    palette.setColor(QPalette::Mid, window.darker(125));
    palette.setColor(QPalette::Dark, window.darker(150));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, disabled_text);
    }
    return palette;
}

void apply_colour_scheme(ColourScheme scheme) {
    if (scheme == ColourScheme::platform) return;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(scheme == ColourScheme::dark ? dark_palette() : QApplication::style()->standardPalette());
}

}  // namespace

ColourScheme colour_scheme_named(std::string_view name) {
    if (name == "dark") return ColourScheme::dark;
    if (name == "light") return ColourScheme::light;
    return ColourScheme::platform;
}

int run_desktop_program(QApplication& app, const Launch& launch) {
    apply_colour_scheme(launch.colour_scheme);
    const std::filesystem::path start_folder = QDir::currentPath().toStdString();
    const auto file = start_file(launch, start_folder);
    std::string error;
    const auto data_folder = prepared_data_folder(launch, error);
    if (!data_folder) {
        QMessageBox::critical(nullptr, qt_text(kProgramCaption), QString::fromStdString(error));
        return 1;
    }
    const QString server_name = instance_server_name(*data_folder);
    if (choose_launch(file.has_value(), file && running_copy_found(server_name), launch.shift_held) ==
            LaunchChoice::hand_off_to_running_copy &&
        hand_off_file(server_name, *data_folder, file->string()) == HandOffResult::taken) {
        return 0;
    }

    platform::MidiClient midi_client;
    platform::CombinedOutputSystem outputs(midi_client);
    platform::MidiPortInputSystem inputs(midi_client);
    QtReporter reporter;
    ProgramContext context(*data_folder, outputs, inputs, reporter);
    QSettings store;
    std::unique_ptr<MainWindow> window;
    try {
        window = std::make_unique<MainWindow>(context, store);
    } catch (const std::exception&) {
        QMessageBox::critical(nullptr, qt_text(kProgramCaption), qt_text(kCannotCreateWindowMessage));
        return 1;
    }
    reporter.set_parent(window.get());
    window->setWindowIcon(QIcon::fromTheme("org.corvane.Corvane", QIcon(":/corvane/org.corvane.Corvane.svg")));

    // A handed-off file is always taken; unsaved changes here are asked about before it opens.
    InstanceServer server(server_name, *data_folder, [&window](const std::string& handed) {
        QMetaObject::invokeMethod(window.get(), [&window, handed] { window->open_file(handed); }, Qt::QueuedConnection);
        return true;
    });
    server.listen();

    window->initialise({.started_with_file = file.has_value()});
    window->show();
    if (file) {
        const bool play = context.settings().play_on_start_up_with_file;
        QMetaObject::invokeMethod(window.get(), [&window, path = *file, play] { window->open_file(path, play); },
                                  Qt::QueuedConnection);
    }
    QDir::setCurrent(QString::fromStdString(start_folder.string()));
    const int code = app.exec();
    reporter.close_questions();
    return code;
}

}  // namespace corvane::ui
