#pragma once

#include <string_view>

#include "corvane/engine/composition.h"
#include "corvane/files/colours.h"
#include "corvane/files/composition_file.h"
#include "corvane/files/save_buffer.h"
#include "corvane/files/settings.h"

namespace corvane::files {

struct ConfigurationReadOptions {
    // "Read from Corvane.ini now": a file saved with auto-save off is applied all the same.
    bool explicit_read = false;
    // A reset file: the items naming files and folders (File=, Directory=, the list files)
    // are ignored, and the names in use are kept.
    bool reset_file = false;
};

struct ConfigurationReading {
    // The file was saved with auto-save off and the read was not explicit: reading stopped
    // at that item, so the built-in defaults stand.
    bool stopped_by_auto_save_off = false;
    bool composition_read = false;
    CompositionReading composition;
    bool extra_dialog_space_changed = false;  // the main window is to be resized
};

// Every setting back to its built-in default. The composition file name is kept only when
// a file was named on the command line; the list file names are cleared; the composition's
// optional timing values that are switched off go back to their first-use values.
void set_default_configuration(Settings& s, engine::Composition& c);

// The header, every setting in file order, "Composition_and_Colours", the composition and
// the Colours section.
void write_configuration(SaveBuffer& out, const Settings& s, const engine::Composition& c, const Colours& colours);
// The header and the settings only, with no composition: the form of the reset file.
void write_settings(SaveBuffer& out, const Settings& s, const engine::Composition& c);

// Starts from the built-in defaults with auto-save off, then applies the items of the text.
// "Composition_and_Colours" hands the rest of the text to the composition reader.
ConfigurationReading read_configuration(std::string_view text, const ConfigurationReadOptions& options, Settings& s,
                                        engine::Composition& c, Colours& colours);

}  // namespace corvane::files
