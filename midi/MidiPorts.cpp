#include "MidiPorts.h"

#include <jack/jack.h>
#include <unistd.h>

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
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
        if (assembler.overlongCount() != overlongSysEx.load(std::memory_order_relaxed))
            overlongSysEx.store(assembler.overlongCount(), std::memory_order_relaxed);
        if (complete) {
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

// The JACK MIDI ports of both directions, listed through one client of
// libjack's own (RtMidi would open one per direction, and try to connect
// again for every listing while no server runs). The client is opened when
// first needed and kept; a server that went away is noticed and a later
// listing connects again.
class JackLister {
public:
    JackLister() { silenceJackOnce(); }
    ~JackLister() { close(); }
    JackLister(const JackLister&) = delete;
    JackLister& operator=(const JackLister&) = delete;

    // Adds the ports other programs offer: their outputs are our inputs.
    // False when no server answers.
    bool list(std::vector<std::string>* inputs, std::vector<std::string>* outputs) {
        if (serverGone.exchange(false)) close();
        if (!client) {
            client = jack_client_open((std::string(kClientName) + "-list").c_str(), JackNoStartServer, nullptr);
            if (!client) return false;
            // Listing needs no place in the server's graph: never activated.
            jack_on_shutdown(client, &JackLister::onShutdown, this);
        }
        if (inputs) collect(JackPortIsOutput, *inputs);
        if (outputs) collect(JackPortIsInput, *outputs);
        return true;
    }

private:
    void collect(unsigned long flags, std::vector<std::string>& into) {
        const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
        if (!ports) return;
        for (const char** p = ports; *p; ++p)
            if (!isOwnPort(*p)) into.emplace_back(*p);
        jack_free(ports);
    }
    void close() {
        if (client) jack_client_close(client);
        client = nullptr;
    }
    static void onShutdown(void* self) { static_cast<JackLister*>(self)->serverGone = true; }

    jack_client_t* client = nullptr;
    std::atomic<bool> serverGone{false};
};

// The ALSA sequencer through RtMidi, one listing client per direction, and
// JACK through one listing client of both directions; each kept for the
// program's life so that listing does not create and destroy clients.
class RtSystem final : public ISystem {
public:
    RtSystem() {
        std::vector<RtMidi::Api> compiled;
        RtMidi::getCompiledApi(compiled);
        auto has = [&](RtMidi::Api api) { return std::find(compiled.begin(), compiled.end(), api) != compiled.end(); };
        // Without the sequencer device the ALSA API only prints complaints.
        if (has(RtMidi::LINUX_ALSA) && ::access("/dev/snd/seq", R_OK | W_OK) == 0) {
            try {
                alsa.in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, kClientName);
                alsa.out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
                alsa.trap = std::make_unique<ErrorTrap>();
                alsa.in->setErrorCallback(&ErrorTrap::callback, alsa.trap.get());
                alsa.out->setErrorCallback(&ErrorTrap::callback, alsa.trap.get());
            } catch (const RtMidiError&) {
                alsa = Alsa{};  // e.g. no ALSA sequencer on this machine
            }
        }
        if (has(RtMidi::UNIX_JACK)) jack = std::make_unique<JackLister>();
    }

    std::vector<std::string> InputNames() override { return names(true, nullptr); }
    std::vector<std::string> OutputNames() override { return names(false, nullptr); }
    PortLists ListPorts() override {
        PortLists lists;
        if (alsa.in) {
            alsaNames(true, lists.inputs, nullptr);
            alsaNames(false, lists.outputs, nullptr);
        }
        if (jack) jack->list(&lists.inputs, &lists.outputs);
        return lists;
    }

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
    struct Alsa {
        std::unique_ptr<RtMidiIn> in;
        std::unique_ptr<RtMidiOut> out;
        std::unique_ptr<ErrorTrap> trap;
    };

    void alsaNames(bool input, std::vector<std::string>& list, std::vector<RtMidi::Api>* apiOf) {
        RtMidi& m = input ? static_cast<RtMidi&>(*alsa.in) : static_cast<RtMidi&>(*alsa.out);
        const unsigned n = m.getPortCount();
        for (unsigned i = 0; i < n; ++i) {
            std::string name = m.getPortName(i);
            if (name.empty() || isOwnPort(name)) continue;
            list.push_back(std::move(name));
            if (apiOf) apiOf->push_back(RtMidi::LINUX_ALSA);
        }
        alsa.trap->take();
    }
    std::vector<std::string> names(bool input, std::vector<RtMidi::Api>* apiOf) {
        std::vector<std::string> list;
        if (alsa.in) alsaNames(input, list, apiOf);
        if (jack) {
            jack->list(input ? &list : nullptr, input ? nullptr : &list);
            if (apiOf) apiOf->resize(list.size(), RtMidi::UNIX_JACK);
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

    Alsa alsa;
    std::unique_ptr<JackLister> jack;
};

}  // namespace

std::unique_ptr<ISystem> CreatePlatformSystem() { return std::make_unique<RtSystem>(); }

}  // namespace MIDI
