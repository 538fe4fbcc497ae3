#include "JackPorts.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <mutex>
#include <thread>

namespace MIDI {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// JACK prints every failed connection attempt; the editor reports on its own.
void quietJack(const char*) {}
void silenceJackOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function(quietJack);
        jack_set_info_function(quietJack);
    });
}

class JackInput;
class JackOutput;

// The one JACK client, shared by the system and its open ports; the last of
// them to go closes it. Its process callback serves whichever ports are
// attached.
class JackClient {
public:
    static std::shared_ptr<JackClient> Open() {
        silenceJackOnce();
        jack_client_t* handle = jack_client_open(kClientName, JackNoStartServer, nullptr);
        if (!handle) return nullptr;
        auto client = std::shared_ptr<JackClient>(new JackClient(handle));
        jack_set_process_callback(handle, &JackClient::process, client.get());
        jack_on_shutdown(handle, &JackClient::shutdown, client.get());
        if (jack_activate(handle) != 0) return nullptr;
        return client;
    }
    ~JackClient() { jack_client_close(handle); }
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    jack_client_t* Handle() const { return handle; }
    jack_nframes_t SampleRate() const { return sampleRate; }
    bool Gone() const { return gone.load(std::memory_order_acquire); }
    uint64_t Cycles() const { return cycles.load(std::memory_order_acquire); }

    // GUI thread. Once a Detach returns, no cycle uses that port again.
    void AttachInput(JackInput* in) { input.store(in); }
    void AttachOutput(JackOutput* out) { output.store(out); }
    void DetachInput() {
        input.store(nullptr);
        waitOutsideCycle();
    }
    void DetachOutput() {
        output.store(nullptr);
        waitOutsideCycle();
    }

private:
    explicit JackClient(jack_client_t* h) : handle(h), sampleRate(jack_get_sample_rate(h)) {}

    static int process(jack_nframes_t frames, void* self) noexcept;
    static void shutdown(void* self) noexcept { static_cast<JackClient*>(self)->gone.store(true, std::memory_order_release); }

    // A cycle's work takes microseconds: the wait is short.
    void waitOutsideCycle() {
        while (inCycle.load()) std::this_thread::yield();
    }

    jack_client_t* handle;
    jack_nframes_t sampleRate;
    std::atomic<bool> gone{false};
    // The process thread sets inCycle before it looks at the port pointers
    // and clears it when done with them; a detach clears the pointer first and
    // then waits for inCycle to be clear (all sequentially consistent).
    std::atomic<JackInput*> input{nullptr};
    std::atomic<JackOutput*> output{nullptr};
    std::atomic<bool> inCycle{false};
    std::atomic<uint64_t> cycles{0};
};

// One of our ports and the other program's port it is connected to.
class JackPort {
protected:
    JackPort(std::shared_ptr<JackClient> c, const std::string& peerName, bool input)
        : client(std::move(c)), peer(peerName), input(input) {
        port = jack_port_register(client->Handle(), input ? "in" : "out", JACK_DEFAULT_MIDI_TYPE,
                                  input ? JackPortIsInput : JackPortIsOutput, 0);
        if (!port)
            throw PairlinkError(std::string("The editor's JACK ") + (input ? "input" : "output") + " port cannot be made");
    }
    // After the port is attached to the client's cycle; false when the
    // connection was refused.
    bool connect() {
        const char* ours = jack_port_name(port);
        const int result = input ? jack_connect(client->Handle(), peer.c_str(), ours)
                                 : jack_connect(client->Handle(), ours, peer.c_str());
        connectedAt = Clock::now();
        return result == 0 || result == EEXIST;
    }
    // After the port is detached from the client's cycle.
    void unregister() {
        if (!client->Gone()) jack_port_unregister(client->Handle(), port);
        port = nullptr;
    }
    // A connection shows in the server's graph only from its next cycle,
    // which a busy server can hold back: for a while after connecting the
    // peer being there is enough, so that the first send after opening is
    // not refused.
    bool linked() const {
        if (client->Gone() || !port) return false;
        if (jack_port_connected_to(port, peer.c_str()) != 0) return true;
        return Clock::now() < connectedAt + 2s && jack_port_by_name(client->Handle(), peer.c_str()) != nullptr;
    }

    std::shared_ptr<JackClient> client;
    std::string peer;
    bool input;
    jack_port_t* port = nullptr;
    Clock::time_point connectedAt;
};

class JackInput final : public Input, private JackPort {
public:
    JackInput(std::shared_ptr<JackClient> c, const std::string& peerName) : JackPort(std::move(c), peerName, true) {
        client->AttachInput(this);
        if (!connect()) {
            close();
            throw PairlinkError("The port \"" + peer + "\" cannot be connected");
        }
    }
    ~JackInput() override { close(); }

    bool IsAvailable() override { return linked(); }
    std::string PlatformName() const override { return peer; }

    // Process thread.
    void Cycle(jack_nframes_t frames) noexcept {
        void* buffer = jack_port_get_buffer(port, frames);
        const uint32_t count = jack_midi_get_event_count(buffer);
        for (uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) == 0) Receive(event.buffer, event.size);
        }
    }

private:
    void close() {
        if (!port) return;
        client->DetachInput();
        unregister();
    }
};

class JackOutput final : public Output, private JackPort {
public:
    using Output::BeginSend;
    JackOutput(std::shared_ptr<JackClient> c, const std::string& peerName) : JackPort(std::move(c), peerName, false) {
        client->AttachOutput(this);
        if (!connect()) {
            close();
            throw PairlinkError("The port \"" + peer + "\" cannot be connected");
        }
    }
    ~JackOutput() override { close(); }

    bool BeginSend(const MidiBytes& message, Clock::time_point notBefore) override {
        const int s = state.load(std::memory_order_acquire);
        if (s == kQueued || s == kTaken || s == kWritten) {
            lastError = "The previous message is still being sent";
            return false;
        }
        if (!fitsThePort(message)) return false;
        if (client->Gone()) {
            lastError = "The JACK server has stopped";
            return false;
        }
        std::copy(message.begin(), message.end(), bytes.begin());
        size = message.size();
        const auto now = Clock::now();
        dueWord.store(notBefore > now ? kHasDue | frameAt(notBefore, now) : 0, std::memory_order_relaxed);
        queuedAt = std::max(now, notBefore);
        deliveryNoted = false;
        state.store(kQueued, std::memory_order_release);
        return true;
    }

    SendState PollSend() override {
        int s = state.load(std::memory_order_acquire);
        if (s == kIdle) return SendState::Idle;
        if (s == kFailed) return SendState::Failed;
        if (s == kDelivered) {
            if (!deliveryNoted) noteDelivery();
            return SendState::Done;
        }
        if (client->Gone()) {
            state.store(kFailed, std::memory_order_release);
            lastError = "The JACK server has stopped";
            return SendState::Failed;
        }
        // A message the process cycle neither took nor finished within a
        // second of its moment is not going to leave.
        if (Clock::now() < queuedAt + 1s) return SendState::Pending;
        if (s == kQueued && state.compare_exchange_strong(s, kFailed)) {
            lastError = jack_port_connected(port) > 0 ? "The JACK server stopped processing"
                                                      : "The output is not connected to \"" + peer + "\"";
            return SendState::Failed;
        }
        if (s == kWritten && state.compare_exchange_strong(s, kFailed)) {
            lastError = "The JACK server stopped processing";
            return SendState::Failed;
        }
        return SendState::Pending;
    }

    bool CancelSend() override {
        int expected = kQueued;
        return state.compare_exchange_strong(expected, kIdle);
    }

    bool SendShort(ShortMessage m) override {
        const MidiBytes b = {m.status, static_cast<uint8_t>(m.data1 & 0x7F), static_cast<uint8_t>(m.data2 & 0x7F)};
        return BeginSend(MidiBytes(b.begin(), b.begin() + (m.status >= 0xC0 && m.status < 0xE0 ? 2 : 3)));
    }

    bool IsAvailable() override { return linked(); }
    std::string PlatformName() const override { return peer; }
    size_t MaxMessageSize() const override { return kLongestSentMessage; }

    // Process thread: the port's buffer is emptied every cycle; a queued
    // message is written at its frame in the cycle that holds it.
    void Cycle(jack_nframes_t frames, jack_nframes_t cycleStart) noexcept {
        void* buffer = jack_port_get_buffer(port, frames);
        jack_midi_clear_buffer(buffer);
        cleared.store(client->Cycles(), std::memory_order_release);
        // A new connection takes a cycle or two to reach the whole graph; a
        // message written before that can be lost.
        connectedCycles = jack_port_connected(port) > 0 ? std::min(connectedCycles + 1, kSettleCycles) : 0;
        int s = state.load(std::memory_order_acquire);
        if (s == kWritten) {
            // A new cycle started: the one that carried the message is over.
            if (cycleStart != writtenCycle) state.compare_exchange_strong(s, kDelivered, std::memory_order_acq_rel);
            return;
        }
        if (s != kQueued || connectedCycles < kSettleCycles) return;
        jack_nframes_t offset = 0;
        const uint64_t due = dueWord.load(std::memory_order_relaxed);
        if (!offsetInCycle(due, cycleStart, frames, offset)) return;
        if (!state.compare_exchange_strong(s, kTaken, std::memory_order_acq_rel)) return;  // taken back meanwhile
        // Taken back and queued anew between the two looks: the moment read
        // may be the previous message's. Now that it is ours, look again.
        if (const uint64_t now = dueWord.load(std::memory_order_relaxed); now != due &&
                                                                           !offsetInCycle(now, cycleStart, frames, offset)) {
            state.store(kQueued, std::memory_order_release);
            return;
        }
        if (jack_midi_event_write(buffer, offset, bytes.data(), size) != 0) {
            state.store(kFailed, std::memory_order_release);
            return;
        }
        writtenFrame = cycleStart + offset;
        writtenCycle = cycleStart;
        state.store(kWritten, std::memory_order_release);
    }

private:
    enum : int { kIdle, kQueued, kTaken, kWritten, kDelivered, kFailed };
    static constexpr int kSettleCycles = 2;
    static constexpr uint64_t kHasDue = uint64_t{1} << 32;

    // Whether a message due at `due` (kHasDue | frame, or 0 for at once)
    // goes out in the cycle from `cycleStart`, and at which offset.
    static bool offsetInCycle(uint64_t due, jack_nframes_t cycleStart, jack_nframes_t frames,
                              jack_nframes_t& offset) noexcept {
        offset = 0;
        if (!(due & kHasDue)) return true;
        const auto ahead = static_cast<int32_t>(static_cast<jack_nframes_t>(due) - cycleStart);
        if (ahead >= static_cast<int32_t>(frames)) return false;
        if (ahead > 0) offset = static_cast<jack_nframes_t>(ahead);
        return true;
    }

    // The frame of `t`: counted from the last delivery while that is recent
    // (exact to the frame, so paced messages keep their pause exactly), else
    // through the server's clock.
    jack_nframes_t frameAt(Clock::time_point t, Clock::time_point now) const {
        if (anyDelivered && t >= deliveredAt && t - deliveredAt < 10s) {
            const double seconds = std::chrono::duration<double>(t - deliveredAt).count();
            return deliveredFrame + static_cast<jack_nframes_t>(std::llround(seconds * client->SampleRate()));
        }
        const auto ahead = std::chrono::duration_cast<std::chrono::microseconds>(t - now).count();
        return jack_time_to_frames(client->Handle(), jack_get_time() + static_cast<jack_time_t>(ahead));
    }

    void noteDelivery() {
        const jack_time_t at = jack_frames_to_time(client->Handle(), writtenFrame);
        const auto since = static_cast<int64_t>(jack_get_time()) - static_cast<int64_t>(at);
        deliveredAt = Clock::now() - std::chrono::microseconds(since);
        deliveredFrame = writtenFrame;
        deliveryNoted = true;
        anyDelivered = true;
    }

    void close() {
        if (!port) return;
        // Let one more cycle empty the buffer, so that nothing written last
        // goes out again, then let the port go.
        state.store(kIdle);
        const uint64_t seen = client->Cycles();
        const auto until = Clock::now() + 200ms;
        while (!client->Gone() && cleared.load(std::memory_order_acquire) <= seen && Clock::now() < until)
            std::this_thread::sleep_for(1ms);
        client->DetachOutput();
        unregister();
    }

    // GUI thread -> process thread, published by the store of kQueued.
    std::array<uint8_t, kLongestSentMessage> bytes{};
    size_t size = 0;
    // The frame the message is due at (with kHasDue), or 0 for at once; an
    // atomic, as the process thread looks at it before taking the message.
    std::atomic<uint64_t> dueWord{0};
    // Process thread -> GUI thread, published by the store of kWritten.
    jack_nframes_t writtenFrame = 0;
    jack_nframes_t writtenCycle = 0;
    std::atomic<int> state{kIdle};
    std::atomic<uint64_t> cleared{0};
    int connectedCycles = 0;  // process thread only

    // GUI thread only.
    Clock::time_point queuedAt;
    bool deliveryNoted = false;  // of the message last sent
    bool anyDelivered = false;
    jack_nframes_t deliveredFrame = 0;
};

int JackClient::process(jack_nframes_t frames, void* self) noexcept {
    auto* c = static_cast<JackClient*>(self);
    c->inCycle.store(true);
    c->cycles.fetch_add(1, std::memory_order_acq_rel);
    const jack_nframes_t start = jack_last_frame_time(c->handle);
    if (JackInput* in = c->input.load()) in->Cycle(frames);
    if (JackOutput* out = c->output.load()) out->Cycle(frames, start);
    c->inCycle.store(false);
    return 0;
}

class JackSystem final : public ISystem {
public:
    explicit JackSystem(std::shared_ptr<JackClient> c) : client(std::move(c)) {}
    bool Runs() const { return !client->Gone(); }

    std::vector<std::string> InputNames() override { return names(JackPortIsOutput); }
    std::vector<std::string> OutputNames() override { return names(JackPortIsInput); }

    std::shared_ptr<Input> OpenInput(const std::string& platformName, std::string& error) override {
        return open<JackInput>(InputNames(), platformName, error);
    }
    std::shared_ptr<Output> OpenOutput(const std::string& platformName, std::string& error) override {
        return open<JackOutput>(OutputNames(), platformName, error);
    }

private:
    template <typename Port>
    std::shared_ptr<Port> open(const std::vector<std::string>& list, const std::string& platformName,
                               std::string& error) {
        if (std::find(list.begin(), list.end(), platformName) == list.end()) {
            error = "The port \"" + platformName + "\" does not exist";
            return nullptr;
        }
        try {
            return std::make_shared<Port>(client, platformName);
        } catch (const std::exception& e) {  // PairlinkError included
            error = e.what();
        }
        return nullptr;
    }

    std::vector<std::string> names(unsigned long flags) {
        std::vector<std::string> list;
        if (client->Gone()) return list;
        const char** ports = jack_get_ports(client->Handle(), nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
        if (!ports) return list;
        for (const char** p = ports; *p; ++p)
            if (!IsOwnPort(*p)) list.emplace_back(*p);
        jack_free(ports);
        return list;
    }

    std::shared_ptr<JackClient> client;
};

}  // namespace

std::unique_ptr<ISystem> CreateJackSystem() {
    auto client = JackClient::Open();
    if (!client) return nullptr;
    return std::make_unique<JackSystem>(std::move(client));
}

bool JackSystemRuns(ISystem& jackSystem) { return static_cast<JackSystem&>(jackSystem).Runs(); }

}  // namespace MIDI
