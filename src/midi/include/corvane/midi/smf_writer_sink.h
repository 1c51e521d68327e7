#pragma once

#include "corvane/midi/midi_out_port.h"
#include "corvane/midi/smf_writer.h"

namespace corvane::midi {

// Passes the events the port writes while a file is made (a save or a recording) to a writer.
class SmfWriterSink final : public FileEventSink {
public:
    explicit SmfWriterSink(SmfWriter& writer) : writer_(writer) {}
    int write_channel_event(std::uint32_t delta, std::uint8_t status, std::uint8_t channel, std::uint8_t data1,
                            std::uint8_t data2, int length, int track) override {
        return writer_.write_channel_event(delta, status, channel, data1, data2, length, track);
    }
    int write_sysex_event(std::uint32_t delta, std::span<const std::uint8_t> message, int track) override {
        return writer_.write_sysex_event(delta, message, track);
    }

private:
    SmfWriter& writer_;
};

}  // namespace corvane::midi
