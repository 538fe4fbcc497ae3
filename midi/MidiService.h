#pragma once
// The one owner of the editor's MIDI input and output port: selects, opens,
// closes and polls them, and runs the listen and send transfers.
//
// Everything here runs on the GUI thread (or the command-line tool's only
// thread); listener calls are made from `Poll`.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MidiPorts.h"
#include "MidiTypes.h"

enum class ServiceState { Released = 1, Sending = 2, Listening = 3, Open = 4 };

class MidiService {
public:
    using Clock = std::chrono::steady_clock;

    // Without a system of its own the service uses the platform's.
    explicit MidiService(std::unique_ptr<MIDI::ISystem> system = nullptr);
    ~MidiService();
    MidiService(const MidiService&) = delete;
    MidiService& operator=(const MidiService&) = delete;

    // Lists the ports. With `releaseDriver` the ports are held only while an
    // open is requested (the editor is the active application) or a transfer
    // needs them.
    bool Start(bool releaseDriver = false);
    // Puts another MIDI system in place (ports closed, lists emptied until
    // the next Start); returns the previous one.
    std::unique_ptr<MIDI::ISystem> ReplaceSystem(std::unique_ptr<MIDI::ISystem> other);
    void Shutdown();
    bool IsStarted() const { return started; }
    // Lists the ports again, keeping the selection where its port still exists.
    void Rescan();

    // Device indices: inputs first, then outputs.
    int DeviceCount() const { return static_cast<int>(inputs.size() + outputs.size()); }
    int PortCount() const { return DeviceCount(); }
    int InputCount() const { return static_cast<int>(inputs.size()); }
    bool IsInputIndex(int i) const { return i >= 0 && i < InputCount(); }
    bool IsOutputIndex(int i) const { return i >= InputCount() && i < DeviceCount(); }
    std::string DeviceName(int i) const;
    std::string PlatformName(int i) const;

    bool SelectInput(int i);
    bool SelectOutput(int i);
    // The first port of that kind whose shown name contains `name`.
    bool SelectInputByName(const std::string& name);
    bool SelectOutputByName(const std::string& name);
    bool SelectInput(const std::string& name) { return SelectInputByName(name); }
    bool SelectOutput(const std::string& name) { return SelectOutputByName(name); }
    bool SelectFirstInput();
    bool SelectFirstOutput();
    // Whether a port's shown name contains `name`.
    bool HasPortNamed(const std::string& name) const;
    int FindInput(const std::string& name) const;
    int FindOutput(const std::string& name) const;

    int SelectedInput() const { return selectedInput; }
    int SelectedOutput() const { return selectedOutput; }
    bool IsInputSelected() const { return selectedInput >= 0; }
    bool IsOutputSelected() const { return selectedOutput >= 0; }
    std::string InputName() const { return DeviceName(selectedInput); }
    std::string OutputName() const { return DeviceName(selectedOutput); }
    bool IsInputOpen() const { return input != nullptr; }
    bool IsOutputOpen() const { return output != nullptr; }
    // Whether the poll has anything to do: a port is open, about to open, or
    // gone and waited for.
    bool NeedsPolling() const;
    // Whether polling may slow down: no transfer runs and no port is about
    // to open or close. Incoming messages then wake the poll through the
    // input's arrival notifier; the port health check is timed, not counted.
    bool IsAtRest() const;
    // Called (on the calling thread) whenever the service leaves rest: a
    // listen or send starts, or an open or close is requested.
    void SetBusyHook(std::function<void()> hook) { busyHook = std::move(hook); }

    bool OpenInputPort();
    bool OpenOutputPort();
    bool OpenPorts();
    void ClosePorts();
    void RequestClose();
    void RequestOpen();
    void RequestRelease() { RequestClose(); }
    void RequestReopen() { RequestOpen(); }

    // A listener, monitor or port listener stays registered for as long as
    // its registration lives (or until the service goes). Move-only.
    class Registration {
    public:
        Registration() = default;
        Registration(Registration&& other) noexcept { *this = std::move(other); }
        Registration& operator=(Registration&& other) noexcept;
        ~Registration() { Reset(); }
        // Unregisters now; safe from inside the registered object's call.
        void Reset();
        explicit operator bool() const { return remove != nullptr; }

    private:
        friend class MidiService;
        Registration(std::weak_ptr<MidiService*> service, void (*remove)(MidiService&, void*), void* what)
            : service(std::move(service)), remove(remove), what(what) {}
        std::weak_ptr<MidiService*> service;
        void (*remove)(MidiService&, void*) = nullptr;
        void* what = nullptr;
    };
    [[nodiscard]] Registration Register(IMessageListener* l);
    [[nodiscard]] Registration Register(IMidiMonitor* m);
    [[nodiscard]] Registration Register(IPortListener* l);

    void AddMessageListener(IMessageListener* l);
    bool RemoveMessageListener(IMessageListener* l);
    // A listener that goes away: the service no longer calls it (a listen it
    // ran ends; a send it watched goes on unwatched).
    void ForgetListeners(ISysExListener* sysEx, IProgressListener* progress, IMessageListener* messages);

    // Monitors are told about every incoming message, in every state of the
    // service; the input's tap runs only while there is one.
    void AddMonitor(IMidiMonitor* m);
    bool RemoveMonitor(IMidiMonitor* m);
    // Messages the monitors missed because the poll fell too far behind.
    size_t MonitorDroppedCount() const { return input ? input->MonitorDroppedCount() : 0; }

    // One poll step (about every 20 ms while ports are open). False once when
    // the selected input has gone away (port listeners are told too).
    bool Poll();

    // SysEx messages that do not start with `header` are not dumps: a listen
    // passes over them and goes on. Empty (at first): every message is one.
    void SetDumpHeader(MidiBytes header) { dumpHeader = std::move(header); }
    // Listens for one dump, with the dump header or with `header` instead.
    // A closed port (release mode) is opened first. The listen ends with the
    // first dump (`OnSysExReceived`), or with `OnFailed` on the progress
    // listener when the input goes away.
    bool StartListening(ISysExListener* sysEx, IProgressListener* progress);
    bool StartListening(ISysExListener* sysEx, IProgressListener* progress, MidiBytes header);
    void StopListening();
    bool IsListening() const { return state == ServiceState::Listening; }
    // Messages the current (or last) listen passed over.
    int IgnoredCount() const { return ignored; }
    bool IsSending() const { return state == ServiceState::Sending; }
    // Sends the first complete SysEx message in `bytes`, at `notBefore` at
    // the earliest (see Output::BeginSend). A closed port (release mode) is
    // opened first.
    bool StartSend(const MidiBytes& bytes, IProgressListener* progress, Clock::time_point notBefore = {});
    // Takes back the send `progress` watches if it has not gone out yet, and
    // forgets `progress` either way: it is called no more. True when taken back.
    bool CancelSend(IProgressListener* progress);
    // When the last completed send reached the port.
    Clock::time_point LastDeliveredAt() const { return lastDeliveredAt; }

    ServiceState State() const { return state; }
    // Why the last open, select or send failed.
    const std::string& LastError() const { return lastError; }
    MIDI::Input* InputPort() { return input.get(); }
    MIDI::Output* OutputPort() { return output.get(); }

    static constexpr int kHealthCheckPolls = 200;
    // The ports are also checked when this long has passed, however slowly
    // the poll runs, and while a transfer runs.
    static constexpr std::chrono::milliseconds kHealthCheckPeriod{1000};

private:
    void listenStep();
    void sendStep();
    void dispatchMessages();
    void dispatchMonitored();
    // Checks the chosen ports; false when the input was found gone just now.
    bool checkPorts();
    // True when it opened the ports just now.
    bool openForAction();
    void portLost(bool input);
    void portBack(bool input);
    bool openInput();
    bool openOutput();

    std::unique_ptr<MIDI::ISystem> system;
    std::vector<std::string> inputs, outputs;  // platform names
    int selectedInput = -1, selectedOutput = -1;
    // The chosen ports by platform name, kept while they are gone.
    std::string chosenInput, chosenOutput;
    bool inputLost = false, outputLost = false;
    std::shared_ptr<MIDI::Input> input;
    std::shared_ptr<MIDI::Output> output;
    ServiceState state = ServiceState::Open;
    bool started = false;
    bool releaseDriver = false;
    bool openRequest = false, closeRequest = false;
    int pollCounter = 0;
    Clock::time_point lastHealthCheck = Clock::now();
    std::vector<IMessageListener*> messageListeners;
    std::vector<IMidiMonitor*> monitors;
    std::vector<IPortListener*> portListeners;
    ISysExListener* sysExListener = nullptr;
    IProgressListener* progressListener = nullptr;
    MidiBytes dumpHeader, listenHeader;
    int ignored = 0;
    MidiBytes sendQueue, receiveBuffer;
    Clock::time_point sendNotBefore;
    Clock::time_point lastDeliveredAt;
    size_t overlongSeen = 0;  // the input's count of over-long SysEx messages already reported
    bool sendStarted = false;
    std::string lastError;
    std::function<void()> busyHook;
    std::shared_ptr<MidiService*> self = std::make_shared<MidiService*>(this);
    void leftRest() {
        if (busyHook) busyHook();
    }
};

// The first complete SysEx message in `bytes` (bytes before 0xF0 skipped, up
// to and including the first 0xF7); empty when there is none.
MidiBytes FirstSysExMessage(const MidiBytes& bytes);
