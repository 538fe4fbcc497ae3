#include "MidiPorts.h"

#include <cstdio>
#include <mutex>
#include <semaphore>
#include <thread>

#include "PlatformModule.h"
#include "loader/ModuleLoader.h"

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

// In place of the platform's ports when their module cannot be opened: no
// ports, as on a machine without any MIDI system, and the reason with every
// attempt to open one.
class UnavailableSystem final : public ISystem {
public:
    explicit UnavailableSystem(std::string reason) : reason(std::move(reason)) {}
    std::vector<std::string> InputNames() override { return {}; }
    std::vector<std::string> OutputNames() override { return {}; }
    std::shared_ptr<Input> OpenInput(const std::string&, std::string& error) override {
        error = reason;
        return nullptr;
    }
    std::shared_ptr<Output> OpenOutput(const std::string&, std::string& error) override {
        error = reason;
        return nullptr;
    }

private:
    std::string reason;
};

}  // namespace

std::unique_ptr<ISystem> CreatePlatformSystem() {
    std::string error;
    if (auto* entry = ModuleLoader::Function<ISystem*()>(TQV_MIDI_MODULE_FILE, TQV_MIDI_MODULE_ENTRY, error))
        return std::unique_ptr<ISystem>(entry());
    std::fprintf(stderr, "No MIDI ports: %s\n", error.c_str());
    return std::make_unique<UnavailableSystem>("No MIDI ports: " + error);
}

}  // namespace MIDI
