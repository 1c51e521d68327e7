#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "corvane/platform/clock.h"
#include "corvane/platform/midi_output.h"

namespace corvane::platform {

// One message as a recording output received it, stamped with its clock's time. A system
// exclusive message is kSysexStart alone, its bytes kept by the recording.
struct RecordedMessage {
    std::int64_t time_ms = 0;
    std::uint32_t message = 0;
    std::uint32_t sysex_at = 0;  // where its bytes begin among the recording's sysex bytes
    std::uint32_t sysex_size = 0;

    friend bool operator==(const RecordedMessage&, const RecordedMessage&) = default;
};

// The shared, thread-safe list behind recording outputs. Its room is reserved up front so
// that recording does not allocate on the sending thread (a player tick must not) until
// more than `capacity` messages, or `sysex_capacity` bytes of system exclusive, have come in.
class MessageRecording {
public:
    explicit MessageRecording(std::size_t capacity = 1 << 16, std::size_t sysex_capacity = 1 << 16);

    void add(RecordedMessage message);
    void add_sysex(std::int64_t time_ms, std::span<const std::uint8_t> message);
    std::vector<RecordedMessage> messages() const;
    // The bytes of a recorded message as they went to the device.
    std::vector<std::uint8_t> bytes_of(const RecordedMessage& message) const;
    // Every message's bytes, in the order they came.
    std::vector<std::vector<std::uint8_t>> all_bytes() const;
    std::size_t size() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<RecordedMessage> messages_;
    std::vector<std::uint8_t> sysex_bytes_;
};

// A MIDI output for tests: keeps every message it accepts, in order, with the clock's time.
// It can be told to refuse sends; refused messages are not recorded.
class RecordingMidiOutput final : public MidiOutput {
public:
    explicit RecordingMidiOutput(const Clock& clock, std::shared_ptr<MessageRecording> recording = nullptr,
                                 std::shared_ptr<const std::atomic<bool>> lost = nullptr);
    ~RecordingMidiOutput() override;
    RecordingMidiOutput(const RecordingMidiOutput&) = delete;
    RecordingMidiOutput& operator=(const RecordingMidiOutput&) = delete;

    // Every later send returns `result` (kSendOk to accept again).
    void set_send_result(int result);
    // Once the system loses its outputs, sends fail and nothing more is recorded.
    bool lost() const override { return lost_ && lost_->load(); }

    std::vector<RecordedMessage> messages() const { return recording_->messages(); }
    const std::shared_ptr<MessageRecording>& recording() const { return recording_; }

    // Called when the output is destroyed (the system counts closes with it).
    void on_close(std::function<void()> closed) { closed_ = std::move(closed); }

private:
    int deliver_short(std::uint32_t message, DueTime due) noexcept override;
    int deliver_sysex(std::span<const std::uint8_t> message, DueTime due) noexcept override;

    const Clock& clock_;
    std::shared_ptr<MessageRecording> recording_;
    std::atomic<int> send_result_{kSendOk};
    std::shared_ptr<const std::atomic<bool>> lost_;
    std::function<void()> closed_;
};

// Output devices for tests: any number of named devices, all recording into one list.
class RecordingOutputSystem final : public MidiOutputSystem {
public:
    explicit RecordingOutputSystem(const Clock& clock, std::vector<std::string> names = {"Recorder"},
                                   std::string built_in = "Recording synthesizer");

    std::vector<std::string> output_names() override { return names_; }
    std::string built_in_name() override { return built_in_; }
    std::unique_ptr<MidiOutput> open_output(int device, std::string& error) override;

    // While set, opening fails with this text (empty text: opening works again).
    void fail_open(std::string error) { open_error_ = std::move(error); }
    // Outputs opened from now on return `result` from every send.
    void fail_sends(int result) { send_result_ = result; }
    // The outputs open now go away, as when a device is unplugged; later opens work.
    void lose_open_outputs();

    std::vector<RecordedMessage> messages() const { return recording_->messages(); }
    const std::shared_ptr<MessageRecording>& recording() const { return recording_; }
    std::optional<int> last_opened_device() const { return last_opened_device_; }
    int open_count() const { return open_count_; }
    int close_count() const { return *close_count_; }
    // How many messages had been recorded when an output last closed: what the devices
    // before a change of device were sent.
    std::size_t messages_at_last_close() const { return messages_at_last_close_->load(); }

private:
    const Clock& clock_;
    std::vector<std::string> names_;
    std::string built_in_;
    std::shared_ptr<MessageRecording> recording_ = std::make_shared<MessageRecording>();
    std::string open_error_;
    int send_result_ = kSendOk;
    std::shared_ptr<std::atomic<bool>> lost_ = std::make_shared<std::atomic<bool>>(false);
    std::optional<int> last_opened_device_;
    int open_count_ = 0;
    std::shared_ptr<std::atomic<int>> close_count_ = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<std::size_t>> messages_at_last_close_ = std::make_shared<std::atomic<std::size_t>>(0);
};

}  // namespace corvane::platform
