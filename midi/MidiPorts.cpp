#include "MidiPorts.h"

#include <unistd.h>

#include <RtMidi.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <semaphore>
#include <thread>

#include "JackPorts.h"

namespace MIDI {

const char* const kClientName = "tqv-editor";

namespace {

// Wakes the GUI side when input arrives. The platform's MIDI thread only
// bumps a semaphore (no allocation, no lock); the notifier function, which
// may post an event to a toolkit, runs on this waker's own thread.
class ArrivalWaker {
public:
    ~ArrivalWaker() { set(nullptr); }

    void set(void (*fn)()) {
        std::lock_guard<std::mutex> guard(lock);
        notify.store(fn, std::memory_order_release);
        if (fn && !thread.joinable()) {
            stop.store(false);
            thread = std::thread([this] { run(); });
        } else if (!fn && thread.joinable()) {
            stop.store(true);
            wake.release();
            thread.join();
        }
    }

    void signal() noexcept {
        if (!notify.load(std::memory_order_acquire)) return;
        // At most one wake-up waits, however fast messages arrive.
        if (!pending.exchange(true, std::memory_order_acq_rel)) wake.release();
    }

private:
    void run() {
        for (;;) {
            wake.acquire();
            if (stop.load()) return;
            pending.store(false, std::memory_order_release);
            if (void (*fn)() = notify.load(std::memory_order_acquire)) fn();
        }
    }

    std::mutex lock;
    std::thread thread;
    std::counting_semaphore<> wake{0};
    std::atomic<void (*)()> notify{nullptr};
    std::atomic<bool> pending{false};
    std::atomic<bool> stop{false};
};

ArrivalWaker& waker() {
    static ArrivalWaker instance;
    return instance;
}

}  // namespace

void Input::SetArrivalNotifier(void (*notify)()) { waker().set(notify); }

void Input::SetMonitoring(bool on) {
    if (!on) {
        monitoring.store(false, std::memory_order_relaxed);
        return;
    }
    // What waited from an earlier tap is stale: drop it (this side only pops).
    MonitorEvent stale;
    while (monitored.pop(stale)) {
    }
    monitoring.store(true, std::memory_order_relaxed);
}

void Input::Receive(const uint8_t* bytes, size_t count) noexcept {
    if (count == 0) return;
    receivePiece(bytes, count);
    waker().signal();
}

void Input::noteAssemblerCounts() noexcept {
    if (assembler.overlongCount() != overlongSysEx.load(std::memory_order_relaxed))
        overlongSysEx.store(assembler.overlongCount(), std::memory_order_relaxed);
    if (assembler.unterminatedCount() != unterminatedSysEx.load(std::memory_order_relaxed))
        unterminatedSysEx.store(assembler.unterminatedCount(), std::memory_order_relaxed);
}

void Input::receivePiece(const uint8_t* bytes, size_t count) noexcept {
    const bool tap = monitoring.load(std::memory_order_relaxed);
    int64_t nowUs = 0;
    if (tap)
        nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::system_clock::now().time_since_epoch())
                    .count();
    auto monitor = [&](const uint8_t* data, size_t n) {
        if (!tap) return;
        MonitorEvent e = MonitorEvent::make(nowUs, data, n);
        monitored.push(e);
    };
    // Real-time bytes before anything else in the piece: messages of their own.
    while (count > 0 && bytes[0] >= 0xF8) {
        monitor(bytes, 1);
        messages.push(ShortMessage{bytes[0], 0, 0});
        ++bytes;
        --count;
    }
    if (count == 0) return;
    const uint8_t first = bytes[0];
    const bool sysexPiece = first == 0xF0 || first == 0xF7 || first < 0x80;
    if (!sysexPiece) {
        // A channel or system common message ends a SysEx message still open.
        assembler.interrupt();
        noteAssemblerCounts();
        monitor(bytes, count);
        messages.push(ShortMessage{first, count > 1 ? bytes[1] : 0, count > 2 ? bytes[2] : 0});
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0xF8) {
            // A clock or other real-time byte inside a SysEx message is not part of it.
            monitor(bytes + i, 1);
            messages.push(ShortMessage{bytes[i], 0, 0});
            continue;
        }
        const bool complete = assembler.feed(bytes[i]);
        if (!complete) continue;
        lastSysExTicks.store(std::chrono::steady_clock::now().time_since_epoch().count());
        const MidiBytes& m = assembler.message();
        monitor(m.data(), m.size());
        sysex.push(m.data(), m.size());
        assembler.reset();
    }
    noteAssemblerCounts();
}

bool Output::fitsThePort(const MidiBytes& message) {
    if (message.empty()) {
        lastError = "Nothing to send";
        return false;
    }
    if (message.size() > MaxMessageSize()) {
        lastError = "A message of " + std::to_string(message.size()) + " bytes is longer than the port carries (" +
                    std::to_string(MaxMessageSize()) + " bytes)";
        return false;
    }
    return true;
}

bool Output::SendLong(const MidiBytes& message, std::chrono::milliseconds timeout) {
    if (!BeginSend(message)) return false;
    const auto until = Clock::now() + timeout;
    for (;;) {
        const SendState s = PollSend();
        if (s == SendState::Done) return true;
        if (s == SendState::Failed) return false;
        if (Clock::now() > until) {
            CancelSend();
            lastError = "The port did not finish sending in time";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

namespace {

using Clock = std::chrono::steady_clock;

// Collects RtMidi's errors and warnings instead of letting it throw or print.
struct ErrorTrap {
    std::mutex lock;
    std::string text;
    static void callback(RtMidiError::Type, const std::string& message, void* self) {
        auto* trap = static_cast<ErrorTrap*>(self);
        std::lock_guard<std::mutex> guard(trap->lock);
        trap->text = message;
    }
    std::string take() {
        std::lock_guard<std::mutex> guard(lock);
        std::string t;
        t.swap(text);
        return t;
    }
};

bool isOwnPort(const std::string& name) { return name.rfind(kClientName, 0) == 0; }

// An ALSA sequencer input through RtMidi.
class RtInput final : public Input {
public:
    RtInput(const std::string& platformName, std::function<bool()> available)
        : name(platformName), availableCheck(std::move(available)) {
        try {
            port = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName, 1024);
        } catch (const RtMidiError& e) {
            throw PairlinkError(e.getMessage());
        }
        port->setErrorCallback(&ErrorTrap::callback, &trap);
        const unsigned n = port->getPortCount();
        unsigned index = n;
        for (unsigned i = 0; i < n; ++i)
            if (port->getPortName(i) == platformName) index = i;
        if (index == n) throw PairlinkError("The port \"" + platformName + "\" no longer exists");
        port->setCallback(&RtInput::callback, this);
        port->ignoreTypes(false, false, false);
        port->openPort(index, "in");
        const std::string error = trap.take();
        if (!port->isPortOpen() || !error.empty()) {
            close();
            throw PairlinkError(error.empty() ? "The port \"" + platformName + "\" could not be opened" : error);
        }
    }
    ~RtInput() override { close(); }
    bool IsAvailable() override { return availableCheck(); }
    std::string PlatformName() const override { return name; }

private:
    // The port first: RtMidi's closePort joins its input thread, so no call
    // can be under way or follow when the callback is let go.
    void close() noexcept {
        if (!port) return;
        port->closePort();
        port->cancelCallback();
    }
    static void callback(double, std::vector<unsigned char>* message, void* self) noexcept {
        if (message && !message->empty()) static_cast<RtInput*>(self)->Receive(message->data(), message->size());
    }
    std::string name;
    std::function<bool()> availableCheck;
    ErrorTrap trap;
    std::unique_ptr<RtMidiIn> port;
};

// An ALSA sequencer output through RtMidi: the sequencer takes a message
// at once, so a send is done when it was handed over.
class RtOutput final : public Output {
public:
    using Output::BeginSend;
    RtOutput(const std::string& platformName, std::function<bool()> available)
        : name(platformName), availableCheck(std::move(available)) {
        try {
            port = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        } catch (const RtMidiError& e) {
            throw PairlinkError(e.getMessage());
        }
        port->setErrorCallback(&ErrorTrap::callback, &trap);
        const unsigned n = port->getPortCount();
        unsigned index = n;
        for (unsigned i = 0; i < n; ++i)
            if (port->getPortName(i) == platformName) index = i;
        if (index == n) throw PairlinkError("The port \"" + platformName + "\" no longer exists");
        port->openPort(index, "out");
        const std::string error = trap.take();
        if (!port->isPortOpen() || !error.empty())
            throw PairlinkError(error.empty() ? "The port \"" + platformName + "\" could not be opened" : error);
    }
    ~RtOutput() override { port->closePort(); }

    bool BeginSend(const MidiBytes& message, Clock::time_point notBefore) override {
        if (state == SendState::Pending) {
            lastError = "The previous message is still being sent";
            return false;
        }
        if (!fitsThePort(message)) {
            if (!message.empty()) state = SendState::Failed;
            return false;
        }
        pending = message;
        due = notBefore;
        state = SendState::Pending;
        return true;
    }

    SendState PollSend() override {
        if (state != SendState::Pending) return state;
        if (Clock::now() < due) return state;
        port->sendMessage(pending.data(), pending.size());
        const std::string error = trap.take();
        if (!error.empty()) {
            lastError = error;
            return state = SendState::Failed;
        }
        deliveredAt = Clock::now();
        return state = SendState::Done;
    }

    bool CancelSend() override {
        if (state != SendState::Pending) return false;
        state = SendState::Idle;
        return true;
    }

    bool SendShort(ShortMessage m) override {
        const unsigned char bytes[3] = {m.status, static_cast<unsigned char>(m.data1 & 0x7F),
                                        static_cast<unsigned char>(m.data2 & 0x7F)};
        port->sendMessage(bytes, m.status >= 0xC0 && m.status < 0xE0 ? 2 : 3);
        return trap.take().empty();
    }

    bool IsAvailable() override { return availableCheck(); }
    std::string PlatformName() const override { return name; }
    size_t MaxMessageSize() const override { return kLongestSentMessage; }

private:
    std::string name;
    std::function<bool()> availableCheck;
    ErrorTrap trap;
    std::unique_ptr<RtMidiOut> port;
    MidiBytes pending;
    Clock::time_point due;
    SendState state = SendState::Idle;
};

// The ALSA sequencer's ports, listed through one RtMidi client per direction
// kept for the program's life.
class AlsaSystem final : public ISystem {
public:
    // Null when this machine has no usable sequencer.
    static std::unique_ptr<AlsaSystem> Create() {
        std::vector<RtMidi::Api> compiled;
        RtMidi::getCompiledApi(compiled);
        if (std::find(compiled.begin(), compiled.end(), RtMidi::LINUX_ALSA) == compiled.end()) return nullptr;
        // Without the sequencer device the ALSA API only prints complaints.
        if (::access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
        auto system = std::unique_ptr<AlsaSystem>(new AlsaSystem);
        try {
            system->in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
            system->out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        } catch (const RtMidiError&) {
            return nullptr;
        }
        system->in->setErrorCallback(&ErrorTrap::callback, &system->trap);
        system->out->setErrorCallback(&ErrorTrap::callback, &system->trap);
        return system;
    }

    std::vector<std::string> InputNames() override { return names(*in); }
    std::vector<std::string> OutputNames() override { return names(*out); }

    std::shared_ptr<Input> OpenInput(const std::string& platformName, std::string& error) override {
        return open<RtInput>(true, platformName, error);
    }
    std::shared_ptr<Output> OpenOutput(const std::string& platformName, std::string& error) override {
        return open<RtOutput>(false, platformName, error);
    }

private:
    AlsaSystem() = default;

    template <typename Port>
    std::shared_ptr<Port> open(bool input, const std::string& platformName, std::string& error) {
        if (!exists(input, platformName)) {
            error = "The port \"" + platformName + "\" does not exist";
            return nullptr;
        }
        try {
            return std::make_shared<Port>(platformName, [this, input, platformName] { return exists(input, platformName); });
        } catch (const std::exception& e) {  // PairlinkError included
            error = e.what();
        }
        return nullptr;
    }
    std::vector<std::string> names(RtMidi& m) {
        std::vector<std::string> list;
        const unsigned n = m.getPortCount();
        for (unsigned i = 0; i < n; ++i) {
            std::string name = m.getPortName(i);
            if (!name.empty() && !isOwnPort(name)) list.push_back(std::move(name));
        }
        trap.take();
        return list;
    }
    bool exists(bool input, const std::string& platformName) {
        const auto list = input ? InputNames() : OutputNames();
        return std::find(list.begin(), list.end(), platformName) != list.end();
    }

    std::unique_ptr<RtMidiIn> in;
    std::unique_ptr<RtMidiOut> out;
    ErrorTrap trap;
};

// The ALSA sequencer's ports first, then JACK's. A JACK server that starts
// later is found at the next listing.
class PlatformSystem final : public ISystem {
public:
    PlatformSystem() : alsa(AlsaSystem::Create()), jack(CreateJackSystem()) {}

    std::vector<std::string> InputNames() override { return names(true); }
    std::vector<std::string> OutputNames() override { return names(false); }

    std::shared_ptr<Input> OpenInput(const std::string& platformName, std::string& error) override {
        if (ISystem* s = owner(true, platformName)) return s->OpenInput(platformName, error);
        error = "The port \"" + platformName + "\" does not exist";
        return nullptr;
    }
    std::shared_ptr<Output> OpenOutput(const std::string& platformName, std::string& error) override {
        if (ISystem* s = owner(false, platformName)) return s->OpenOutput(platformName, error);
        error = "The port \"" + platformName + "\" does not exist";
        return nullptr;
    }

private:
    std::vector<std::string> names(bool input) {
        if (!jack || !JackSystemRuns(*jack)) jack = CreateJackSystem();
        std::vector<std::string> list;
        for (ISystem* s : {static_cast<ISystem*>(alsa.get()), jack.get()}) {
            if (!s) continue;
            auto part = input ? s->InputNames() : s->OutputNames();
            list.insert(list.end(), part.begin(), part.end());
        }
        return list;
    }
    ISystem* owner(bool input, const std::string& platformName) {
        for (ISystem* s : {static_cast<ISystem*>(alsa.get()), jack.get()}) {
            if (!s) continue;
            const auto list = input ? s->InputNames() : s->OutputNames();
            if (std::find(list.begin(), list.end(), platformName) != list.end()) return s;
        }
        return nullptr;
    }

    std::unique_ptr<ISystem> alsa;
    std::unique_ptr<ISystem> jack;
};

}  // namespace

std::unique_ptr<ISystem> CreatePlatformSystem() { return std::make_unique<PlatformSystem>(); }

}  // namespace MIDI
