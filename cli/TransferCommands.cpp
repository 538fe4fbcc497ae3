// bulk-receive, bulk-send and os-send: the bulk dump dialog's and the OS
// update dialog's transfers, run on the editor's own MIDI service.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "BulkCommands.h"
#include "MidiCommands.h"
#include "midi/MidiService.h"
#include "midi/Transfers.h"
#include "model/BulkDump.h"
#include "model/DeviceOS.h"
#include "model/DeviceProfile.h"

namespace {
using namespace std::chrono_literals;

std::atomic<bool> interrupted{false};
extern "C" void onInterrupt(int) { interrupted = true; }

int transferUsage(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n(see tangra-qv-tool --help)\n";
    return 2;
}

int transferFail(const std::string& why) {
    std::cerr << "tangra-qv-tool: " << why << "\n";
    return 1;
}

// One line on a terminal, rewritten in place; nothing when stderr is a file.
class ProgressLine : public ITransferObserver {
public:
    explicit ProgressLine(const char* format) : format(format), terminal(::isatty(2) == 1) {}
    ~ProgressLine() override { done(); }
    void OnTransferStep(int n, int total) override {
        if (!terminal) return;
        std::fprintf(stderr, "\r");
        std::fprintf(stderr, format, n, total);
        std::fflush(stderr);
        shown = true;
    }
    void OnTransferEnded(TransferEnd e) override {
        ended = true;
        end = e;
        done();
    }
    void done() {
        if (shown) std::fprintf(stderr, "\n");
        shown = false;
    }
    const char* format;
    bool terminal;
    bool shown = false;
    bool ended = false;
    TransferEnd end = TransferEnd::Completed;
};

struct PortOptions {
    std::string port;
    std::string file;
    double timeout = 60;
    bool stats = false;
};

bool parseOptions(const std::vector<std::string>& args, const char* portFlag, bool withTimeout, PortOptions& o,
                  std::string& why) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == portFlag && i + 1 < args.size()) {
            o.port = args[++i];
        } else if (withTimeout && args[i] == "--timeout" && i + 1 < args.size()) {
            char* end = nullptr;
            o.timeout = std::strtod(args[++i].c_str(), &end);
            if (!end || *end || o.timeout <= 0) {
                why = "--timeout needs a positive number of seconds";
                return false;
            }
        } else if (args[i] == "--stats") {
            o.stats = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            why = "unknown option '" + args[i] + "'";
            return false;
        } else if (o.file.empty()) {
            o.file = args[i];
        } else {
            why = "too many files";
            return false;
        }
    }
    if (o.file.empty()) why = "a file is needed";
    return !o.file.empty();
}

// Runs a paced send to its end; Ctrl+C cancels it at once.
TransferEnd runSend(MidiService& midi, CPacedSender& sender, ProgressLine& line) {
    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    sender.Start();
    while (sender.IsRunning()) {
        if (interrupted) {
            sender.Cancel();
            break;
        }
        midi.Poll();
        // Each message goes out at its moment whatever the poll does: the
        // poll only notices deliveries (and Ctrl+C) a little sooner.
        std::this_thread::sleep_for(2ms);
    }
    std::signal(SIGINT, previous);
    return line.end;
}

// Timing figures of a paced send, for measuring it against the pauses it must take.
void printStats(const CPacedSender& sender, TransferClock::duration elapsed) {
    using ms = std::chrono::duration<double, std::milli>;
    const auto& times = sender.PortTimes();
    ms beforeLast{0};
    for (size_t i = 0; i + 1 < times.size(); ++i) beforeLast += times[i];
    const long pauses = static_cast<long>(times.empty() ? 0 : times.size() - 1) * sender.Pause().count();
    // First to last message as the port delivered them.
    const auto& at = sender.DeliveryTimes();
    const ms span = at.size() > 1 ? ms(at.back() - at.front()) : ms(0);
    std::fprintf(stderr, "stats: sent=%d pauses_ms=%ld port_ms_before_last=%.1f delivered_span_ms=%.1f elapsed_ms=%.1f\n",
                 sender.Sent(), pauses, beforeLast.count(), span.count(), ms(elapsed).count());
}

// "3 of 40 templates reached the unit"
std::string reached(const CPacedSender& sender, const char* what) {
    return std::to_string(sender.Delivered()) + " of " + std::to_string(sender.Total()) + " " + what +
           " reached the unit";
}

std::string deviceLost(bool input) {
    return std::string("Invalid ") + (input ? "input" : "output") + " device";
}
}  // namespace

int cmdBulkReceive(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    PortOptions o;
    std::string why;
    if (!parseOptions(args, "--in", true, o, why)) return transferUsage("bulk-receive: " + why);
    MidiService midi;
    midi.Start();
    std::string error;
    if (!chooseMidiPort(midi, true, o.port, error)) return transferFail(error);
    auto dump = profile.CreateBulkDump();
    CServiceLink link(midi);
    ProgressLine line("Receiving %d of %d...");
    CBulkReceiver receiver(link, *dump, &line);
    if (!receiver.Start()) return transferFail(deviceLost(true));
    std::cerr << "Awaiting dump from " << midi.InputName() << "...\n";
    interrupted = false;
    auto previous = std::signal(SIGINT, onInterrupt);
    // Poll often: the unit may send its templates back to back.
    auto lastActivity = TransferClock::now();
    int seen = 0;
    while (receiver.IsRunning()) {
        if (interrupted) receiver.Cancel();
        midi.Poll();
        if (receiver.Received() != seen) {
            seen = receiver.Received();
            lastActivity = TransferClock::now();
        }
        if (receiver.IsRunning() && TransferClock::now() - lastActivity > std::chrono::duration<double>(o.timeout)) {
            receiver.Cancel();
            line.done();
            return transferFail("nothing arrived within " + std::to_string(static_cast<int>(o.timeout)) +
                                " seconds (" + std::to_string(seen) + " of " + std::to_string(dump->GetCount()) +
                                " templates received)");
        }
        std::this_thread::sleep_for(1ms);
    }
    std::signal(SIGINT, previous);
    const std::string total = std::to_string(dump->GetCount());
    switch (line.end) {
        case TransferEnd::Completed: break;
        case TransferEnd::Cancelled: return transferFail("cancelled; nothing was written");
        case TransferEnd::BadDump:
            return transferFail("Unable to read dump - a message from the unit was not a valid template (after " +
                                std::to_string(seen) + " of " + total + " templates); nothing was written.");
        case TransferEnd::PortLost: {
            const std::string got = std::to_string(receiver.Received());
            std::string why = "the input port " + midi.InputName() + " went away after " + got + " of " + total +
                              " templates; ";
            if (receiver.Received() == 0) return transferFail(why + "nothing was written");
            if (!dump->SaveToFile(o.file, error))
                return transferFail(why + "they could not be kept: unable to save file " + o.file + " (" + error + ")");
            return transferFail(why + "the " + got + " received are kept in " + o.file + " (the other entries are empty)");
        }
        default: return transferFail("Error receiving bulk dump");
    }
    if (!dump->SaveToFile(o.file, error))
        return transferFail("Unable to save file: " + o.file + "\nCheck the file is not read only. (" + error + ")");
    std::cerr << "Received " << dump->GetCount() << " templates into " << o.file;
    if (midi.IgnoredCount() > 0) std::cerr << " (passed over messages from other devices)";
    std::cerr << "\n";
    return 0;
}

int cmdBulkSend(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    PortOptions o;
    std::string why;
    if (!parseOptions(args, "--out", false, o, why)) return transferUsage("bulk-send: " + why);
    auto dump = profile.CreateBulkDump();
    std::string error;
    if (!dump->LoadFromFile(o.file, error))
        return transferFail("Unable to load dump from file: " + o.file + " (" + error + ")");
    MidiService midi;
    midi.Start();
    if (!chooseMidiPort(midi, false, o.port, error)) return transferFail(error);
    CServiceLink link(midi);
    ProgressLine line("Writing %d of %d...");
    CPacedSender sender(link, BulkDumpMessages(*dump), BulkSendPause(profile.GetDeviceType()), &line);
    std::cerr << "Writing dump to " << midi.OutputName() << "...\n";
    const auto began = TransferClock::now();
    const TransferEnd end = runSend(midi, sender, line);
    if (o.stats) printStats(sender, TransferClock::now() - began);
    switch (end) {
        case TransferEnd::Completed:
            std::cerr << "Sent " << sender.Total() << " templates\n";
            return 0;
        case TransferEnd::Cancelled: return transferFail("cancelled after " + std::to_string(sender.Delivered()) + " templates");
        case TransferEnd::CannotStart:
            return transferFail(deviceLost(false) + " (" + reached(sender, "templates") + ")");
        default: return transferFail("Error sending bulk dump: " + midi.LastError() + " (" + reached(sender, "templates") + ")");
    }
}

int cmdOsSend(const IDeviceProfile& profile, const std::vector<std::string>& args) {
    PortOptions o;
    std::string why;
    if (!parseOptions(args, "--out", false, o, why)) return transferUsage("os-send: " + why);
    auto os = profile.CreateDeviceOS();
    if (!os->LoadFromFile(o.file))
        return transferFail("The file \"" + o.file + "\" is not a valid operating system. (" + os->LastProblem() + ")");
    std::vector<MidiBytes> messages;
    for (const auto& m : os->messages) messages.push_back(m.vector());
    if (const std::string why = UnsendableMessage(messages); !why.empty())
        return transferFail("The file \"" + o.file + "\" is not a valid operating system. (" + why + ")");
    MidiService midi;
    midi.Start();
    std::string error;
    if (!chooseMidiPort(midi, false, o.port, error)) return transferFail(error);
    if (const std::string why = UnsendableMessage(messages, midi.OutputPort()->MaxMessageSize()); !why.empty())
        return transferFail("The file \"" + o.file + "\" cannot be sent to " + midi.OutputName() + ". (" + why + ")");
    CServiceLink link(midi);
    ProgressLine line("Sending OS message %d of %d...");
    CPacedSender sender(link, std::move(messages), kOsSendPause, &line);
    std::cerr << "Sending OS " << versionText(os->GetVersion()) << " to " << midi.OutputName() << "...\n";
    const auto began = TransferClock::now();
    const TransferEnd end = runSend(midi, sender, line);
    if (o.stats) printStats(sender, TransferClock::now() - began);
    switch (end) {
        case TransferEnd::Completed:
            std::cerr << "OS update completed! Switch the hardware off and on again to start the new OS.\n";
            return 0;
        case TransferEnd::Cancelled: return transferFail("cancelled after " + std::to_string(sender.Delivered()) + " messages");
        case TransferEnd::CannotStart:
            return transferFail(deviceLost(false) + " (" + reached(sender, "messages") + ")");
        default: return transferFail("Error uploading OS: " + midi.LastError() + " (" + reached(sender, "messages") + ")");
    }
}
