#pragma once

namespace corvane::platform {

// The keys that interrupt long work: Escape stops, Shift+Escape also drops priority.
// The desktop program reads the real keyboard, the CLI its terminal, tests a stub.
class KeyState {
public:
    virtual ~KeyState() = default;
    virtual bool escape_down() const = 0;
    virtual bool shift_down() const = 0;
};

// A keyboard on which nothing is ever held.
class NoKeysHeld final : public KeyState {
public:
    bool escape_down() const override { return false; }
    bool shift_down() const override { return false; }
};

// Holds whatever the owner sets; used where a flag stands for a key (Ctrl-C, tests).
class SettableKeyState final : public KeyState {
public:
    bool escape_down() const override { return escape_; }
    bool shift_down() const override { return shift_; }
    void set_escape(bool down) { escape_ = down; }
    void set_shift(bool down) { shift_ = down; }

private:
    bool escape_ = false;
    bool shift_ = false;
};

}  // namespace corvane::platform
