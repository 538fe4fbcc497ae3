// The module with the platform's MIDI ports (tqv-midi-ports.so): the ALSA
// sequencer through RtMidi and JACK, so that the program itself links neither.
// What the ports share with the rest of the program (Input::Receive, the
// arrival waker, Output's checks) stays in the program and is found there.
#include <unistd.h>

#include <RtMidi.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "JackPorts.h"
#include "PlatformModule.h"

namespace MIDI {

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

// An RtMidi client of the ALSA sequencer whose errors go to `trap`.
template <typename Port, typename... Arguments>
std::unique_ptr<Port> makeClient(ErrorTrap& trap, Arguments... arguments) {
    std::unique_ptr<Port> port;
    try {
        port = std::make_unique<Port>(RtMidi::LINUX_ALSA, arguments...);
    } catch (const RtMidiError& e) {
        throw PairlinkError(e.getMessage());
    }
    port->setErrorCallback(&ErrorTrap::callback, &trap);
    return port;
}

// Where the client lists the port `platformName`.
unsigned indexOfPort(RtMidi& port, const std::string& platformName) {
    const unsigned n = port.getPortCount();
    for (unsigned i = 0; i < n; ++i)
        if (port.getPortName(i) == platformName) return i;
    throw PairlinkError("The port \"" + platformName + "\" no longer exists");
}

// An ALSA sequencer input through RtMidi.
class RtInput final : public Input {
public:
    RtInput(const std::string& platformName, std::function<bool()> available)
        : name(platformName), availableCheck(std::move(available)) {
        port = makeClient<RtMidiIn>(trap, kClientName, 1024u);
        const unsigned index = indexOfPort(*port, platformName);
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
        port = makeClient<RtMidiOut>(trap, kClientName);
        port->openPort(indexOfPort(*port, platformName), "out");
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
            if (!name.empty() && !IsOwnPort(name)) list.push_back(std::move(name));
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

}  // namespace MIDI

extern "C" __attribute__((visibility("default"))) MIDI::ISystem* tqv_midi_platform_system() {
    return new MIDI::PlatformSystem();
}
