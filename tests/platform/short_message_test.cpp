#include <gtest/gtest.h>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_message.h"
#include "corvane/platform/recording_output.h"
#include "corvane/platform/short_message.h"

namespace corvane::platform {
namespace {

TEST(RecordingOutput, RecordsEverySendInOrderWithItsClockTime) {
    ManualClock clock(100);
    RecordingOutputSystem devices(clock, {"First", "Second"});
    std::string error;
    auto output = devices.open_output(1, error);
    ASSERT_NE(output, nullptr) << error;
    const auto bend = pack_short_message(kPitchBend, 2, 0x00, 0x48);
    const auto on = pack_short_message(kNoteOn, 2, 60, 100);
    const auto off = pack_short_message(kNoteOn, 2, 60, 0);
    EXPECT_EQ(output->send_short(bend), kSendOk);
    EXPECT_EQ(output->send_short(on), kSendOk);
    clock.advance(250);
    EXPECT_EQ(output->send_short(off), kSendOk);

    EXPECT_EQ(devices.messages(), (std::vector<RecordedMessage>{{100, bend}, {100, on}, {350, off}}));
    EXPECT_EQ(devices.last_opened_device(), 1);
    output.reset();
    EXPECT_EQ(devices.close_count(), 1);
}

TEST(RecordingOutput, CanBeMadeToFailOpeningAndSending) {
    ManualClock clock;
    RecordingOutputSystem devices(clock);
    std::string error;
    EXPECT_EQ(devices.open_output(5, error), nullptr);
    EXPECT_FALSE(error.empty());

    devices.fail_open("Device busy");
    EXPECT_EQ(devices.open_output(kBuiltInSynthDevice, error), nullptr);
    EXPECT_EQ(error, "Device busy");
    EXPECT_EQ(devices.open_count(), 0);

    devices.fail_open("");
    devices.fail_sends(kSendDeviceError);
    auto output = devices.open_output(0, error);
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(output->send_short(pack_short_message(kNoteOn, 0, 60, 1)), kSendDeviceError);
    EXPECT_TRUE(devices.messages().empty());
}

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
