#pragma once

// The tune as a score other programs open: MusicXML, partwise, a part for every channel in
// play that sounds pitched notes. The notes are what a MIDI file save renders, read back as
// events.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/engine/channel_voices.h"
#include "corvane/engine/composition.h"
#include "corvane/engine/player.h"
#include "corvane/midi/midi_file_save.h"
#include "corvane/platform/reporter.h"
#include "corvane/tuning/note_names.h"

namespace corvane::files {

// A note as the render sounded it.
struct RenderedNote {
    double start_secs = 0;
    double end_secs = 0;
    int key = 0;      // the MIDI note
    double bend = 0;  // semitones from the key: the channel's pitch bend as the note started
};

// A channel in play that sounded pitched notes: its program, and its notes in the order they
// started, those a spare channel played for their pitch bends among them.
struct RenderedChannel {
    int channel = 0;
    int program = 0;
    std::vector<RenderedNote> notes;
};

// The tune as rendered: its channels in channel order (the percussion channel left out), how
// long it lasts and how finely its times were taken, its level-0 note length and its
// automatic key.
struct RenderedTune {
    std::vector<RenderedChannel> channels;
    double end_secs = 0;
    double time_step_secs = 1e-6;
    double note_length = 0.125;
    tuning::KeySignature key;
};

// Renders the composition as a MIDI file save of `settings` would, for as long as they say,
// and collects the notes per channel in play. A second render, with every voice kept to its
// own channel, tells which channel in play a note on a spare channel belongs to.
RenderedTune render_tune(const engine::Composition& composition, const midi::MidiSaveSettings& settings,
                         const engine::PlayerSettings& player_settings, const engine::VoiceSettings& voice_settings,
                         platform::Reporter& reporter);

// How a note's pitch is written.
enum class ScorePitch {
    exact,      // the tune's own pitch: the spelled note, its alter holding the bend's fraction of a semitone
    semitones,  // the MIDI note alone, in whole alters, for readers of no fractional alter
};

struct ScoreOptions {
    std::string title;
    ScorePitch pitch = ScorePitch::exact;
};

// The MusicXML 4.0 text of the tune. A level-0 note is a sixteenth and the tempo is set to
// match; bars are 4/4. Times are placed on the finest grid of halved sixteenths (down to a
// 256th) that holds every start and end exactly, or on the 256th grid, rounded, when none does.
std::string musicxml_text(const RenderedTune& tune, const ScoreOptions& options);

// What an export did: an error in words (empty when the file was written), or what it holds.
struct ScoreExportResult {
    std::string error;
    std::size_t parts = 0;
    std::size_t notes = 0;
    double secs = 0;
    bool written() const { return error.empty(); }
};

// Renders the composition for the length the save settings give and writes the score to
// `path` through the one safe save, so a failed export leaves an earlier file as it was.
[[nodiscard]] ScoreExportResult export_score(const std::filesystem::path& path,
                                             const engine::Composition& composition,
                                             const midi::MidiSaveSettings& settings,
                                             const engine::PlayerSettings& player_settings,
                                             const engine::VoiceSettings& voice_settings,
                                             platform::Reporter& reporter, const ScoreOptions& options);

inline constexpr std::string_view kScoreFileFilter = "MusicXML (*.musicxml *.xml)";
// The same, with whole-semitone alters only: what MuseScore 3 reads without a complaint.
inline constexpr std::string_view kSemitoneScoreFileFilter = "MusicXML, nearest semitones for MuseScore 3 (*.musicxml *.xml)";

}  // namespace corvane::files
