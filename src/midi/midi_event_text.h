#pragma once

// The words of the hex dump: what each channel event, controller and meta event says.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvane::midi::detail {

// The parameter a channel's data entry controllers set, as selected by controllers 98-101.
struct ParameterSelection {
    int msb = 127;  // 127/127 is the null parameter
    int lsb = 127;
    bool registered = false;
    bool pitch_bend_sensitivity() const { return registered && msb == 0 && lsb == 0; }
};
using ChannelSelections = std::array<ParameterSelection, 16>;

// A description in two parts, written as "%s %s": the event, then its detail (which may be
// empty). The strings are reused from event to event.
struct EventText {
    std::string what;
    std::string detail;
    void clear() {
        what.clear();
        detail.clear();
    }
};

// Channel events: status 0x80-0xEF with their one or two data bytes (data2 unused for
// program change and channel pressure). Control changes update the selections.
void describe_channel_event(std::uint8_t status, std::uint8_t data1, std::uint8_t data2,
                            ChannelSelections& selections, EventText& out);

// Meta events (after 0xFF): type and data.
void describe_meta_event(std::uint8_t type, std::span<const std::uint8_t> data, EventText& out);

// System exclusive (0xF0) and its continuation or escape (0xF7), `data` being what follows
// the length. The tuning standard's single-note changes and bulk dumps are read; any other
// message is told by its length.
void describe_sysex(std::uint8_t status, std::span<const std::uint8_t> data, EventText& out);

// The names of registered parameters 0-4 and 6; "not recognised" for others.
std::string_view registered_parameter_name(int number);

// Appends text from a file so that it cannot end the comment line: control characters
// become '.'; at most `limit` characters.
void append_shown_text(std::string& out, std::span<const std::uint8_t> text, std::size_t limit);

}  // namespace corvane::midi::detail
