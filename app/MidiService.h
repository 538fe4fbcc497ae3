#pragma once
// The application's view of the MIDI ports. This build has no MIDI port
// layer yet: the service starts, lists no ports and selects none, so the
// editor behaves as on a machine without MIDI devices.
#include <string>

class IMessageListener;

class MidiService {
public:
    bool Start() { started = true; return true; }
    void Shutdown() { started = false; }
    bool IsStarted() const { return started; }

    int PortCount() const { return 0; }
    bool HasPortNamed(const std::string&) const { return false; }
    bool SelectInput(const std::string&) { return false; }
    bool SelectOutput(const std::string&) { return false; }
    bool SelectFirstInput() { return false; }
    bool SelectFirstOutput() { return false; }
    bool IsInputSelected() const { return false; }
    bool IsOutputSelected() const { return false; }
    std::string InputName() const { return {}; }
    std::string OutputName() const { return {}; }

    void RequestRelease() {}
    void RequestReopen() {}
    // False when the selected input port has gone away.
    bool Poll() { return true; }
    void AddMessageListener(IMessageListener*) {}

private:
    bool started = false;
};
