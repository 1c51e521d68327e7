#include "midi_event_text.h"

#include <cmath>

#include "corvane/midi/general_midi.h"
#include "corvane/platform/midi_message.h"
#include "corvane/tuning/mts_pitch.h"
#include "number_text.h"

namespace corvane::midi::detail {
namespace {

constexpr double kPercentPerStep = 100.0 / 127.0;
// The dump reads a bend as at the usual range of two semitones either way.
constexpr double kCentsPerBendStep = 100.0 / platform::kBendStepsPerSemitone;
constexpr std::size_t kMaxShownText = 9999;

// How a controller's value is written after its label.
enum class Shows {
    undefined,         // "- undefined controller %d value %d"
    value,             // label " %d"
    percent,           // label " %d (%g%% of range)"
    percent_only,      // label " (%g%% of range)"
    on_off,            // label " on|off"
    nothing,           // label alone
    data_entry_msb,    // pitch bend range in semitones when that parameter is selected
    data_entry_lsb,    // ... in cents
    nrpn_lsb,
    nrpn_msb,
    rpn_lsb,           // " - fine rpn %d (%s)"
    rpn_msb,           // " - coarse registered parameter number %d"
    local_control,     // " - %s\tsynthesizer keyboard from its sound generator"
};

struct Controller {
    Shows shows = Shows::undefined;
    std::string_view label;
};

constexpr std::array<Controller, 128> make_controllers() {
    std::array<Controller, 128> c{};
    c[0] = {Shows::value, "- Bank Select MSB"};
    c[1] = {Shows::percent, "- Modulation Wheel"};
    c[2] = {Shows::percent, "- Breath Controller"};
    c[4] = {Shows::percent, "- Foot Controller"};
    c[5] = {Shows::percent_only, " - portamento time"};
    c[6] = {Shows::data_entry_msb, "- Data Entry, MSB"};
    c[7] = {Shows::percent, "- Channel Volume"};
    c[8] = {Shows::percent, "- Balance"};
    c[10] = {Shows::percent, "- Pan"};
    c[11] = {Shows::percent, "- Expression Controller"};
    c[12] = {Shows::percent, "- Effect Control 1"};
    c[13] = {Shows::percent, "- Effect Control 2"};
    c[16] = {Shows::percent, "- General Purpose Controller 1"};
    c[17] = {Shows::percent, "- General Purpose Controller 2"};
    c[18] = {Shows::percent, "- General Purpose Controller 3"};
    c[19] = {Shows::percent, "- General Purpose Controller 4"};
    // The fine (LSB) twins, 32 above their coarse controllers.
    c[32] = {Shows::value, "- Bank Select LSB"};
    c[33] = {Shows::percent_only, "- Modulation Wheel fine"};
    c[34] = {Shows::percent, "- Breath Controller fine"};
    c[36] = {Shows::percent, "- Foot Controller fine"};
    c[37] = {Shows::percent_only, " - portamento time fine"};
    c[38] = {Shows::data_entry_lsb, "- Data Entry, LSB"};
    c[39] = {Shows::percent, "- Channel Volume fine"};
    c[40] = {Shows::percent, "- Balance fine"};
    c[42] = {Shows::percent, "- Pan fine"};
    c[43] = {Shows::percent, "- Expression Controller fine"};
    c[44] = {Shows::percent, "- Effect Control 1 fine"};
    c[45] = {Shows::percent, "- Effect Control 2 fine"};
    c[48] = {Shows::percent, "- General Purpose Controller 1 fine"};
    c[49] = {Shows::percent, "- General Purpose Controller 2 fine"};
    c[50] = {Shows::percent, "- General Purpose Controller 3 fine"};
    c[51] = {Shows::percent, "- General Purpose Controller 4 fine"};
    c[64] = {Shows::on_off, "- Damper Pedal (sustain)"};
    c[65] = {Shows::on_off, "- Portamento"};
    c[66] = {Shows::on_off, "- Sostenuto"};
    c[67] = {Shows::on_off, "- Soft Pedal"};
    c[68] = {Shows::on_off, "- Legato Footswitch"};
    c[69] = {Shows::value, "- Hold 2"};
    c[70] = {Shows::percent, "- Sound controller 1  Sound variation"};
    c[71] = {Shows::percent, "- Sound controller 2  Timbre/Harmonic Intensity"};
    c[72] = {Shows::percent, "- Sound controller 3  Release Time"};
    c[73] = {Shows::percent, "- Sound controller 4  Attack Time"};
    c[74] = {Shows::percent, "- Sound controller 5  Brightness"};
    c[75] = {Shows::percent, "- Sound controller 6 "};  // numbers padded to two places
    c[76] = {Shows::percent, "- Sound controller 7 "};
    c[77] = {Shows::percent, "- Sound controller 8 "};
    c[78] = {Shows::percent, "- Sound controller 9 "};
    c[79] = {Shows::percent, "- Sound controller 10"};
    c[80] = {Shows::value, "- General Purpose Controller 5"};
    c[81] = {Shows::value, "- General Purpose Controller 6"};
    c[82] = {Shows::value, "- General Purpose Controller 7"};
    c[83] = {Shows::value, "- General Purpose Controller 8"};
    c[84] = {Shows::value, "- portamento slide from note"};
    c[91] = {Shows::percent, "- External Effects Depth"};
    c[92] = {Shows::percent, "- Tremulo Depth"};
    c[93] = {Shows::percent, "- Chorus Effects Depth"};
    c[94] = {Shows::percent, "- Celeste (Detune) Depth"};
    c[95] = {Shows::percent, "- Phaser Depth"};
    c[96] = {Shows::value, "- Data Increment"};
    c[97] = {Shows::value, "- Data Decrement"};
    c[98] = {Shows::nrpn_lsb, "- Non registered paramater number LSB"};
    c[99] = {Shows::nrpn_msb, "- Non registered paramater number MSB"};
    c[100] = {Shows::rpn_lsb, " - fine rpn"};
    c[101] = {Shows::rpn_msb, " - coarse registered parameter number"};
    c[120] = {Shows::nothing, " - all sound off"};
    c[121] = {Shows::nothing, " - Reset all controllers"};
    c[122] = {Shows::local_control, ""};
    c[123] = {Shows::nothing, " - All notes off"};
    c[124] = {Shows::nothing, " - Omni mode off"};
    c[125] = {Shows::nothing, " - Omni mode on"};
    c[126] = {Shows::value, " - Mono mode on data"};
    c[127] = {Shows::nothing, " - Poly mode on"};
    return c;
}

constexpr std::array<Controller, 128> kControllers = make_controllers();

void append_percent(std::string& out, int value) {
    out += " (";
    append_general(out, value * kPercentPerStep);
    out += "% of range)";
}

void append_labelled_value(std::string& out, std::string_view label, int value) {
    out += label;
    out += ' ';
    append_integer(out, value);
}

// What the data entry sets for the registered parameters the program sends besides the bend
// range; empty for the others.
std::string_view data_entry_name(const ParameterSelection& selection) {
    if (!selection.registered || selection.msb != 0) return {};
    switch (selection.lsb) {
    case platform::registered_parameter::kTuningProgram: return "tuning program";
    case platform::registered_parameter::kTuningBank: return "tuning bank";
    case platform::registered_parameter::kMpeConfiguration: return "MPE configuration";
    default: return {};
    }
}

void append_controller(std::string& out, int number, int value, ParameterSelection& selection) {
    const Controller& c = kControllers[static_cast<std::size_t>(number & 0x7F)];
    switch (c.shows) {
    case Shows::undefined:
        out += "- undefined controller ";
        append_integer(out, number);
        out += " value ";
        append_integer(out, value);
        return;
    case Shows::value:
        append_labelled_value(out, c.label, value);
        return;
    case Shows::percent:
        append_labelled_value(out, c.label, value);
        append_percent(out, value);
        return;
    case Shows::percent_only:
        out += c.label;
        append_percent(out, value);
        return;
    case Shows::on_off:
        out += c.label;
        out += value >= 64 ? " on" : " off";
        return;
    case Shows::nothing:
        out += c.label;
        return;
    case Shows::data_entry_msb:
        if (selection.pitch_bend_sensitivity()) {
            out += "Data Entry - coarse pitch bend range ";
            append_integer(out, value);
            out += " semitones";
        } else if (const auto name = data_entry_name(selection); !name.empty()) {
            out += "Data Entry - ";
            out += name;
            out += ' ';
            append_integer(out, value);
            if (selection.lsb == platform::registered_parameter::kMpeConfiguration) out += " member channels";
        } else {
            append_labelled_value(out, c.label, value);
        }
        return;
    case Shows::data_entry_lsb:
        if (selection.pitch_bend_sensitivity()) {
            out += "Data Entry - fine pitch bend range ";
            append_integer(out, value);
            out += " cents";
        } else {
            append_labelled_value(out, c.label, value);
        }
        return;
    case Shows::nrpn_lsb:
    case Shows::nrpn_msb:
        selection.registered = false;
        (c.shows == Shows::nrpn_lsb ? selection.lsb : selection.msb) = value;
        append_labelled_value(out, c.label, value);
        return;
    case Shows::rpn_lsb:
        selection.registered = true;
        selection.lsb = value;
        append_labelled_value(out, c.label, value);
        out += " (";
        out += registered_parameter_name(value);
        out += ')';
        return;
    case Shows::rpn_msb:
        selection.registered = true;
        selection.msb = value;
        append_labelled_value(out, c.label, value);
        return;
    case Shows::local_control:
        out += " - ";
        out += value >= 64 ? "reconnect" : "disconnect";
        out += "\tsynthesizer keyboard from its sound generator";
        return;
    }
}

void append_channel(std::string& out, std::string_view prefix, int channel) {
    out += prefix;
    append_integer(out, channel + 1);
}

void append_pitch_bend(std::string& out, int channel, int data1, int data2) {
    const int value = (data2 << 7 | data1) - platform::kBendCentre;
    double cents = value * kCentsPerBendStep;
    if (std::fabs(cents) < 1e-50) cents = 0;
    append_channel(out, "ch. ", channel);
    out += " pitch bend ";
    append_integer(out, value);
    out += " (";
    append_general(out, cents);
    out += " cents)";
}

// "ch. %d <words> %d <more words> %d"
void append_two_values(std::string& out, int channel, std::string_view words, int first, std::string_view more,
                       int second) {
    append_channel(out, "ch. ", channel);
    out += words;
    append_integer(out, first);
    out += more;
    append_integer(out, second);
}

std::string_view text_meta_name(std::uint8_t type) {
    switch (type) {
    case 0x01: return "text";
    case 0x02: return "copyright";
    case 0x03: return "track name";
    case 0x04: return "instrument";
    case 0x05: return "lyric";
    case 0x06: return "marker";
    case 0x07: return "cue";
    case 0x08: return "program name";
    case 0x09: return "device name";
    default: return {};
    }
}

void append_meta_type(std::string& out, std::uint8_t type) {
    out += "meta event type ";
    append_integer(out, static_cast<int>(type));
}

void append_byte_count(std::string& out, std::size_t count) {
    append_integer(out, count);
    out += count == 1 ? " byte" : " bytes";
}

// A fixed-size meta event whose length is wrong says so instead of reading its fields.
bool length_is(std::span<const std::uint8_t> data, std::size_t expected, std::string& detail) {
    if (data.size() == expected) return true;
    detail += "(length ";
    append_integer(detail, data.size());
    detail += ", should be ";
    append_integer(detail, expected);
    detail += ')';
    return false;
}

void append_tempo(std::span<const std::uint8_t> data, std::string& detail) {
    if (!length_is(data, 3, detail)) return;
    const int tempo = data[0] << 16 | data[1] << 8 | data[2];
    append_integer(detail, tempo);
    detail += " microseconds per quarter note";
    if (tempo > 0) {
        detail += " (";
        append_general(detail, 60e6 / tempo);
        detail += " quarter notes per minute)";
    }
}

void append_smpte_offset(std::span<const std::uint8_t> data, std::string& detail) {
    if (!length_is(data, 5, detail)) return;
    const std::array<std::string_view, 5> names{"hour ", " minute ", " second ", " frame ", " hundredths "};
    for (std::size_t i = 0; i < names.size(); ++i) {
        detail += names[i];
        append_integer(detail, i == 0 ? data[i] & 0x1F : data[i]);
    }
}

void append_time_signature(std::span<const std::uint8_t> data, std::string& detail) {
    if (!length_is(data, 4, detail)) return;
    append_integer(detail, static_cast<int>(data[0]));
    detail += '/';
    if (data[1] < 31) {
        append_integer(detail, 1L << data[1]);
    } else {
        detail += "2^";
        append_integer(detail, static_cast<int>(data[1]));
    }
    detail += ", ";
    append_integer(detail, static_cast<int>(data[2]));
    detail += " clocks per metronome click, ";
    append_integer(detail, static_cast<int>(data[3]));
    detail += " 32nd notes per quarter note";
}

void append_key_signature(std::span<const std::uint8_t> data, std::string& detail) {
    if (!length_is(data, 2, detail)) return;
    const int sf = static_cast<std::int8_t>(data[0]);
    if (sf == 0) {
        detail += "no sharps or flats";
    } else {
        append_integer(detail, sf > 0 ? sf : -sf);
        detail += sf > 0 ? " sharp" : " flat";
        if (sf != 1 && sf != -1) detail += 's';
    }
    detail += data[1] != 0 ? " minor" : " major";
}

// The tuning standard's messages, after F0: real-time or not, the device, the standard's ID,
// then what kind.
bool is_tuning_message(std::span<const std::uint8_t> data, std::uint8_t time, std::uint8_t kind) {
    return data.size() >= 4 && data[0] == time && data[2] == platform::sysex::kMidiTuning && data[3] == kind;
}

// "key 60 to 60.5000", or "key 60 unchanged" for the three bytes that leave it as it is.
void append_key_tuning(std::string& out, std::span<const std::uint8_t> key_and_pitch) {
    out += "key ";
    append_integer(out, static_cast<int>(key_and_pitch[0]));
    const platform::TuningBytes pitch{key_and_pitch[1], key_and_pitch[2], key_and_pitch[3]};
    constexpr auto kUnchanged = platform::sysex::kNoTuningChange;
    if (pitch == platform::TuningBytes{kUnchanged, kUnchanged, kUnchanged}) {
        out += " unchanged";
        return;
    }
    out += " to ";
    append_fixed(out, tuning::midi_pitch_of(pitch), 4);
}

// A real-time single-note tuning change: 7F, device, 08 02, program, count, then four bytes a
// key (the key, its semitone, the fraction's high and low seven bits), F7.
bool describe_tuning_change(std::span<const std::uint8_t> data, EventText& out) {
    constexpr std::size_t kHead = 6;
    constexpr std::size_t kBytesPerKey = 4;
    if (!is_tuning_message(data, platform::sysex::kRealTime, platform::sysex::kSingleNoteTuningChange) ||
        data.size() < kHead + 1) {
        return false;
    }
    const std::size_t keys = data[5];
    if (keys == 0 || data.size() != kHead + keys * kBytesPerKey + 1) return false;
    out.what += "MIDI tuning:";
    for (std::size_t k = 0; k < keys; ++k) {
        if (k > 0) out.detail += ", ";
        append_key_tuning(out.detail, data.subspan(kHead + k * kBytesPerKey, kBytesPerKey));
    }
    out.detail += " in program ";
    append_integer(out.detail, static_cast<int>(data[4]));
    return true;
}

// A bulk tuning dump: 7E, device, 08 01, program, a 16-character name, three bytes for each of
// the 128 keys, the checksum, F7.
bool describe_tuning_dump(std::span<const std::uint8_t> data, EventText& out) {
    constexpr std::size_t kName = 5;
    const std::size_t checksum_at = platform::kBulkTuningDumpSize - 3;  // counted after F0
    if (!is_tuning_message(data, platform::sysex::kNonRealTime, platform::sysex::kBulkTuningDump) ||
        data.size() != platform::kBulkTuningDumpSize - 1) {
        return false;
    }
    std::uint8_t checksum = 0;
    for (std::size_t i = 0; i < checksum_at; ++i) checksum ^= data[i];
    auto name = data.subspan(kName, platform::kTuningNameLength);
    while (!name.empty() && name.back() == ' ') name = name.first(name.size() - 1);
    out.what += "MIDI tuning dump:";
    out.detail += "program ";
    append_integer(out.detail, static_cast<int>(data[4]));
    out.detail += " \"";
    append_shown_text(out.detail, name, platform::kTuningNameLength);
    out.detail += (checksum & 0x7F) == data[checksum_at] ? "\", checksum right" : "\", checksum wrong";
    return true;
}

}  // namespace

std::string_view registered_parameter_name(int number) {
    switch (number) {
    case 0: return "pitch bend sensitivity";
    case 1: return "fine tuning";
    case 2: return "coarse tuning";
    case 3: return "tuning program select";
    case 4: return "tuning bank select";
    case 6: return "MPE configuration";
    default: return "not recognised";
    }
}

void append_shown_text(std::string& out, std::span<const std::uint8_t> text, std::size_t limit) {
    const std::size_t shown = std::min(text.size(), limit);
    for (std::size_t i = 0; i < shown; ++i) {
        const std::uint8_t c = text[i];
        out += c < 0x20 || c == 0x7F ? '.' : static_cast<char>(c);
    }
}

void describe_channel_event(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                            ChannelSelections& selections, EventText& out) {
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case 0x80:
        append_two_values(out.what, channel, " note off ", data1, " vel. ", data2);
        return;
    case 0x90:
        append_two_values(out.what, channel, " note on ", data1, " vel. ", data2);
        return;
    case 0xA0:
        append_two_values(out.what, channel, " Aftertouch note ", data1, " pressure. ", data2);
        return;
    case 0xB0:
        append_channel(out.what, "channel ", channel);
        out.what += " controller";
        append_controller(out.detail, data1, data2, selections[static_cast<std::size_t>(channel)]);
        return;
    case 0xC0: {
        out.what += "voice - set patch";
        append_channel(out.detail, "ch. ", channel);
        out.detail += " change voice to ";
        append_integer(out.detail, static_cast<int>(data1));
        out.detail += " - ";
        const auto name = general_midi_instrument(data1);
        out.detail += name.empty() ? std::string_view("out of range value") : name;
        return;
    }
    case 0xD0:
        append_channel(out.what, "ch. ", channel);
        out.what += " Overall channel aftertouch pressure ";
        append_integer(out.what, static_cast<int>(data1));
        append_percent(out.what, data1);
        return;
    default:
        append_pitch_bend(out.what, channel, data1, data2);
        return;
    }
}

void describe_meta_event(std::uint8_t type, std::span<const std::uint8_t> data, EventText& out) {
    if (type >= 0x01 && type <= 0x0F) {
        const auto name = text_meta_name(type);
        if (name.empty()) {
            append_meta_type(out.what, type);
        } else {
            out.what += name;
        }
        out.detail += '"';
        append_shown_text(out.detail, data, kMaxShownText);
        out.detail += '"';
        return;
    }
    switch (type) {
    case 0x00:
        out.what += "sequence number";
        if (length_is(data, 2, out.detail)) append_integer(out.detail, data[0] << 8 | data[1]);
        return;
    case 0x20:
        out.what += "channel prefix";
        if (length_is(data, 1, out.detail)) append_channel(out.detail, "ch. ", data[0]);
        return;
    case 0x21:
        out.what += "port";
        if (length_is(data, 1, out.detail)) append_integer(out.detail, static_cast<int>(data[0]));
        return;
    case 0x2F:
        out.what += "end of track";
        if (!data.empty()) length_is(data, 0, out.detail);
        return;
    case 0x51:
        out.what += "tempo";
        append_tempo(data, out.detail);
        return;
    case 0x54:
        out.what += "SMPTE offset";
        append_smpte_offset(data, out.detail);
        return;
    case 0x58:
        out.what += "time signature";
        append_time_signature(data, out.detail);
        return;
    case 0x59:
        out.what += "key signature";
        append_key_signature(data, out.detail);
        return;
    case 0x7F:
        out.what += "sequencer specific";
        append_byte_count(out.detail, data.size());
        return;
    default:
        append_meta_type(out.what, type);
        append_byte_count(out.detail, data.size());
        return;
    }
}

void describe_sysex(std::uint8_t status, std::span<const std::uint8_t> data, EventText& out) {
    if (status == platform::kSysexStart && (describe_tuning_change(data, out) || describe_tuning_dump(data, out))) {
        return;
    }
    out.what += status == platform::kSysexStart ? "system exclusive" : "system exclusive continuation or escape";
    append_byte_count(out.detail, data.size());
}

}  // namespace corvane::midi::detail
