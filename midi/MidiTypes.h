#pragma once
// What travels between the MIDI ports and the rest of the editor: short
// messages, and the three listener interfaces through which transfers report.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using MidiBytes = std::vector<uint8_t>;

// The longest message the editor sends in one piece, on every port: far above
// a template dump (4112 bytes). A longer one is refused before anything of a
// transfer is sent.
constexpr size_t kLongestSentMessage = 4352;

struct ShortMessage {
    uint8_t status = 0;
    int data1 = 0;
    int data2 = 0;
};

// Told about a received SysEx dump. Called from the GUI thread's poll only.
class ISysExListener {
public:
    virtual ~ISysExListener() = default;
    virtual void OnSysExReceived(const MidiBytes& bytes) = 0;
    virtual void OnSysExAborted() {}
};

// Told how a transfer advances. Called from the GUI thread's poll only.
class IProgressListener {
public:
    virtual ~IProgressListener() = default;
    virtual void OnProgress() {}
    virtual void OnWaiting() {}
    virtual void OnComplete() {}
    virtual void OnFailed() {}
};

// Told about every short MIDI message that arrives while no transfer runs.
class IMessageListener {
public:
    virtual ~IMessageListener() = default;
    virtual void OnMidiMessage(uint8_t status, int data1, int data2) = 0;
};

// Told when a chosen port goes away and when it is back (the service opens
// it again by itself). Called from the GUI thread's poll, once per change.
class IPortListener {
public:
    virtual ~IPortListener() = default;
    // `shownName`: the port's name as the device lists show it.
    virtual void OnPortLost(bool input, const std::string& shownName) = 0;
    virtual void OnPortBack(bool input, const std::string& shownName) { (void)input, (void)shownName; }
};
