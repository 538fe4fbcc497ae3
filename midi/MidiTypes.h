#pragma once
// What travels between the MIDI ports and the rest of the editor: short
// messages, and the three listener interfaces through which transfers report.
#include <cstdint>
#include <vector>

using MidiBytes = std::vector<uint8_t>;

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
