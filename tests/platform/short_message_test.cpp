#include <gtest/gtest.h>

#include <vector>

#include "corvane/platform/midi_message.h"
#include "corvane/platform/short_message.h"

namespace corvane::platform {
namespace {

TEST(ShortMessageBytes, ProgramChangeAndChannelPressureCarryOneDataByte) {
    const auto bytes_of = [](std::uint32_t message) {
        const auto bytes = short_message_bytes(message);
        return bytes ? std::vector<std::uint8_t>(bytes->view().begin(), bytes->view().end()) : std::vector<std::uint8_t>{};
    };
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ(bytes_of(pack_short_message(kNoteOn, 3, 60, 100)), (Bytes{0x93, 60, 100}));
    EXPECT_EQ(bytes_of(pack_short_message(kProgramChange, 1, 41, 0)), (Bytes{0xC1, 41}));
    EXPECT_EQ(bytes_of(0x00007FD0u), (Bytes{0xD0, 0x7F}));                              // channel pressure
    EXPECT_EQ(bytes_of(pack_short_message(kPitchBend, 0, 0x7F, 0x7F)), (Bytes{0xE0, 0x7F, 0x7F}));
    EXPECT_EQ(bytes_of(0x00000FF8u), (Bytes{0xF8}));                                    // timing clock
    EXPECT_EQ(bytes_of(0x0000F0F0u), Bytes{});                                          // sysex cannot be short
    EXPECT_EQ(bytes_of(0x00006040u), Bytes{});                                          // no status byte
}

}  // namespace
}  // namespace corvane::platform
