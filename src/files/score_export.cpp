// The rendered tune written as MusicXML: times placed on a grid of note values, the notes of
// each channel laid out in voices, split at barlines and into written note values, tied.

#include "corvane/files/score_export.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "corvane/midi/general_midi.h"
#include "corvane/platform/file_save.h"
#include "corvane/tuning/number_text.h"
#include "corvane/tuning/pitch_format.h"

namespace corvane::files {
namespace {

constexpr int kSixteenthsPerBar = 16;  // 4/4
constexpr int kFinestSplit = 16;       // grid units in a sixteenth at most: a 256th note
constexpr std::size_t kMostVoices = 4;

// The grid: how many units a sixteenth (a level-0 note) holds.
struct Grid {
    int split = 1;
    double unit_secs = 0.125;

    int divisions() const { return 4 * split; }  // units per quarter note
    long long bar_units() const { return static_cast<long long>(kSixteenthsPerBar) * split; }
    long long units(double secs) const { return std::llround(secs / unit_secs); }
};

bool on_grid(double secs, double unit_secs, double tolerance) {
    return std::abs(secs - static_cast<double>(std::llround(secs / unit_secs)) * unit_secs) <= tolerance;
}

// The coarsest grid on which every start and end falls, to within a few render ticks.
Grid choose_grid(const RenderedTune& tune) {
    const double tolerance = 3 * tune.time_step_secs + 1e-9;
    for (int split = 1; split < kFinestSplit; split *= 2) {
        const double unit = tune.note_length / split;
        const bool fits = std::ranges::all_of(tune.channels, [&](const RenderedChannel& channel) {
            return std::ranges::all_of(channel.notes, [&](const RenderedNote& n) {
                return on_grid(n.start_secs, unit, tolerance) && on_grid(n.end_secs, unit, tolerance);
            });
        });
        if (fits) return {split, unit};
    }
    return {kFinestSplit, tune.note_length / kFinestSplit};
}

// Notes that start and end together, in grid units.
struct Chord {
    long long start = 0;
    long long end = 0;
    std::vector<const RenderedNote*> notes;
};
using Voice = std::vector<Chord>;

// Lays a channel's notes out in voices of chords that do not overlap. A note that would need
// a fifth voice cuts short the voice note that ends first (or joins its chord when both start
// together), so nothing is lost but the overlap.
std::vector<Voice> voices_of(const RenderedChannel& channel, const Grid& grid) {
    struct Placed {
        long long start, end;
        const RenderedNote* note;
    };
    std::vector<Placed> placed;
    for (const RenderedNote& n : channel.notes) {
        const long long start = grid.units(n.start_secs);
        placed.push_back({start, std::max(grid.units(n.end_secs), start + 1), &n});
    }
    std::ranges::stable_sort(placed, [](const Placed& a, const Placed& b) {
        return a.start != b.start ? a.start < b.start : a.note->key < b.note->key;
    });
    std::vector<Voice> voices;
    for (const Placed& p : placed) {
        const auto same_chord = std::ranges::find_if(voices, [&](const Voice& v) {
            return v.back().start == p.start && v.back().end == p.end;
        });
        if (same_chord != voices.end()) {
            same_chord->back().notes.push_back(p.note);
            continue;
        }
        const auto free = std::ranges::find_if(voices, [&](const Voice& v) { return v.back().end <= p.start; });
        if (free != voices.end()) {
            free->push_back({p.start, p.end, {p.note}});
        } else if (voices.size() < kMostVoices) {
            voices.push_back({{p.start, p.end, {p.note}}});
        } else {
            Voice& earliest = *std::ranges::min_element(
                voices, [](const Voice& a, const Voice& b) { return a.back().end < b.back().end; });
            if (earliest.back().start == p.start) {
                earliest.back().notes.push_back(p.note);
            } else {
                earliest.back().end = p.start;
                earliest.push_back({p.start, p.end, {p.note}});
            }
        }
    }
    return voices;
}

// A written note value: its length in grid units, its type and dots.
struct NoteValue {
    long long units = 0;
    std::string_view type;
    bool dotted = false;
};

constexpr std::array<std::string_view, 9> kTypes{"whole", "half", "quarter", "eighth", "16th",
                                                 "32nd",  "64th", "128th",   "256th"};

// The note values that make up `length` units, longest first.
std::vector<NoteValue> note_values(long long length, const Grid& grid) {
    std::vector<NoteValue> values;
    const long long whole = 4LL * grid.divisions();
    while (length > 0) {
        for (std::size_t k = 0; k < kTypes.size(); ++k) {
            const long long plain = whole >> k;
            if (plain == 0) break;
            if (plain % 2 == 0 && plain + plain / 2 <= length) {
                values.push_back({plain + plain / 2, kTypes[k], true});
                break;
            }
            if (plain <= length) {
                values.push_back({plain, kTypes[k], false});
                break;
            }
        }
        length -= values.back().units;
    }
    return values;
}

// How a pitch is written: letter, alter (with the bend's fraction, in exact pitch), octave.
struct WrittenPitch {
    char step = 'C';
    std::string alter;  // empty for none
    int octave = 4;
    int alteration = 0;  // the spelled accidental
    int staff_position = 35;
};

// The alter as a decimal to a thousandth of a semitone, trailing zeros left off.
std::string alter_text(double alter) {
    const double rounded = std::round(alter * 1000) / 1000;
    if (rounded == 0) return {};
    std::string text = tuning::format_fixed(rounded, 3);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

WrittenPitch written_pitch(const RenderedNote& note, const tuning::KeySignature& key, ScorePitch pitch) {
    const tuning::NoteSpelling spelling = tuning::spell_note(note.key, key);
    WrittenPitch written;
    written.step = "CDEFGAB"[spelling.letter];
    const double fraction = pitch == ScorePitch::exact ? note.bend : 0.0;
    written.alter = alter_text(spelling.alteration + fraction);
    written.octave = spelling.staff_position / 7 - 1;
    written.alteration = spelling.alteration;
    written.staff_position = spelling.staff_position;
    return written;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string number(long long value) { return std::to_string(value); }

// The accidentals in force within a bar, by staff position: the key's, then those written.
class AccidentalsInBar {
public:
    explicit AccidentalsInBar(const tuning::KeySignature& key) {
        const int sign = key.kind == tuning::Accidentals::sharps ? 1 : -1;
        for (const int letter : tuning::key_signature_letters(key)) {
            key_alteration_[static_cast<std::size_t>(letter)] = sign;
        }
        start_bar();
    }
    void start_bar() {
        for (std::size_t p = 0; p < in_force_.size(); ++p) in_force_[p] = key_alteration_[p % 7];
    }
    // The accidental to write for a note that starts here, or nothing when the bar already has it.
    std::string_view accidental_for(const WrittenPitch& pitch) {
        const auto position = static_cast<std::size_t>(std::clamp(pitch.staff_position, 0, kPositions - 1));
        if (in_force_[position] == pitch.alteration) return {};
        in_force_[position] = pitch.alteration;
        return pitch.alteration > 0 ? "sharp" : pitch.alteration < 0 ? "flat" : "natural";
    }

private:
    static constexpr int kPositions = 7 * 11;
    std::array<int, 7> key_alteration_{};
    std::array<int, kPositions> in_force_{};
};

// Writes the parts of the score, bar by bar.
class ScoreWriter {
public:
    ScoreWriter(const RenderedTune& tune, const ScoreOptions& options)
        : tune_(tune), options_(options), grid_(choose_grid(tune)) {}

    std::string text() {
        long long end = grid_.units(tune_.end_secs);
        std::vector<std::vector<Voice>> voices_of_parts;
        for (const RenderedChannel& channel : tune_.channels) {
            voices_of_parts.push_back(voices_of(channel, grid_));
            for (const Voice& v : voices_of_parts.back()) end = std::max(end, v.back().end);
        }
        bars_ = std::max(1LL, (end + grid_.bar_units() - 1) / grid_.bar_units());
        header();
        for (std::size_t p = 0; p < tune_.channels.size(); ++p) part(p, voices_of_parts[p]);
        out_ += "</score-partwise>\n";
        return std::move(out_);
    }

private:
    void line(int depth, std::string_view text) {
        out_.append(static_cast<std::size_t>(depth) * 2, ' ');
        out_ += text;
        out_ += '\n';
    }

    static std::string part_id(std::size_t p) { return "P" + std::to_string(p + 1); }

    void header() {
        line(0, R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>)");
        line(0, R"(<!DOCTYPE score-partwise PUBLIC "-//Recordare//DTD MusicXML 4.0 Partwise//EN" )"
                R"("http://www.musicxml.org/dtds/partwise.dtd">)");
        line(0, R"(<score-partwise version="4.0">)");
        if (!options_.title.empty()) {
            line(1, "<work>");
            line(2, "<work-title>" + escaped(options_.title) + "</work-title>");
            line(1, "</work>");
        }
        line(1, "<identification>");
        line(2, "<encoding>");
        line(3, "<software>Corvane</software>");
        line(2, "</encoding>");
        line(1, "</identification>");
        line(1, "<part-list>");
        for (std::size_t p = 0; p < tune_.channels.size(); ++p) score_part(p);
        line(1, "</part-list>");
    }

    void score_part(std::size_t p) {
        const RenderedChannel& channel = tune_.channels[p];
        const std::string id = part_id(p);
        line(2, R"(<score-part id=")" + id + R"(">)");
        line(3, "<part-name>Channel " + number(channel.channel + 1) + "</part-name>");
        line(3, R"(<score-instrument id=")" + id + R"(-I1">)");
        line(4, "<instrument-name>" + escaped(midi::general_midi_instrument(channel.program)) + "</instrument-name>");
        line(3, "</score-instrument>");
        line(3, R"(<midi-instrument id=")" + id + R"(-I1">)");
        line(4, "<midi-channel>" + number(channel.channel + 1) + "</midi-channel>");
        line(4, "<midi-program>" + number(channel.program + 1) + "</midi-program>");
        line(3, "</midi-instrument>");
        line(2, "</score-part>");
    }

    void part(std::size_t p, const std::vector<Voice>& voices) {
        line(1, R"(<part id=")" + part_id(p) + R"(">)");
        std::vector<std::size_t> next_chord(voices.size(), 0);
        AccidentalsInBar accidentals(tune_.key);
        for (long long bar = 0; bar < bars_; ++bar) {
            line(2, R"(<measure number=")" + number(bar + 1) + R"(">)");
            if (bar == 0) first_bar_attributes(tune_.channels[p], p == 0);
            accidentals.start_bar();
            bool written_before = false;
            for (std::size_t v = 0; v < voices.size(); ++v) {
                const bool sounds = bar_has_notes(voices[v], next_chord[v], bar);
                if (!sounds && v > 0) continue;
                if (written_before) {
                    line(3, "<backup><duration>" + number(grid_.bar_units()) + "</duration></backup>");
                }
                voice_in_bar(voices[v], next_chord[v], bar, static_cast<int>(v + 1), accidentals);
                written_before = true;
            }
            line(2, "</measure>");
        }
        line(1, "</part>");
    }

    void first_bar_attributes(const RenderedChannel& channel, bool with_tempo) {
        line(3, "<attributes>");
        line(4, "<divisions>" + number(grid_.divisions()) + "</divisions>");
        const int fifths =
            tune_.key.kind == tuning::Accidentals::flats ? -tune_.key.accidentals : tune_.key.accidentals;
        line(4, "<key><fifths>" + number(fifths) + "</fifths></key>");
        line(4, "<time><beats>4</beats><beat-type>4</beat-type></time>");
        if (lies_low(channel)) {
            line(4, "<clef><sign>F</sign><line>4</line></clef>");
        } else {
            line(4, "<clef><sign>G</sign><line>2</line></clef>");
        }
        line(3, "</attributes>");
        if (!with_tempo) return;
        const std::string tempo = tuning::format_general(60.0 / (4 * tune_.note_length), 6);
        line(3, R"(<direction placement="above">)");
        line(4, "<direction-type>");
        line(5, "<metronome><beat-unit>quarter</beat-unit><per-minute>" + tempo + "</per-minute></metronome>");
        line(4, "</direction-type>");
        line(4, R"(<sound tempo=")" + tempo + R"("/>)");
        line(3, "</direction>");
    }

    // Below middle C on average: the bass clef.
    static bool lies_low(const RenderedChannel& channel) {
        double sum = 0;
        for (const RenderedNote& n : channel.notes) sum += n.key;
        return sum < 60.0 * static_cast<double>(channel.notes.size());
    }

    bool bar_has_notes(const Voice& voice, std::size_t next, long long bar) const {
        return next < voice.size() && voice[next].start < (bar + 1) * grid_.bar_units();
    }

    // The voice's notes and rests in one bar, from its first chord that has not ended
    // before the bar; `next` moves on past the chords that end within it.
    void voice_in_bar(const Voice& voice, std::size_t& next, long long bar, int voice_number,
                      AccidentalsInBar& accidentals) {
        const long long bar_start = bar * grid_.bar_units();
        const long long bar_end = bar_start + grid_.bar_units();
        if (!bar_has_notes(voice, next, bar)) {
            line(3, R"(<note><rest measure="yes"/><duration>)" + number(grid_.bar_units()) +
                        "</duration><voice>" + number(voice_number) + "</voice></note>");
            return;
        }
        long long position = bar_start;
        while (next < voice.size() && voice[next].start < bar_end) {
            const Chord& chord = voice[next];
            rests(chord.start - position, voice_number);
            position = std::max(position, chord.start);
            const long long piece_end = std::min(chord.end, bar_end);
            chord_in_bar(chord, position, piece_end, voice_number, accidentals);
            position = piece_end;
            if (chord.end > bar_end) break;  // tied on into the next bar
            ++next;
        }
        rests(bar_end - position, voice_number);
    }

    void rests(long long length, int voice_number) {
        for (const NoteValue& value : note_values(length, grid_)) {
            line(3, "<note>");
            line(4, "<rest/>");
            note_value_lines(value, voice_number);
            line(3, "</note>");
        }
    }

    // The part of a chord from `from` to `to`, in written values tied to each other and to
    // the parts of the chord in the bars around.
    void chord_in_bar(const Chord& chord, long long from, long long to, int voice_number,
                      AccidentalsInBar& accidentals) {
        const std::vector<NoteValue> values = note_values(to - from, grid_);
        long long position = from;
        for (const NoteValue& value : values) {
            const bool tied_from = position > chord.start;
            const bool tied_to = position + value.units < chord.end;
            for (std::size_t i = 0; i < chord.notes.size(); ++i) {
                const WrittenPitch pitch = written_pitch(*chord.notes[i], tune_.key, options_.pitch);
                const std::string_view accidental = tied_from ? std::string_view{} : accidentals.accidental_for(pitch);
                chord_note(pitch, value, i > 0, tied_from, tied_to, accidental, voice_number);
            }
            position += value.units;
        }
    }

    void chord_note(const WrittenPitch& pitch, const NoteValue& value, bool in_chord, bool tied_from, bool tied_to,
                    std::string_view accidental, int voice_number) {
        line(3, "<note>");
        if (in_chord) line(4, "<chord/>");
        std::string pitch_text = "<pitch><step>" + std::string(1, pitch.step) + "</step>";
        if (!pitch.alter.empty()) pitch_text += "<alter>" + pitch.alter + "</alter>";
        pitch_text += "<octave>" + number(pitch.octave) + "</octave></pitch>";
        line(4, pitch_text);
        line(4, "<duration>" + number(value.units) + "</duration>");
        if (tied_from) line(4, R"(<tie type="stop"/>)");
        if (tied_to) line(4, R"(<tie type="start"/>)");
        voice_and_type(value, voice_number);
        if (!accidental.empty()) line(4, "<accidental>" + std::string(accidental) + "</accidental>");
        if (tied_from || tied_to) {
            std::string ties = "<notations>";
            if (tied_from) ties += R"(<tied type="stop"/>)";
            if (tied_to) ties += R"(<tied type="start"/>)";
            line(4, ties + "</notations>");
        }
        line(3, "</note>");
    }

    void note_value_lines(const NoteValue& value, int voice_number) {
        line(4, "<duration>" + number(value.units) + "</duration>");
        voice_and_type(value, voice_number);
    }

    void voice_and_type(const NoteValue& value, int voice_number) {
        line(4, "<voice>" + number(voice_number) + "</voice>");
        line(4, "<type>" + std::string(value.type) + "</type>");
        if (value.dotted) line(4, "<dot/>");
    }

    const RenderedTune& tune_;
    const ScoreOptions& options_;
    Grid grid_;
    long long bars_ = 1;
    std::string out_;
};

std::size_t note_count(const RenderedTune& tune) {
    std::size_t notes = 0;
    for (const RenderedChannel& channel : tune.channels) notes += channel.notes.size();
    return notes;
}

}  // namespace

std::string musicxml_text(const RenderedTune& tune, const ScoreOptions& options) {
    return ScoreWriter(tune, options).text();
}

ScoreExportResult export_score(const std::filesystem::path& path, const engine::Composition& composition,
                               const midi::MidiSaveSettings& settings, const engine::PlayerSettings& player_settings,
                               const engine::VoiceSettings& voice_settings, platform::Reporter& reporter,
                               const ScoreOptions& options) {
    ScoreExportResult result;
    result.secs = settings.end_secs();
    if (!(result.secs > 0)) {
        result.error = "a score must last more than 0 s";
        return result;
    }
    const RenderedTune tune = render_tune(composition, settings, player_settings, voice_settings, reporter);
    if (tune.channels.empty()) {
        result.error = "no pitched note sounds in the first " + tuning::format_duration(result.secs);
        return result;
    }
    const std::string text = musicxml_text(tune, options);
    platform::FileSave save;
    int error = save.open(path);
    if (error == 0) error = save.write(text);
    if (error == 0) error = save.commit();
    if (error != 0) {
        result.error = "cannot write " + path.string() + ": " + platform::system_error_text(error);
        return result;
    }
    result.parts = tune.channels.size();
    result.notes = note_count(tune);
    return result;
}

}  // namespace corvane::files
