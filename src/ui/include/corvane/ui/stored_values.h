#pragma once

// The per-user stored values in Qt's settings store, under a group for this version of
// the program: "SCALALocation", "MidiDevice", "MidiInDevice", "PlayOnStartUp" and the six
// window-code strings named by their occasion. Missing values leave the defaults.

#include <QSettings>

#include "corvane/ui/program_context.h"

namespace corvane::ui {

StoredValues read_stored_values(QSettings& store);
void write_stored_values(QSettings& store, const StoredValues& values);

}  // namespace corvane::ui
