#include "corvane/platform/recording_output.h"

#include "corvane/platform/midi_message.h"
#include "corvane/platform/short_message.h"

namespace corvane::platform {

MessageRecording::MessageRecording(std::size_t capacity, std::size_t sysex_capacity) {
    messages_.reserve(capacity);
    sysex_bytes_.reserve(sysex_capacity);
}

void MessageRecording::add(RecordedMessage message) {
    const std::lock_guard lock(mutex_);
    messages_.push_back(message);
}

void MessageRecording::add_sysex(std::int64_t time_ms, std::span<const std::uint8_t> message) {
    const std::lock_guard lock(mutex_);
    messages_.push_back({time_ms, kSysexStart, static_cast<std::uint32_t>(sysex_bytes_.size()),
                         static_cast<std::uint32_t>(message.size())});
    sysex_bytes_.insert(sysex_bytes_.end(), message.begin(), message.end());
}

std::vector<RecordedMessage> MessageRecording::messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::uint8_t> MessageRecording::bytes_of(const RecordedMessage& message) const {
    if (message.sysex_size == 0) {
        const auto bytes = short_message_bytes(message.message);
        if (!bytes) return {};
        const auto view = bytes->view();
        return {view.begin(), view.end()};
    }
    const std::lock_guard lock(mutex_);
    const auto start = sysex_bytes_.begin() + message.sysex_at;
    return {start, start + message.sysex_size};
}

std::vector<std::vector<std::uint8_t>> MessageRecording::all_bytes() const {
    std::vector<std::vector<std::uint8_t>> all;
    for (const RecordedMessage& message : messages()) all.push_back(bytes_of(message));
    return all;
}

std::size_t MessageRecording::size() const {
    const std::lock_guard lock(mutex_);
    return messages_.size();
}

void MessageRecording::clear() {
    const std::lock_guard lock(mutex_);
    messages_.clear();
    sysex_bytes_.clear();
}

RecordingMidiOutput::RecordingMidiOutput(const Clock& clock, std::shared_ptr<MessageRecording> recording,
                                         std::shared_ptr<const std::atomic<bool>> lost)
    : clock_(clock),
      recording_(recording ? std::move(recording) : std::make_shared<MessageRecording>()),
      lost_(std::move(lost)) {}

RecordingMidiOutput::~RecordingMidiOutput() {
    if (closed_) closed_();
}

int RecordingMidiOutput::deliver_short(std::uint32_t message, DueTime) noexcept {
    if (lost()) return kSendDeviceError;
    const int result = send_result_.load();
    if (result == kSendOk) recording_->add({clock_.now_ms(), message});
    return result;
}

int RecordingMidiOutput::deliver_sysex(std::span<const std::uint8_t> message, DueTime) noexcept {
    if (!is_sysex_message(message)) return kSendInvalidMessage;
    if (lost()) return kSendDeviceError;
    const int result = send_result_.load();
    if (result == kSendOk) recording_->add_sysex(clock_.now_ms(), message);
    return result;
}

void RecordingMidiOutput::set_send_result(int result) { send_result_ = result; }

RecordingOutputSystem::RecordingOutputSystem(const Clock& clock, std::vector<std::string> names, std::string built_in)
    : clock_(clock), names_(std::move(names)), built_in_(std::move(built_in)) {}

std::unique_ptr<MidiOutput> RecordingOutputSystem::open_output(int device, std::string& error) {
    const bool listed = device == kBuiltInSynthDevice ? !built_in_.empty()
                                                      : device >= 0 && static_cast<std::size_t>(device) < names_.size();
    if (!listed) {
        error = "There is no MIDI output device " + std::to_string(device) + ".";
        return nullptr;
    }
    if (!open_error_.empty()) {
        error = open_error_;
        return nullptr;
    }
    auto output = std::make_unique<RecordingMidiOutput>(clock_, recording_, lost_);
    output->set_send_result(send_result_);
    output->on_close([count = close_count_, at_close = messages_at_last_close_, recording = recording_] {
        ++*count;
        at_close->store(recording->size());
    });
    last_opened_device_ = device;
    ++open_count_;
    return output;
}

void RecordingOutputSystem::lose_open_outputs() {
    lost_->store(true);
    lost_ = std::make_shared<std::atomic<bool>>(false);
}

}  // namespace corvane::platform
