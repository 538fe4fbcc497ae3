#include "MidiService.h"

#include <algorithm>

#include "PortNames.h"

namespace {
bool startsWith(const MidiBytes& message, const MidiBytes& header) {
    return message.size() >= header.size() && std::equal(header.begin(), header.end(), message.begin());
}

// Calls each entry of `list` that is still in it when its turn comes: an
// entry may remove itself (or another) while being told.
template <typename T, typename F>
void tellEach(std::vector<T*>& list, F call) {
    const auto snapshot = list;
    for (T* entry : snapshot)
        if (std::find(list.begin(), list.end(), entry) != list.end()) call(entry);
}
}  // namespace

MidiService::MidiService(std::unique_ptr<MIDI::ISystem> s) : system(std::move(s)) {}

MidiService::~MidiService() {
    *self = nullptr;  // registrations that outlive the service do nothing
    Shutdown();
}

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
    chosenInput.clear();
    chosenOutput.clear();
    inputLost = outputLost = false;
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
    MIDI::ISystem::PortLists lists = system->ListPorts();
    inputs = std::move(lists.inputs);
    outputs = std::move(lists.outputs);
    selectedInput = -1;
    selectedOutput = -1;
    for (size_t i = 0; i < inputs.size(); ++i)
        if (!chosenInput.empty() && inputs[i] == chosenInput) selectedInput = static_cast<int>(i);
    for (size_t i = 0; i < outputs.size(); ++i)
        if (!chosenOutput.empty() && outputs[i] == chosenOutput) selectedOutput = InputCount() + static_cast<int>(i);
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
    chosenInput = PlatformName(i);
    inputLost = false;
    if (releaseDriver) return true;
    return OpenInputPort();
}

bool MidiService::SelectOutput(int i) {
    if (!IsOutputIndex(i)) return false;
    selectedOutput = i;
    chosenOutput = PlatformName(i);
    outputLost = false;
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
    return input || output || (state == ServiceState::Released && openRequest) ||
           (state != ServiceState::Released && (inputLost || outputLost));
}

bool MidiService::IsAtRest() const {
    if (state == ServiceState::Sending || state == ServiceState::Listening) return false;
    return !openRequest && !closeRequest;
}

bool MidiService::openInput() {
    input.reset();
    if (chosenInput.empty()) return true;
    input = system->OpenInput(chosenInput, lastError);
    if (input && !monitors.empty()) input->SetMonitoring(true);
    inputLost = input == nullptr;
    return input != nullptr;
}

bool MidiService::openOutput() {
    output.reset();
    if (chosenOutput.empty()) return true;
    output = system->OpenOutput(chosenOutput, lastError);
    outputLost = output == nullptr;
    return output != nullptr;
}

bool MidiService::OpenInputPort() {
    if (state == ServiceState::Listening) StopListening();
    return openInput();
}

bool MidiService::OpenOutputPort() {
    if (state == ServiceState::Sending) {
        state = ServiceState::Open;
        progressListener = nullptr;
    }
    return openOutput();
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

MidiService::Registration& MidiService::Registration::operator=(Registration&& other) noexcept {
    if (this != &other) {
        Reset();
        service = std::move(other.service);
        remove = other.remove;
        what = other.what;
        other.remove = nullptr;
        other.what = nullptr;
    }
    return *this;
}

void MidiService::Registration::Reset() {
    if (!remove) return;
    if (auto alive = service.lock(); alive && *alive) remove(**alive, what);
    remove = nullptr;
    what = nullptr;
    service.reset();
}

MidiService::Registration MidiService::Register(IMessageListener* l) {
    AddMessageListener(l);
    return Registration(self, [](MidiService& s, void* p) { s.RemoveMessageListener(static_cast<IMessageListener*>(p)); },
                        l);
}

MidiService::Registration MidiService::Register(IMidiMonitor* m) {
    AddMonitor(m);
    return Registration(self, [](MidiService& s, void* p) { s.RemoveMonitor(static_cast<IMidiMonitor*>(p)); }, m);
}

MidiService::Registration MidiService::Register(IPortListener* l) {
    if (std::find(portListeners.begin(), portListeners.end(), l) == portListeners.end()) portListeners.push_back(l);
    return Registration(
        self, [](MidiService& s, void* p) { std::erase(s.portListeners, static_cast<IPortListener*>(p)); }, l);
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
    for (int n = 0; n < MIDI::Input::kMonitorSlots && input->PopMonitored(e); ++n)
        tellEach(monitors, [&](IMidiMonitor* m) { m->OnMonitoredMessage(e); });
}

bool MidiService::Poll() {
    // Before the transfer steps, which may close or replace the ports.
    dispatchMonitored();
    if (state == ServiceState::Released) {
        closeRequest = false;
        if (!openRequest) return true;
        // The ports are held again. One that does not open (the unit was
        // unplugged meanwhile) is waited for as a lost one, and said once.
        const bool inputWasLost = inputLost, outputWasLost = outputLost;
        openForAction();
        if (outputWasLost && !outputLost) portBack(false);
        if (inputWasLost && !inputLost) portBack(true);
        if (outputLost && !outputWasLost) portLost(false);
        if (inputLost && !inputWasLost) {
            portLost(true);
            return false;
        }
        return true;
    }
    const bool inputThere = checkPorts();
    switch (state) {
    case ServiceState::Sending:
        sendStep();
        return inputThere;
    case ServiceState::Listening:
        listenStep();
        return inputThere;
    default:
        break;
    }
    if (releaseDriver) {
        if (closeRequest) {
            ClosePorts();
            closeRequest = false;
            return inputThere;
        }
        openRequest = false;
    }
    dispatchMessages();
    return inputThere;
}

bool MidiService::checkPorts() {
    const auto now = Clock::now();
    if (++pollCounter <= kHealthCheckPolls && now - lastHealthCheck < kHealthCheckPeriod) return true;
    pollCounter = 0;
    lastHealthCheck = now;
    bool inputThere = true;
    if (!chosenInput.empty()) {
        if (input && !input->IsAvailable()) {
            portLost(true);
            inputThere = false;
        } else if (!input && inputLost) {
            const auto names = system->InputNames();
            if (std::find(names.begin(), names.end(), chosenInput) != names.end() && openInput()) portBack(true);
        }
    }
    if (!chosenOutput.empty()) {
        if (output && !output->IsAvailable()) {
            portLost(false);
        } else if (!output && outputLost && state != ServiceState::Sending) {
            const auto names = system->OutputNames();
            if (std::find(names.begin(), names.end(), chosenOutput) != names.end() && openOutput()) portBack(false);
        }
    }
    return inputThere;
}

void MidiService::portLost(bool isInput) {
    const std::string shown = MIDI::DisplayName(isInput ? chosenInput : chosenOutput);
    if (isInput) {
        input.reset();
        inputLost = true;
        lastError = "The input port \"" + shown + "\" went away";
        if (state == ServiceState::Listening) {
            // The listen ends; what it got before stays with its listener.
            IProgressListener* p = progressListener;
            sysExListener = nullptr;
            progressListener = nullptr;
            receiveBuffer.clear();
            state = ServiceState::Open;
            if (p) p->OnFailed();
        }
    } else {
        // A send under way fails on its own: the port reports it.
        if (state != ServiceState::Sending) output.reset();
        outputLost = true;
    }
    tellEach(portListeners, [&](IPortListener* l) { l->OnPortLost(isInput, shown); });
}

void MidiService::portBack(bool isInput) {
    Rescan();  // the port lists changed while it was gone
    const std::string shown = MIDI::DisplayName(isInput ? chosenInput : chosenOutput);
    tellEach(portListeners, [&](IPortListener* l) { l->OnPortBack(isInput, shown); });
}

void MidiService::dispatchMessages() {
    if (!input) return;
    // At most a ringful per poll: a sender faster than the listeners would
    // otherwise keep this loop, and the GUI thread, busy for as long as it sends.
    ShortMessage m;
    for (int n = 0; n < MessageRing::kSlots && input->PopMessage(m); ++n)
        tellEach(messageListeners, [&](IMessageListener* l) { l->OnMidiMessage(m.status, m.data1, m.data2); });
    // SysEx that arrives while nobody listens is dropped.
    input->DiscardSysEx();
}

bool MidiService::openForAction() {
    if (state != ServiceState::Released) return false;
    // The action came before the poll that reopens the ports (the click that
    // brought the editor back, say): open them now. A port that does not
    // open is waited for as a lost one.
    openInput();
    const std::string inputError = lastError;
    openOutput();
    if (!input) lastError = inputError;
    state = ServiceState::Open;
    openRequest = false;
    return true;
}

bool MidiService::StartListening(ISysExListener* sysEx, IProgressListener* progress) {
    return StartListening(sysEx, progress, dumpHeader);
}

bool MidiService::StartListening(ISysExListener* sysEx, IProgressListener* progress, MidiBytes header) {
    const bool opened = openForAction();
    if (!input) {
        if (!opened) lastError = "No input port is open";
        return false;
    }
    if (state == ServiceState::Sending) return false;
    sysExListener = sysEx;
    progressListener = progress;
    listenHeader = std::move(header);
    ignored = 0;
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
    bool found = false;
    while (input && input->PopSysEx(message)) {
        // Another device's message on the same input is not the dump.
        if (startsWith(message, listenHeader)) {
            found = true;
            break;
        }
        ++ignored;
    }
    if (!found) {
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

bool MidiService::StartSend(const MidiBytes& bytes, IProgressListener* progress, Clock::time_point notBefore) {
    const bool opened = openForAction();
    if (!output || !output->IsAvailable()) {
        if (output || !opened) lastError = output ? "The output port is no longer available" : "No output port is open";
        return false;
    }
    if (state == ServiceState::Listening) StopListening();
    if (state == ServiceState::Sending) {
        lastError = "A send is already running";
        return false;
    }
    lastError.clear();
    sendQueue = bytes;
    sendNotBefore = notBefore;
    progressListener = progress;
    sendStarted = false;
    state = ServiceState::Sending;
    leftRest();
    return true;
}

bool MidiService::CancelSend(IProgressListener* progress) {
    if (state != ServiceState::Sending || progressListener != progress) return false;
    progressListener = nullptr;
    // Not begun yet, or begun but not gone out: nothing reaches the port.
    if (!sendStarted || (output && output->CancelSend())) {
        sendQueue.clear();
        state = ServiceState::Open;
        return true;
    }
    return false;  // on its way: it finishes unwatched
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
        } else if (!output->BeginSend(message, sendNotBefore)) {
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
    if (s == MIDI::SendState::Done) lastDeliveredAt = output->DeliveredAt();
    p = progressListener;  // it may have been forgotten meanwhile
    progressListener = nullptr;
    state = ServiceState::Open;
    sendQueue.clear();
    if (outputLost && output && !output->IsAvailable()) output.reset();
    if (!p) return;
    if (s == MIDI::SendState::Done)
        p->OnComplete();
    else
        p->OnFailed();
}
