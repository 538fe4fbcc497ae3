#include "MidiPorts.h"

#include <jack/jack.h>
#include <unistd.h>

#include <RtMidi.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <thread>

namespace MIDI {

const char* const kClientName = "tqv-editor";

namespace {
std::atomic<void (*)()> arrivalNotifier{nullptr};

void notifyArrival() {
    if (void (*notify)() = arrivalNotifier.load(std::memory_order_acquire)) notify();
}
}  // namespace

void Input::SetArrivalNotifier(void (*notify)()) { arrivalNotifier.store(notify, std::memory_order_release); }

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

void Input::Receive(const uint8_t* bytes, size_t count) {
    if (count == 0) return;
    receivePiece(bytes, count);
    notifyArrival();
}

void Input::receivePiece(const uint8_t* bytes, size_t count) {
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
    const uint8_t first = bytes[0];
    if (first >= 0xF8 && count == 1) {
        monitor(bytes, 1);
        messages.push(ShortMessage{first, 0, 0});
        return;
    }
    const bool sysexPiece = first == 0xF0 || first == 0xF7 || first < 0x80;
    if (!sysexPiece) {
        monitor(bytes, count);
        messages.push(ShortMessage{first, count > 1 ? bytes[1] : 0, count > 2 ? bytes[2] : 0});
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] >= 0xF8) {  // real-time bytes inside a SysEx belong to no message
            monitor(bytes + i, 1);
            continue;
        }
        if (assembler.feed(bytes[i])) {
            lastSysExTicks.store(std::chrono::steady_clock::now().time_since_epoch().count());
            monitor(assembler.message().data(), assembler.message().size());
            sysex.push(assembler.message());
            assembler.reset();
        }
    }
}

bool Output::SendLong(const MidiBytes& message, std::chrono::milliseconds timeout) {
    if (!BeginSend(message)) return false;
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const SendState s = PollSend();
        if (s == SendState::Done) return true;
        if (s == SendState::Failed) return false;
        if (std::chrono::steady_clock::now() > until) {
            lastError = "The port did not finish sending in time";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

namespace {

using Clock = std::chrono::steady_clock;

// JACK prints every failed connection attempt; the editor reports on its own.
void quietJack(const char*) {}
void silenceJackOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    });
}

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

// Frame clock of the JACK server, to tell when a message handed to the
// port's process cycle has been delivered.
class JackClock {
public:
    JackClock() {
        silenceJackOnce();
        client = jack_client_open((std::string(kClientName) + "-clock").c_str(), JackNoStartServer, nullptr);
        if (client) period = jack_get_buffer_size(client);
    }
    ~JackClock() {
        if (client) jack_client_close(client);
    }
    bool ok() const { return client != nullptr && period > 0; }
    jack_nframes_t cycleStart() const { return jack_last_frame_time(client); }
    jack_nframes_t periodFrames() const { return period; }
    bool running() const { return jack_cpu_load(client) >= 0.0f; }

private:
    jack_client_t* client = nullptr;
    jack_nframes_t period = 0;
};

// A message written within this time of a new JACK connection can be lost
// while the server is still rewiring its graph.
constexpr auto kJackSettle = std::chrono::milliseconds(150);
// The port's transfer ring holds 16384 bytes, four of which carry the length.
constexpr size_t kJackMaxMessage = 16379;

class RtInput final : public Input {
public:
    RtInput(RtMidi::Api api, const std::string& platformName, std::function<bool()> available)
        : name(platformName), availableCheck(std::move(available)) {
        try {
            port = std::make_unique<RtMidiIn>(api, kClientName, 1024);
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
        if (!port->isPortOpen() || !error.empty())
            throw PairlinkError(error.empty() ? "The port \"" + platformName + "\" could not be opened" : error);
    }
    ~RtInput() override {
        port->cancelCallback();
        port->closePort();
    }
    bool IsAvailable() override { return availableCheck(); }
    std::string PlatformName() const override { return name; }

private:
    static void callback(double, std::vector<unsigned char>* message, void* self) {
        if (message && !message->empty()) static_cast<RtInput*>(self)->Receive(message->data(), message->size());
    }
    std::string name;
    std::function<bool()> availableCheck;
    ErrorTrap trap;
    std::unique_ptr<RtMidiIn> port;
};

class RtOutput final : public Output {
public:
    RtOutput(RtMidi::Api api, const std::string& platformName, std::function<bool()> available)
        : name(platformName), availableCheck(std::move(available)), isJack(api == RtMidi::UNIX_JACK) {
        try {
            port = std::make_unique<RtMidiOut>(api, kClientName);
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
        openedAt = Clock::now();
        if (isJack) {
            clock = std::make_unique<JackClock>();
            if (!clock->ok()) throw PairlinkError("The JACK server does not answer");
        }
    }
    ~RtOutput() override {
        // Let a message still in flight leave before the port goes.
        const auto until = Clock::now() + std::chrono::milliseconds(500);
        while (state == SendState::Pending && Clock::now() < until) {
            PollSend();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        port->closePort();
    }

    bool BeginSend(const MidiBytes& message) override {
        if (state == SendState::Pending) {
            lastError = "The previous message is still being sent";
            return false;
        }
        if (message.empty()) {
            lastError = "Nothing to send";
            return false;
        }
        if (message.size() > MaxMessageSize()) {
            lastError = "A message of " + std::to_string(message.size()) + " bytes is longer than the port carries (" +
                        std::to_string(MaxMessageSize()) + " bytes)";
            state = SendState::Failed;
            return false;
        }
        pending = message;
        state = SendState::Pending;
        handedOver = false;
        return true;
    }

    SendState PollSend() override {
        if (state != SendState::Pending) return state;
        if (!handedOver) {
            if (isJack && Clock::now() - openedAt < kJackSettle) return state;
            port->sendMessage(pending.data(), pending.size());
            const std::string error = trap.take();
            if (!error.empty()) {
                lastError = error;
                return state = SendState::Failed;
            }
            handedOver = true;
            handedAt = Clock::now();
            if (!isJack) return state = SendState::Done;  // the sequencer takes it synchronously
            sentCycle = clock->cycleStart();
        }
        // Delivered once the cycle after the one that picked it up has ended:
        // three period starts after the cycle in which it was written.
        const jack_nframes_t now = clock->cycleStart();
        if (static_cast<jack_nframes_t>(now - sentCycle) >= 3 * clock->periodFrames()) return state = SendState::Done;
        if (Clock::now() - handedAt > std::chrono::milliseconds(1000)) {
            lastError = "The JACK server stopped processing";
            return state = SendState::Failed;
        }
        return state;
    }

    bool SendShort(ShortMessage m) override {
        const unsigned char bytes[3] = {m.status, static_cast<unsigned char>(m.data1 & 0x7F),
                                        static_cast<unsigned char>(m.data2 & 0x7F)};
        port->sendMessage(bytes, m.status >= 0xC0 && m.status < 0xE0 ? 2 : 3);
        return trap.take().empty();
    }

    bool IsAvailable() override { return availableCheck(); }
    std::string PlatformName() const override { return name; }
    size_t MaxMessageSize() const override { return isJack ? kJackMaxMessage : 65536; }

private:
    std::string name;
    std::function<bool()> availableCheck;
    bool isJack;
    ErrorTrap trap;
    std::unique_ptr<RtMidiOut> port;
    std::unique_ptr<JackClock> clock;
    Clock::time_point openedAt, handedAt;
    MidiBytes pending;
    SendState state = SendState::Idle;
    bool handedOver = false;
    jack_nframes_t sentCycle = 0;
};

// One listing client per direction and working API, kept for the program's
// life so that listing does not create and destroy clients each time.
class RtSystem final : public ISystem {
public:
    RtSystem() {
        silenceJackOnce();
        std::vector<RtMidi::Api> compiled;
        RtMidi::getCompiledApi(compiled);
        for (RtMidi::Api api : {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}) {
            if (std::find(compiled.begin(), compiled.end(), api) == compiled.end()) continue;
            // Without the sequencer device the ALSA API only prints complaints.
            if (api == RtMidi::LINUX_ALSA && ::access("/dev/snd/seq", R_OK | W_OK) != 0) continue;
            Api a;
            a.api = api;
            try {
                a.in = std::make_unique<RtMidiIn>(api, kClientName);
                a.out = std::make_unique<RtMidiOut>(api, kClientName);
            } catch (const RtMidiError&) {
                continue;  // e.g. no ALSA sequencer on this machine
            }
            a.trap = std::make_unique<ErrorTrap>();
            a.in->setErrorCallback(&ErrorTrap::callback, a.trap.get());
            a.out->setErrorCallback(&ErrorTrap::callback, a.trap.get());
            apis.push_back(std::move(a));
        }
    }

    std::vector<std::string> InputNames() override { return names(true, nullptr); }
    std::vector<std::string> OutputNames() override { return names(false, nullptr); }

    std::shared_ptr<Input> OpenInput(const std::string& platformName, std::string& error) override {
        return open<RtInput>(true, platformName, error);
    }

    std::shared_ptr<Output> OpenOutput(const std::string& platformName, std::string& error) override {
        return open<RtOutput>(false, platformName, error);
    }

    // A port that cannot be opened is an empty answer with the reason, never an exception.
    template <typename Port>
    std::shared_ptr<Port> open(bool input, const std::string& platformName, std::string& error) {
        RtMidi::Api api = RtMidi::UNSPECIFIED;
        if (!find(input, platformName, api)) {
            error = "The port \"" + platformName + "\" does not exist";
            return nullptr;
        }
        try {
            return std::make_shared<Port>(api, platformName,
                                          [this, input, platformName] { return exists(input, platformName); });
        } catch (const std::exception& e) {  // PairlinkError included
            error = e.what();
        }
        return nullptr;
    }

private:
    struct Api {
        RtMidi::Api api = RtMidi::UNSPECIFIED;
        std::unique_ptr<RtMidiIn> in;
        std::unique_ptr<RtMidiOut> out;
        std::unique_ptr<ErrorTrap> trap;
    };

    std::vector<std::string> names(bool input, std::vector<RtMidi::Api>* apiOf) {
        std::vector<std::string> list;
        for (auto& a : apis) {
            RtMidi& m = input ? static_cast<RtMidi&>(*a.in) : static_cast<RtMidi&>(*a.out);
            const unsigned n = m.getPortCount();
            for (unsigned i = 0; i < n; ++i) {
                std::string name = m.getPortName(i);
                if (name.empty() || isOwnPort(name)) continue;
                list.push_back(std::move(name));
                if (apiOf) apiOf->push_back(a.api);
            }
            a.trap->take();
        }
        return list;
    }
    bool find(bool input, const std::string& platformName, RtMidi::Api& api) {
        std::vector<RtMidi::Api> apiOf;
        const auto list = names(input, &apiOf);
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i] == platformName) {
                api = apiOf[i];
                return true;
            }
        return false;
    }
    bool exists(bool input, const std::string& platformName) {
        RtMidi::Api api = RtMidi::UNSPECIFIED;
        return find(input, platformName, api);
    }

    std::vector<Api> apis;
};

}  // namespace

std::unique_ptr<ISystem> CreatePlatformSystem() { return std::make_unique<RtSystem>(); }

}  // namespace MIDI
