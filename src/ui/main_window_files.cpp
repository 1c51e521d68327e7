// The main window's ways to files besides File > Open and Save: Open Recent and files dropped
// on the window (both go through MainWindow::open_file, as File > Open does), and the tuning
// export.

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <atomic>

#include "corvane/files/tuning_export.h"
#include "corvane/midi/hex_dump.h"
#include "corvane/ui/main_window.h"
#include "corvane/ui/stored_values.h"
#include "dialog_support.h"

namespace corvane::ui {
namespace {

constexpr std::string_view kRecentCaption = "Open Recent";
constexpr std::string_view kDropCaption = "Dropped files";
constexpr std::string_view kDroppedMidiCaption = "MIDI file";
constexpr std::string_view kOneFileAtATimeMessage =
    "Drop one file at a time: a composition, a scale, a list of scales or of modes, or a MIDI file.";

// What a dropped file is, by its extension (in any case).
enum class DroppedKind { opened, midi, unknown };

DroppedKind dropped_kind(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "cv" || suffix == "cmp" || suffix == "scl" || suffix == "lsc" || suffix == "lmd") {
        return DroppedKind::opened;
    }
    return suffix == "mid" ? DroppedKind::midi : DroppedKind::unknown;
}

std::string quoted_name(const std::filesystem::path& path) { return "\"" + path.filename().string() + "\""; }

std::string unknown_file_message(const std::filesystem::path& path) {
    return "Corvane cannot open " + quoted_name(path) +
           ".\n\nDrop a composition (.cv, .cmp), a Scala scale (.scl), a list of scales (.lsc) or of modes "
           "(.lmd), or a MIDI file (.mid).";
}

std::string midi_file_question(const std::filesystem::path& path) {
    return quoted_name(path) + " is a MIDI file.\n\nYes: write its hex dump beside it.\nNo: record play along into it.";
}

// A menu text shows "&" as it is.
QString shown_path(const std::string& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path)).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Open Recent

void MainWindow::fill_recent_menu() {
    if (recent_menu_ == nullptr) return;
    // The item being chosen may be the one that fills the menu again: it goes once it is done.
    for (QAction* old : recent_menu_->actions()) {
        recent_menu_->removeAction(old);
        old->setObjectName({});
        old->deleteLater();
    }
    const auto& recent = context_.stored().recent_files;
    for (std::size_t i = 0; i < recent.size(); ++i) {
        QAction* action = recent_menu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown_path(recent[i])));
        action->setObjectName(QStringLiteral("recent_%1").arg(i + 1));
        connect(action, &QAction::triggered, this,
                [this, path = recent[i]] { run(CommandGroup::edit, [this, path] { open_recent(path); }); });
    }
    if (!recent.empty()) recent_menu_->addSeparator();
    QAction* clear = recent_menu_->addAction(tr("&Clear Recent"));
    clear->setObjectName("clear_recent");
    clear->setEnabled(!recent.empty());
    connect(clear, &QAction::triggered, this, [this] {
        context_.stored().recent_files.clear();
        write_stored_values(store_, context_.stored());
        fill_recent_menu();
    });
}

void MainWindow::open_recent(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        forget_recent_file(context_.stored().recent_files, path);
        write_stored_values(store_, context_.stored());
        fill_recent_menu();
        context_.reporter().report("\"" + path + "\" is no longer there, so it is taken off the list.", kRecentCaption);
        return;
    }
    open_file(path);
}

void MainWindow::remember_file(const std::filesystem::path& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    if (error) return;
    remember_recent_file(context_.stored().recent_files, absolute.lexically_normal().string());
    write_stored_values(store_, context_.stored());
    fill_recent_menu();
}

// ---------------------------------------------------------------------------------------
// Dropped files

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) paths << (url.isLocalFile() ? url.toLocalFile() : url.toString());
    event->acceptProposedAction();
    open_dropped(paths);
}

void MainWindow::open_dropped(const QStringList& paths) {
    if (paths.size() != 1) {
        context_.reporter().report(kOneFileAtATimeMessage, kDropCaption);
        return;
    }
    const std::filesystem::path path = paths.front().toStdString();
    switch (dropped_kind(paths.front())) {
        case DroppedKind::opened: run(CommandGroup::edit, [this, &path] { open_file(path); }); break;
        case DroppedKind::midi: run(CommandGroup::edit, [this, &path] { take_dropped_midi_file(path); }); break;
        case DroppedKind::unknown: context_.reporter().report(unknown_file_message(path), kDropCaption); break;
    }
}

void MainWindow::take_dropped_midi_file(const std::filesystem::path& path) {
    auto& reporter = context_.reporter();
    if (reporter.ask_yes_no(midi_file_question(path), kDroppedMidiCaption) == platform::Answer::no) {
        // A file in the folder recordings follow keeps only its name, so it keeps following.
        const bool beside = path.parent_path() == context_.play_along().recorder().folder();
        context_.settings().play_along.szPlayAlong = beside ? path.filename().string() : path.string();
        open_window('G');
        record_dialog_->show_settings();
        return;
    }
    const std::atomic<bool> no_abort{false};
    const auto dumped = midi::hex_dump_midi_file(path, reporter, no_abort);
    if (dumped.status == midi::HexDumpStatus::written) {
        reporter.report("The hex dump of " + quoted_name(path) + " is in \"" + dumped.output.string() + "\".",
                        kDroppedMidiCaption);
    } else if (dumped.status == midi::HexDumpStatus::output_failed) {
        reporter.report("Couldn't write the hex dump \"" + dumped.output.string() + "\".", kDroppedMidiCaption);
    }
}

void MainWindow::follow_composition_folder() {
    context_.play_along().recorder().set_folder(
        files::folder_for_outputs(context_.settings().File, QDir::homePath().toStdString()));
}

// ---------------------------------------------------------------------------------------
// Export tuning

// File > Export tuning…: the composition's scale laid on the keyboard, in the format of the
// file type chosen. The name offered is the composition's, beside it.
void MainWindow::export_tuning_command() {
    auto hold = context_.hold_play();
    const auto& s = context_.settings();
    const std::filesystem::path composition_file(s.File.empty() ? std::string(files::kFirstSaveName) : s.File);
    const auto folder = files::folder_for_outputs(s.File, QDir::homePath().toStdString());
    const auto offered = files::tuning_file_name(folder / composition_file.filename(), files::TuningFormat::scl);
    QStringList filters;
    for (const std::string_view filter : files::kTuningFileFilters) filters << qt_text(filter);
    QString chosen_filter = filters.front();
    const QString path = QFileDialog::getSaveFileName(this, tr("Export tuning"), qt_text(offered.string()),
                                                      filters.join(QStringLiteral(";;")), &chosen_filter);
    if (path.isEmpty()) return;
    const auto format = static_cast<files::TuningFormat>(std::max<qsizetype>(filters.indexOf(chosen_filter), 0));
    const auto target = files::tuning_file_name(path.toStdString(), format);
    const files::TuningExportResult result =
        files::export_tuning(target, format, context_.composition(), files::tuning_name(s.File));
    if (!result.ok()) context_.reporter().report(result.error, "Export tuning");
}

}  // namespace corvane::ui
