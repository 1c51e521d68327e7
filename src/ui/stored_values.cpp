#include "corvane/ui/stored_values.h"

#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <filesystem>

#include "corvane/tuning/expression.h"

namespace corvane::ui {
namespace {

QString version_group() { return QStringLiteral("Version " CORVANE_VERSION); }

// Device numbers are parsed as numbers; anything else leaves the value unset.
std::optional<int> device_number(const QSettings& store, const QString& key) {
    if (!store.contains(key)) return std::nullopt;
    const auto e = tuning::evaluate_expression(store.value(key).toString().toStdString(), tuning::PitchForm::ratio);
    if (!e.number_read) return std::nullopt;
    return static_cast<int>(e.value);
}

QString occasion_key(std::size_t occasion) {
    const auto name = kOccasions[occasion];
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

QString folder_key(const std::string& kind) { return QStringLiteral("Folders/") + QString::fromStdString(kind); }

}  // namespace

StoredValues read_stored_values(QSettings& store) {
    StoredValues values;
    store.beginGroup(version_group());
    values.ScalaLocation = store.contains("SCALALocation")
                               ? store.value("SCALALocation").toString().toStdString()
                               : QStandardPaths::findExecutable(QStringLiteral("scala")).toStdString();
    values.MidiDevice = device_number(store, "MidiDevice");
    values.MidiInDevice = device_number(store, "MidiInDevice");
    values.play_on_start_up = play_on_start_up_from_bits(store.value("PlayOnStartUp", 0).toLongLong());
    for (std::size_t i = 0; i < kOccasions.size(); ++i) {
        values.window_codes.occasions[i] = read_window_codes(store.value(occasion_key(i)).toString().toStdString());
    }
    for (const QString& path : store.value("RecentFiles").toStringList()) {
        if (values.recent_files.size() < kRecentFileCount) values.recent_files.push_back(path.toStdString());
    }
    store.beginGroup("Folders");
    for (const QString& kind : store.childKeys()) {
        values.dialog_folders[kind.toStdString()] = store.value(kind).toString().toStdString();
    }
    store.endGroup();
    store.endGroup();
    return values;
}

void write_stored_values(QSettings& store, const StoredValues& values) {
    store.beginGroup(version_group());
    store.setValue("SCALALocation", QString::fromStdString(values.ScalaLocation));
    if (values.MidiDevice) store.setValue("MidiDevice", QString::number(*values.MidiDevice));
    if (values.MidiInDevice) store.setValue("MidiInDevice", QString::number(*values.MidiInDevice));
    store.setValue("PlayOnStartUp", play_on_start_up_bits(values.play_on_start_up));
    for (std::size_t i = 0; i < kOccasions.size(); ++i) {
        store.setValue(occasion_key(i), QString::fromStdString(write_window_codes(values.window_codes.occasions[i])));
    }
    QStringList recent;
    for (const auto& path : values.recent_files) recent << QString::fromStdString(path);
    store.setValue("RecentFiles", recent);
    for (const auto& [kind, folder] : values.dialog_folders) {
        store.setValue(folder_key(kind), QString::fromStdString(folder));
    }
    store.endGroup();
    store.sync();
}

void remember_recent_file(std::vector<std::string>& recent, const std::string& path) {
    forget_recent_file(recent, path);
    recent.insert(recent.begin(), path);
    if (recent.size() > kRecentFileCount) recent.resize(kRecentFileCount);
}

void forget_recent_file(std::vector<std::string>& recent, const std::string& path) {
    std::erase(recent, path);
}

std::optional<std::string> remembered_folder(const StoredValues& values, std::string_view kind) {
    const auto found = values.dialog_folders.find(kind);
    if (found == values.dialog_folders.end()) return std::nullopt;
    std::error_code error;
    if (!std::filesystem::is_directory(found->second, error)) return std::nullopt;
    return found->second;
}

void remember_folder_of(StoredValues& values, std::string_view kind, const std::string& chosen_file) {
    std::error_code error;
    const auto file = std::filesystem::absolute(chosen_file, error);
    if (!error) values.dialog_folders[std::string(kind)] = file.parent_path().string();
}

}  // namespace corvane::ui
