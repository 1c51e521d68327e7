#include "corvane/ui/stored_values.h"

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

}  // namespace

StoredValues read_stored_values(QSettings& store) {
    StoredValues values;
    store.beginGroup(version_group());
    if (store.contains("SCALALocation")) values.ScalaLocation = store.value("SCALALocation").toString().toStdString();
    values.MidiDevice = device_number(store, "MidiDevice");
    values.MidiInDevice = device_number(store, "MidiInDevice");
    values.play_on_start_up = play_on_start_up_from_bits(store.value("PlayOnStartUp", 0).toLongLong());
    for (std::size_t i = 0; i < kOccasions.size(); ++i) {
        values.window_codes.occasions[i] = read_window_codes(store.value(occasion_key(i)).toString().toStdString());
    }
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
    store.endGroup();
    store.sync();
}

}  // namespace corvane::ui
