#include "MidiService.h"

#include <algorithm>

#include "PortNames.h"

MidiService::MidiService(std::unique_ptr<MIDI::ISystem> s) : system(std::move(s)) {}

MidiService::~MidiService() { Shutdown(); }

bool MidiService::Start(bool release) {
    if (!system) system = MIDI::CreatePlatformSystem();
    releaseDriver = release;
    state = releaseDriver ? ServiceState::Released : ServiceState::Open;
    MIDI::ISystem::PortLists lists = system->ListPorts();
    inputs = std::move(lists.inputs);
    outputs = std::move(lists.outputs);
    started = true;
    return true;
}

std::unique_ptr<MIDI::ISystem> MidiService::ReplaceSystem(std::unique_ptr<MIDI::ISystem> other) {
    Shutdown();
    inputs.clear();
    outputs.clear();
    selectedInput = selectedOutput = -1;
    std::swap(system, other);
    return other;
}

void MidiService::Shutdown() {
    sysExListener = nullptr;
    progressListener = nullptr;
    input.reset();
    output.reset();
    started = false;
}

void MidiService::Rescan() {
    if (!system) return;
    const std::string inName = PlatformName(selectedInput);
    const std::string outName = PlatformName(selectedOutput);
    MIDI::ISystem::PortLists lists = system->ListPorts();
    inputs = std::move(lists.inputs);
    outputs = std::move(lists.outputs);
    selectedInput = -1;
    selectedOutput = -1;
    for (size_t i = 0; i < inputs.size(); ++i)
        if (!inName.empty() && inputs[i] == inName) selectedInput = static_cast<int>(i);
    for (size_t i = 0; i < outputs.size(); ++i)
        if (!outName.empty() && outputs[i] == outName) selectedOutput = InputCount() + static_cast<int>(i);
}

std::string MidiService::PlatformName(int i) const {
    if (IsInputIndex(i)) return inputs[static_cast<size_t>(i)];
    if (IsOutputIndex(i)) return outputs[static_cast<size_t>(i - InputCount())];
    return {};
}

std::string MidiService::DeviceName(int i) const {
    const std::string raw = PlatformName(i);
    return raw.empty() ? raw : MIDI::DisplayName(raw);
}

bool MidiService::SelectInput(int i) {
    if (!IsInputIndex(i)) return false;
    selectedInput = i;
    if (releaseDriver) return true;
    return OpenInputPort();
}

bool MidiService::SelectOutput(int i) {
    if (!IsOutputIndex(i)) return false;
    selectedOutput = i;
    if (releaseDriver) return true;
    return OpenOutputPort();
}

int MidiService::FindInput(const std::string& name) const {
    for (int i = 0; i < InputCount(); ++i)
        if (DeviceName(i).find(name) != std::string::npos) return i;
    return -1;
}

int MidiService::FindOutput(const std::string& name) const {
    for (int i = InputCount(); i < DeviceCount(); ++i)
        if (DeviceName(i).find(name) != std::string::npos) return i;
    return -1;
}

bool MidiService::SelectInputByName(const std::string& name) {
    const int i = FindInput(name);
    if (i < 0) {
        lastError = "No input port is named \"" + name + "\"";
        return false;
    }
    return SelectInput(i);
}

bool MidiService::SelectOutputByName(const std::string& name) {
    const int i = FindOutput(name);
    if (i < 0) {
        lastError = "No output port is named \"" + name + "\"";
        return false;
    }
    return SelectOutput(i);
}

bool MidiService::SelectFirstInput() { return InputCount() > 0 && SelectInput(0); }
bool MidiService::SelectFirstOutput() { return DeviceCount() > InputCount() && SelectOutput(InputCount()); }

bool MidiService::HasPortNamed(const std::string& name) const { return FindInput(name) >= 0 || FindOutput(name) >= 0; }

bool MidiService::NeedsPolling() const {
    return input || output || (state == ServiceState::Released && openRequest);
}

bool MidiService::IsAtRest() const {
    if (state == ServiceState::Sending || state == ServiceState::Listening) return false;
    return !openRequest && !closeRequest;
}

bool MidiService::OpenInputPort() {
    if (state == ServiceState::Listening) StopListening();
    input.reset();
    if (selectedInput < 0) return true;
    input = system->OpenInput(PlatformName(selectedInput), lastError);
    if (input && !monitors.empty()) input->SetMonitoring(true);
    return input != nullptr;
}

bool MidiService::OpenOutputPort() {
    if (state == ServiceState::Sending) {
        state = ServiceState::Open;
        progressListener = nullptr;
    }
    output.reset();
    if (selectedOutput < 0) return true;
    output = system->OpenOutput(PlatformName(selectedOutput), lastError);
    return output != nullptr;
}

bool MidiService::OpenPorts() {
    const bool in = OpenInputPort();
    const bool out = OpenOutputPort();
    if (in && out) {
        state = ServiceState::Open;
        return true;
    }
    return false;
}

void MidiService::ClosePorts() {
    sysExListener = nullptr;
    progressListener = nullptr;
    input.reset();
    output.reset();
    state = ServiceState::Released;
}

void MidiService::RequestClose() {
    if (!releaseDriver) return;
    closeRequest = true;
    leftRest();
}

void MidiService::RequestOpen() {
    if (!releaseDriver) return;
    openRequest = true;
    leftRest();
}

void MidiService::AddMessageListener(IMessageListener* l) { messageListeners.push_back(l); }

bool MidiService::RemoveMessageListener(IMessageListener* l) {
    const auto it = std::find(messageListeners.begin(), messageListeners.end(), l);
    if (it == messageListeners.end()) return false;
    messageListeners.erase(it);
    return true;
}

void MidiService::ForgetListeners(ISysExListener* sysEx, IProgressListener* progress, IMessageListener* messages) {
    std::erase(messageListeners, messages);
    if (sysEx && sysExListener == sysEx) StopListening();
    if (progress && progressListener == progress) progressListener = nullptr;
}

void MidiService::AddMonitor(IMidiMonitor* m) {
    if (std::find(monitors.begin(), monitors.end(), m) != monitors.end()) return;
    monitors.push_back(m);
    if (input && monitors.size() == 1) input->SetMonitoring(true);
}

bool MidiService::RemoveMonitor(IMidiMonitor* m) {
    const auto it = std::find(monitors.begin(), monitors.end(), m);
    if (it == monitors.end()) return false;
    monitors.erase(it);
    if (input && monitors.empty()) input->SetMonitoring(false);
    return true;
}

void MidiService::dispatchMonitored() {
    if (!input || monitors.empty()) return;
    MonitorEvent e;
    for (int n = 0; n < MIDI::Input::kMonitorSlots && input->PopMonitored(e); ++n) {
        // A monitor may remove itself (or another) while being told.
        const auto list = monitors;
        for (IMidiMonitor* m : list)
            if (std::find(monitors.begin(), monitors.end(), m) != monitors.end()) m->OnMonitoredMessage(e);
    }
}

bool MidiService::Poll() {
    // Before the transfer steps, which may close or replace the ports.
    dispatchMonitored();
    switch (state) {
    case ServiceState::Released:
        if (openRequest && OpenPorts()) openRequest = false;
        closeRequest = false;
        return true;
    case ServiceState::Sending:
        sendStep();
        return true;
    case ServiceState::Listening:
        listenStep();
        return true;
    case ServiceState::Open:
        break;
    }
    if (releaseDriver) {
        if (closeRequest) {
            ClosePorts();
            closeRequest = false;
            return true;
        }
        openRequest = false;
    }
    if (selectedInput < 0) return true;
    const auto now = std::chrono::steady_clock::now();
    if (++pollCounter > kHealthCheckPolls || now - lastHealthCheck >= kHealthCheckPeriod) {
        pollCounter = 0;
        lastHealthCheck = now;
        if (!input || !input->IsAvailable()) return false;
    }
    dispatchMessages();
    return true;
}

void MidiService::dispatchMessages() {
    if (!input) return;
    // At most a ringful per poll: a sender faster than the listeners would
    // otherwise keep this loop, and the GUI thread, busy for as long as it sends.
    ShortMessage m;
    for (int n = 0; n < MessageRing::kSlots && input->PopMessage(m); ++n) {
        // A listener may remove itself (or another) while being told.
        const auto listeners = messageListeners;
        for (IMessageListener* l : listeners)
            if (std::find(messageListeners.begin(), messageListeners.end(), l) != messageListeners.end())
                l->OnMidiMessage(m.status, m.data1, m.data2);
    }
    // SysEx that arrives while nobody listens is dropped.
    MidiBytes dropped;
    while (input->PopSysEx(dropped)) {
    }
}

bool MidiService::StartListening(ISysExListener* sysEx, IProgressListener* progress) {
    if (!input) {
        lastError = "No input port is open";
        return false;
    }
    if (state == ServiceState::Sending) return false;
    sysExListener = sysEx;
    progressListener = progress;
    overlongSeen = input->OverlongSysExCount();
    state = ServiceState::Listening;
    leftRest();
    return true;
}

void MidiService::StopListening() {
    sysExListener = nullptr;
    progressListener = nullptr;
    receiveBuffer.clear();
    if (state == ServiceState::Listening) state = ServiceState::Open;
}

void MidiService::listenStep() {
    // A message that outgrew every dump was dropped: the dump being listened
    // for was cut short. The listen goes on, so that it can be sent again.
    if (input && input->OverlongSysExCount() != overlongSeen) {
        overlongSeen = input->OverlongSysExCount();
        if (ISysExListener* l = sysExListener) l->OnSysExAborted();
        if (state != ServiceState::Listening) return;  // the listener stopped it
    }
    MidiBytes message;
    if (!input || !input->PopSysEx(message)) {
        if (progressListener) progressListener->OnWaiting();
        return;
    }
    receiveBuffer.insert(receiveBuffer.end(), message.begin(), message.end());
    if (IProgressListener* p = progressListener) p->OnComplete();
    ISysExListener* l = sysExListener;
    sysExListener = nullptr;
    progressListener = nullptr;
    state = ServiceState::Open;
    MidiBytes received;
    received.swap(receiveBuffer);
    if (l) l->OnSysExReceived(received);
}

MidiBytes FirstSysExMessage(const MidiBytes& bytes) {
    const auto start = std::find(bytes.begin(), bytes.end(), uint8_t{0xF0});
    if (start == bytes.end()) return {};
    const auto end = std::find(start, bytes.end(), uint8_t{0xF7});
    if (end == bytes.end()) return {};
    return MidiBytes(start, end + 1);
}

bool MidiService::StartSend(const MidiBytes& bytes, IProgressListener* progress) {
    if (!output || !output->IsAvailable()) {
        lastError = output ? "The output port is no longer available" : "No output port is open";
        return false;
    }
    if (state == ServiceState::Listening) StopListening();
    if (state == ServiceState::Sending) {
        lastError = "A send is already running";
        return false;
    }
    lastError.clear();
    sendQueue = bytes;
    progressListener = progress;
    sendStarted = false;
    state = ServiceState::Sending;
    leftRest();
    return true;
}

void MidiService::sendStep() {
    IProgressListener* p = progressListener;
    if (p) p->OnProgress();
    if (state != ServiceState::Sending) return;  // the listener stopped it
    MIDI::SendState s;
    if (!sendStarted) {
        sendStarted = true;
        const MidiBytes message = FirstSysExMessage(sendQueue);
        if (!output) {
            s = MIDI::SendState::Failed;
        } else if (message.empty()) {
            lastError = "There is no complete SysEx message to send";
            s = MIDI::SendState::Failed;
        } else if (!output->BeginSend(message)) {
            lastError = output->LastError();
            s = MIDI::SendState::Failed;
        } else {
            s = output->PollSend();
        }
    } else {
        s = output ? output->PollSend() : MIDI::SendState::Failed;
    }
    if (s == MIDI::SendState::Pending) return;
    if (s == MIDI::SendState::Failed && output && lastError.empty()) lastError = output->LastError();
    progressListener = nullptr;
    state = ServiceState::Open;
    sendQueue.clear();
    if (!p) return;
    if (s == MIDI::SendState::Done)
        p->OnComplete();
    else
        p->OnFailed();
}
