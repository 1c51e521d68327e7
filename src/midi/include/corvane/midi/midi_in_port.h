#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "corvane/midi/midi_out_port.h"
#include "corvane/platform/midi_input.h"
#include "corvane/platform/reporter.h"

namespace corvane::midi {

inline constexpr int kFirstInDeviceCommand = 0x3500;  // input device d is command 0x3500 + d
inline constexpr int kOpenInNowCommand = 1350;
inline constexpr int kInOptionsCommand = 40060;
inline constexpr std::string_view kNoInputDevicesMessage = "No MIDI input devices found.";

// Handles what arrives from the open input (on the driver's thread), and learns when the
// input opens so it can forget the notes of an earlier session.
class MidiInHandler : public platform::MidiInputReceiver {
public:
    virtual void on_input_opened() = 0;
};

// Told when the input opens or closes (the menu tick, the channels window).
class MidiInPortObserver {
public:
    virtual ~MidiInPortObserver() = default;
    virtual void midi_in_open_changed(bool open) = 0;
};

// The MIDI in port: the input device list and choice, opening and closing. Messages of the
// open input go to the handler.
class MidiInPort {
public:
    MidiInPort(platform::MidiInputSystem& devices, platform::Reporter& reporter, MidiInHandler& handler);
    ~MidiInPort();
    MidiInPort(const MidiInPort&) = delete;
    MidiInPort& operator=(const MidiInPort&) = delete;

    void set_observer(MidiInPortObserver* observer) { observer_ = observer; }

    // Reads the device list into the 30 slots and the In menu; reports and returns false when
    // there is no input device.
    bool enumerate_devices();
    const std::vector<OutMenuItem>& in_menu() const { return in_menu_; }
    int device() const { return device_; }
    void set_device(int device) { device_ = device; }
    // midi_in_select: the In menu command; the new device is used from the next open.
    void select(int command) { device_ = command - kFirstInDeviceCommand; }

    OpenResult open();  // midi_in_open: reports a failure
    void close();       // midi_in_close
    bool is_open() const { return open_.load(); }

private:
    std::string open_failure_message() const;

    platform::MidiInputSystem& devices_;
    platform::Reporter& reporter_;
    MidiInHandler& handler_;
    MidiInPortObserver* observer_ = nullptr;

    std::mutex lock_;
    std::unique_ptr<platform::MidiInput> input_;
    std::atomic<bool> open_{false};
    int device_ = 0;
    std::array<std::string, kDeviceSlots> device_names_{};
    int device_count_ = 0;
    std::vector<OutMenuItem> in_menu_;
};

}  // namespace corvane::midi
