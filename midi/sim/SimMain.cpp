// tangra-qv-sim: a simulated TaNGRA LuMI QV on JACK. It keeps its 40 templates
// as files in a folder, stores the templates it receives, sends a template or
// its whole bulk dump when told, and takes an OS image in its OS-receive mode.
// It is told what to do through a local control socket (its "front panel"),
// or by commands typed on its terminal.
#include <fcntl.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "midi/Rings.h"
#include "midi/SysExAssembler.h"
#include "model/DeviceKind.h"
#include "model/DeviceProfile.h"
#include "model/OsVersion.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kUsage =
    "Usage:\n"
    "  tangra-qv-sim run [--dir DIR] [--control SOCKET] [--name CLIENT] [--log FILE]\n"
    "                    [--os-version X.Y.ZZ]\n"
    "      run the simulated unit (a JACK client with ports \"in\" and \"out\")\n"
    "  tangra-qv-sim ctl SOCKET COMMAND [ARG...]\n"
    "      tell a running unit what to do; prints its answer, exit 0 when it is \"ok ...\"\n"
    "Commands: status | send LOCATION | send-bulk [GAP_MS] | send-file PATH [GAP_MS]\n"
    "          | send-hex HEX... | send-raw PATH | os-receive | normal | set-os X.Y.ZZ\n"
    "          | received | wait-received COUNT [TIMEOUT_MS] | save-received PATH\n"
    "          | save-sent PATH | clear-received | stream COUNT RATE | quit\n"
    "  stream sends COUNT short messages (notes, controllers, pitch bend, aftertouch,\n"
    "  clock, active sensing) spread evenly at RATE a second; stream 0 0 stops it\n";

constexpr int kLocations = 40;
constexpr size_t kTemplateSize = 4112;

std::atomic<bool> stopRequested{false};

std::string timestamp(std::chrono::system_clock::time_point now = std::chrono::system_clock::now()) {
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    return buf;
}

std::string hexPreview(const MidiBytes& b) {
    std::string s;
    char buf[4];
    const size_t n = b.size();
    for (size_t i = 0; i < n; ++i) {
        if (n > 24 && i == 16) {
            s += "...";
            i = n - 4;
        }
        std::snprintf(buf, sizeof buf, "%02X", b[i]);
        if (!s.empty() && s.back() != '.') s += ' ';
        else if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}

bool parseVersion(const std::string& text, OsVersion& v) {
    int a, b, c;
    if (std::sscanf(text.c_str(), "%d.%d.%d", &a, &b, &c) != 3) return false;
    if (a < 0 || a > 31 || b < 0 || b > 7 || c < 0 || c > 127) return false;
    v = OsVersion{a, b, c};
    return true;
}

// ---------------------------------------------------------------- JACK side

struct Jack {
    jack_client_t* client = nullptr;
    jack_port_t* in = nullptr;
    jack_port_t* out = nullptr;
    // main -> process thread: `in` and `out` are set. The ports are made
    // once the client is active, so that other programs can connect to them
    // as soon as they see them (JACK refuses connections to an inactive client).
    std::atomic<bool> portsReady{false};
    // process thread -> main: what arrived, and when: the frame of the
    // message's event, and that frame on JACK's clock (microseconds)
    struct Arrival {
        jack_nframes_t frame = 0;
        jack_time_t time = 0;
    };
    SysExAssembler assembler;
    SysExQueue received;
    SingleWriterRing<Arrival> receivedAt;
    MessageRing shortReceived;
    // main -> process thread: what to send, one message per entry
    SysExQueue toSend;
    MidiBytes current;  // the message the process thread is about to write
    std::atomic<long> sentCount{0};
    std::atomic<long> tooLong{0};
    std::atomic<bool> serverGone{false};
    // A steady stream of short messages, timed by frames; main -> process
    // thread through the generation number, counted back in streamSent.
    std::atomic<long> streamTotal{0};
    std::atomic<long> streamRate{0};
    std::atomic<int> streamGeneration{0};
    std::atomic<long> streamSent{0};
    int streamSeen = 0;
    jack_nframes_t streamStart = 0;
};

// The stream's k-th message: a repeating mix of what a busy controller sends.
size_t streamMessage(long k, uint8_t* out) {
    const uint8_t v = static_cast<uint8_t>(k & 0x7F);
    switch (k % 8) {
    case 0: out[0] = 0x90; out[1] = v; out[2] = 100; return 3;
    case 1: out[0] = 0xB0; out[1] = 7; out[2] = v; return 3;
    case 2: out[0] = 0x80; out[1] = v; out[2] = 0; return 3;
    case 3: out[0] = 0xE0; out[1] = v; out[2] = 0x40; return 3;
    case 4: out[0] = 0xF8; return 1;
    case 5: out[0] = 0xB1; out[1] = 10; out[2] = v; return 3;
    case 6: out[0] = 0xD0; out[1] = v; return 2;
    default: out[0] = 0xFE; return 1;
    }
}

// Writes the stream's messages that fall due in this cycle at their frames.
void writeStream(Jack* j, void* outBuf, jack_nframes_t frames) {
    const int generation = j->streamGeneration.load(std::memory_order_acquire);
    const jack_nframes_t cycleStart = jack_last_frame_time(j->client);
    if (generation != j->streamSeen) {
        j->streamSeen = generation;
        j->streamStart = cycleStart;
        j->streamSent = 0;
    }
    const long total = j->streamTotal.load();
    const long rate = j->streamRate.load();
    if (rate <= 0) return;
    const double framesPer = static_cast<double>(jack_get_sample_rate(j->client)) / static_cast<double>(rate);
    long k = j->streamSent.load(std::memory_order_relaxed);
    while (k < total) {
        const double due = static_cast<double>(k) * framesPer - static_cast<double>(cycleStart - j->streamStart);
        if (due >= frames) break;
        const auto at = static_cast<jack_nframes_t>(due < 0 ? 0 : due);
        uint8_t m[3];
        const size_t n = streamMessage(k, m);
        if (jack_midi_event_write(outBuf, at, m, n) != 0) break;  // full: the rest next cycle
        ++k;
    }
    j->streamSent.store(k, std::memory_order_relaxed);
}

int process(jack_nframes_t frames, void* arg) {
    auto* j = static_cast<Jack*>(arg);
    if (!j->portsReady.load(std::memory_order_acquire)) return 0;
    void* inBuf = jack_port_get_buffer(j->in, frames);
    const uint32_t n = jack_midi_get_event_count(inBuf);
    for (uint32_t i = 0; i < n; ++i) {
        jack_midi_event_t ev;
        if (jack_midi_event_get(&ev, inBuf, i) != 0 || ev.size == 0) continue;
        const uint8_t first = ev.buffer[0];
        if (first >= 0x80 && first != 0xF0 && first != 0xF7) {
            if (first < 0xF8) j->assembler.interrupt();
            j->shortReceived.push(ShortMessage{first, ev.size > 1 ? ev.buffer[1] : 0, ev.size > 2 ? ev.buffer[2] : 0});
            continue;
        }
        const jack_nframes_t frame = jack_last_frame_time(j->client) + ev.time;
        const Jack::Arrival at{frame, jack_frames_to_time(j->client, frame)};
        for (size_t k = 0; k < ev.size; ++k)
            if (j->assembler.feed(ev.buffer[k])) {
                // The time first: whoever finds the message finds its time.
                if (!j->receivedAt.full() && !j->received.full()) {
                    j->receivedAt.push(at);
                    j->received.push(j->assembler.message());
                }
                j->assembler.reset();
            }
    }
    void* outBuf = jack_port_get_buffer(j->out, frames);
    jack_midi_clear_buffer(outBuf);
    const size_t capacity = jack_midi_max_event_size(outBuf);
    for (;;) {
        if (j->current.empty() && !j->toSend.pop(j->current)) break;
        if (j->current.size() > capacity) {
            if (jack_midi_get_event_count(outBuf) > 0) break;  // try again in an empty cycle
            j->tooLong.fetch_add(1);
            j->current.clear();
            continue;
        }
        if (jack_midi_event_write(outBuf, 0, j->current.data(), j->current.size()) != 0) break;
        j->current.clear();
        j->sentCount.fetch_add(1);
    }
    writeStream(j, outBuf, frames);
    return 0;
}

void onShutdown(void* arg) {
    static_cast<Jack*>(arg)->serverGone = true;
    stopRequested = true;
}

// ---------------------------------------------------------------- the unit

struct Scheduled {
    Clock::time_point due;
    MidiBytes bytes;
};

struct Waiter {
    int fd;
    size_t count;
    Clock::time_point until;
};

class Unit {
public:
    Unit(fs::path dir, OsVersion os, std::ostream& log) : dir(std::move(dir)), os(os), log(log) {}

    bool prepare(std::string& error) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) {
            error = "cannot create " + dir.string() + ": " + ec.message();
            return false;
        }
        for (int loc = 0; loc < kLocations; ++loc) {
            if (fs::exists(locationPath(loc))) continue;
            CTaNGRAQVTemplate t;
            t.setTemplateName("Template " + std::to_string(loc + 1));
            ByteSequence bytes = t.save();
            bytes[12] = static_cast<uint8_t>(loc);
            if (!writeBytesToFile(locationPath(loc).string(), bytes, false, error)) return false;
        }
        return true;
    }

    fs::path locationPath(int loc) const {
        char name[32];
        std::snprintf(name, sizeof name, "template-%02d.syx", loc);
        return dir / name;
    }

    // The template at `loc` as the unit sends it: its OS version stamped in,
    // the location and the single/bulk flag set.
    bool templateBytes(int loc, bool bulk, MidiBytes& out, std::string& error) {
        ByteSequence bytes;
        if (!readMessageFromFile(locationPath(loc).string(), bytes, 0, error) || bytes.size() != kTemplateSize) {
            if (error.empty()) error = locationPath(loc).string() + " holds no template";
            return false;
        }
        out = bytes.vector();
        out[7] = bulk ? 1 : 0;
        out[9] = static_cast<uint8_t>(((os.major & 0x1F) << 3) | (os.minor & 7));
        out[10] = static_cast<uint8_t>(os.build & 0x7F);
        out[12] = static_cast<uint8_t>(loc);
        return true;
    }

    // `frame`: the JACK frame of the message's event (the exact spacing of
    // what arrives; `arrived` is that frame on the clock).
    void handleReceived(const MidiBytes& m, std::chrono::system_clock::time_point arrived, uint32_t frame) {
        allReceived.push_back(m);
        std::string what;
        if (osMode) {
            what = takeOsMessage(m);
        } else if (m.size() == kTemplateSize) {
            CTaNGRAQVTemplate t;
            const OpenResult r = openTemplateBytes(ByteSequence(m), t);
            const int loc = m[12];
            if (!r.ok || r.foreign || r.kind != KindTaNGRAQV) {
                what = "ignored: not a template of this unit";
            } else if (loc >= kLocations) {
                what = "ignored: location " + std::to_string(loc) + " does not exist";
            } else {
                std::string error;
                if (writeBytesToFile(locationPath(loc).string(), ByteSequence(m), false, error))
                    what = std::string("stored at location ") + std::to_string(loc) + (m[7] ? " (bulk entry)" : "");
                else
                    what = "not stored: " + error;
            }
        } else {
            what = "ignored: not a template";
        }
        log << timestamp(arrived) << " in  " << m.size() << " bytes " << hexPreview(m) << " -> " << what << " (frame "
            << frame << ")" << std::endl;
    }

    void logShort(const ShortMessage& s) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%02X %02X %02X", s.status, s.data1, s.data2);
        log << timestamp() << " in  short " << buf << std::endl;
    }

    std::string takeOsMessage(const MidiBytes& m) {
        const uint8_t marker = m.size() > 10 ? m[7] : 0;
        if (osImage.empty() && marker != 0x7F) {
            osMode = false;
            return "OS receive failed: the first message is not the start of an image";
        }
        if (!osImage.empty() && marker == 0x7F) {
            osImage.clear();
            osMode = false;
            return "OS receive failed: a second start marker";
        }
        if (!osImage.empty() && marker != 0x7E && marker != 0x7D) {
            osImage.clear();
            osMode = false;
            return "OS receive failed: unexpected marker";
        }
        osImage.push_back(m);
        if (marker != 0x7D) return "OS message " + std::to_string(osImage.size());
        ByteSequence all;
        for (const auto& part : osImage)
            for (uint8_t b : part) all.appendRaw(b);
        const OsVersion v = osVersionFromBytes(osImage.front()[9], osImage.front()[10]);
        std::string error;
        const bool saved = writeBytesToFile((dir / "os-image.syx").string(), all, false, error);
        const size_t count = osImage.size();
        osImage.clear();
        osMode = false;
        if (!saved) return "OS receive failed: " + error;
        os = v;
        return "OS image complete: " + std::to_string(count) + " messages, now running OS " + versionText(v);
    }

    void schedule(MidiBytes bytes, std::chrono::milliseconds delay) {
        Clock::time_point due = Clock::now();
        if (!queue.empty()) due = std::max(due, queue.back().due + delay);
        allSent.push_back(bytes);
        queue.push_back(Scheduled{due, std::move(bytes)});
    }

    fs::path dir;
    OsVersion os;
    std::ostream& log;
    bool osMode = false;
    std::vector<MidiBytes> osImage;
    std::vector<MidiBytes> allReceived;
    std::vector<MidiBytes> allSent;
    std::deque<Scheduled> queue;
};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    std::string s;
    while (in >> s) w.push_back(s);
    return w;
}

bool readFileBytes(const std::string& path, MidiBytes& out, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

// Answers one command line; an empty answer means "answer later" (a waiter).
std::string command(Unit& unit, Jack& jack, const std::string& line, int fd, std::vector<Waiter>& waiters) {
    const auto w = words(line);
    if (w.empty()) return "error empty command";
    const std::string& c = w[0];
    auto gapArg = [&](size_t i) {
        return std::chrono::milliseconds(w.size() > i ? std::atol(w[i].c_str()) : 0);
    };
    if (c == "status") {
        return "ok mode=" + std::string(unit.osMode ? "os-receive" : "normal") +
               " received=" + std::to_string(unit.allReceived.size()) + " sent=" + std::to_string(jack.sentCount.load()) +
               " queued=" + std::to_string(unit.queue.size()) + " too-long=" + std::to_string(jack.tooLong.load()) +
               " os=" + versionText(unit.os) + " streamed=" + std::to_string(jack.streamSent.load());
    }
    if (c == "stream" && w.size() == 3) {
        const long count = std::atol(w[1].c_str());
        const long rate = std::atol(w[2].c_str());
        if (count < 0 || rate < 0 || (count > 0 && rate == 0)) return "error stream needs COUNT >= 0 and RATE > 0";
        jack.streamTotal = count;
        jack.streamRate = rate;
        jack.streamGeneration.fetch_add(1, std::memory_order_release);
        unit.log << timestamp() << " out stream of " << count << " messages at " << rate << "/s" << std::endl;
        return "ok streaming " + std::to_string(count) + " messages at " + std::to_string(rate) + " a second";
    }
    if (c == "send" && w.size() == 2) {
        const int loc = std::atoi(w[1].c_str());
        if (loc < 0 || loc >= kLocations) return "error location must be 0..39";
        MidiBytes bytes;
        std::string error;
        if (!unit.templateBytes(loc, false, bytes, error)) return "error " + error;
        unit.log << timestamp() << " out template at location " << loc << std::endl;
        unit.schedule(std::move(bytes), std::chrono::milliseconds(0));
        return "ok sending location " + std::to_string(loc);
    }
    if (c == "send-bulk") {
        for (int loc = 0; loc < kLocations; ++loc) {
            MidiBytes bytes;
            std::string error;
            if (!unit.templateBytes(loc, true, bytes, error)) return "error " + error;
            unit.schedule(std::move(bytes), gapArg(1));
        }
        unit.log << timestamp() << " out bulk dump of " << kLocations << " templates" << std::endl;
        return "ok sending bulk dump";
    }
    if (c == "send-file" && w.size() >= 2) {
        CSysExMetaStream stream;
        stream.loadFromFile(w[1]);
        if (stream.messages.empty()) return "error no SysEx message in " + w[1];
        for (const auto& m : stream.messages) unit.schedule(m.vector(), gapArg(2));
        unit.log << timestamp() << " out " << stream.messages.size() << " message(s) from " << w[1] << std::endl;
        return "ok sending " + std::to_string(stream.messages.size()) + " message(s)";
    }
    if (c == "send-hex" && w.size() >= 2) {
        MidiBytes bytes;
        std::string hex;
        for (size_t i = 1; i < w.size(); ++i) hex += w[i];
        if (hex.size() % 2) return "error odd number of hex digits";
        for (size_t i = 0; i < hex.size(); i += 2) {
            char* end = nullptr;
            const std::string pair = hex.substr(i, 2);
            const long v = std::strtol(pair.c_str(), &end, 16);
            if (!end || *end) return "error not hex: " + pair;
            bytes.push_back(static_cast<uint8_t>(v));
        }
        unit.schedule(std::move(bytes), std::chrono::milliseconds(0));
        return "ok sending " + std::to_string(hex.size() / 2) + " byte(s)";
    }
    if (c == "send-raw" && w.size() == 2) {
        MidiBytes bytes;
        std::string error;
        if (!readFileBytes(w[1], bytes, error)) return "error " + error;
        if (bytes.empty()) return "error " + w[1] + " is empty";
        const size_t n = bytes.size();
        unit.schedule(std::move(bytes), std::chrono::milliseconds(0));
        return "ok sending " + std::to_string(n) + " byte(s)";
    }
    if (c == "os-receive") {
        unit.osMode = true;
        unit.osImage.clear();
        unit.log << timestamp() << " mode os-receive" << std::endl;
        return "ok waiting for an OS image";
    }
    if (c == "normal") {
        unit.osMode = false;
        unit.osImage.clear();
        return "ok normal mode";
    }
    if (c == "set-os" && w.size() == 2) {
        OsVersion v;
        if (!parseVersion(w[1], v)) return "error version must be X.Y.ZZ";
        unit.os = v;
        return "ok os=" + versionText(v);
    }
    if (c == "received") return "ok " + std::to_string(unit.allReceived.size());
    if (c == "wait-received" && w.size() >= 2) {
        const size_t count = static_cast<size_t>(std::atol(w[1].c_str()));
        const long timeout = w.size() > 2 ? std::atol(w[2].c_str()) : 10000;
        if (unit.allReceived.size() >= count) return "ok " + std::to_string(unit.allReceived.size());
        if (fd < 0) return "error wait-received needs the control socket";
        waiters.push_back(Waiter{fd, count, Clock::now() + std::chrono::milliseconds(timeout)});
        return {};
    }
    if (c == "save-received" && w.size() == 2) {
        ByteSequence all;
        for (const auto& m : unit.allReceived)
            for (uint8_t b : m) all.appendRaw(b);
        std::string error;
        if (!writeBytesToFile(w[1], all, false, error)) return "error " + error;
        return "ok " + std::to_string(unit.allReceived.size()) + " message(s) written";
    }
    if (c == "save-sent" && w.size() == 2) {
        ByteSequence all;
        for (const auto& m : unit.allSent)
            for (uint8_t b : m) all.appendRaw(b);
        std::string error;
        if (!writeBytesToFile(w[1], all, false, error)) return "error " + error;
        return "ok " + std::to_string(unit.allSent.size()) + " message(s) written";
    }
    if (c == "clear-received") {
        unit.allReceived.clear();
        unit.allSent.clear();
        return "ok";
    }
    if (c == "quit") {
        stopRequested = true;
        return "ok bye";
    }
    return "error unknown command: " + line;
}

void reply(int fd, const std::string& text) {
    const std::string line = text + "\n";
    ssize_t ignored = ::write(fd, line.data(), line.size());
    (void)ignored;
    ::close(fd);
}

int runUnit(const std::vector<std::string>& args) {
    fs::path dir = "tangra-qv-sim-unit";
    std::string control, name = "TaNGRA QV MIDI", logPath;
    OsVersion os = CTaNGRAQVDeviceProfile().GetCurrentOSVersion();
    for (size_t i = 0; i < args.size(); ++i) {
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) throw std::runtime_error(args[i] + " needs a value");
            return args[++i];
        };
        if (args[i] == "--dir") dir = value();
        else if (args[i] == "--control") control = value();
        else if (args[i] == "--name") name = value();
        else if (args[i] == "--log") logPath = value();
        else if (args[i] == "--os-version") {
            if (!parseVersion(value(), os)) throw std::runtime_error("--os-version must be X.Y.ZZ");
        } else throw std::runtime_error("unknown option " + args[i]);
    }
    std::ofstream logFile;
    if (!logPath.empty()) {
        logFile.open(logPath, std::ios::app);
        if (!logFile) throw std::runtime_error("cannot write " + logPath);
    }
    std::ostream& log = logPath.empty() ? std::cout : logFile;

    Unit unit(dir, os, log);
    std::string error;
    if (!unit.prepare(error)) throw std::runtime_error(error);

    Jack jack;
    jack.client = jack_client_open(name.c_str(), JackNoStartServer, nullptr);
    if (!jack.client) throw std::runtime_error("no JACK server is running");
    jack_set_process_callback(jack.client, process, &jack);
    jack_on_shutdown(jack.client, onShutdown, &jack);
    if (jack_activate(jack.client) != 0) throw std::runtime_error("cannot activate the JACK client");
    jack.in = jack_port_register(jack.client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack.out = jack_port_register(jack.client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!jack.in || !jack.out) throw std::runtime_error("cannot register the JACK ports");
    jack.portsReady.store(true, std::memory_order_release);

    int listener = -1;
    if (!control.empty()) {
        listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (control.size() >= sizeof addr.sun_path) throw std::runtime_error("control socket path too long");
        std::strcpy(addr.sun_path, control.c_str());
        ::unlink(control.c_str());
        if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener, 8) != 0)
            throw std::runtime_error("cannot listen on " + control + ": " + std::strerror(errno));
    }
    const bool terminal = ::isatty(0);
    log << timestamp() << " unit \"" << jack_get_client_name(jack.client) << "\" running, OS " << versionText(unit.os)
        << ", templates in " << fs::absolute(dir).string() << std::endl;
    if (terminal) std::cout << "Type a command (\"quit\" ends):" << std::endl;

    std::vector<Waiter> waiters;
    std::string stdinLine;
    while (!stopRequested) {
        pollfd fds[2];
        int nfds = 0;
        if (listener >= 0) fds[nfds++] = pollfd{listener, POLLIN, 0};
        if (terminal) fds[nfds++] = pollfd{0, POLLIN, 0};
        ::poll(fds, static_cast<nfds_t>(nfds), 5);
        for (int k = 0; k < nfds; ++k) {
            if (!(fds[k].revents & POLLIN)) continue;
            if (fds[k].fd == listener) {
                const int fd = ::accept(listener, nullptr, nullptr);
                if (fd < 0) continue;
                std::string line;
                char ch;
                pollfd one{fd, POLLIN, 0};
                while (::poll(&one, 1, 1000) > 0 && ::read(fd, &ch, 1) == 1 && ch != '\n') line += ch;
                const std::string answer = command(unit, jack, line, fd, waiters);
                if (!answer.empty()) reply(fd, answer);
            } else {
                char buf[256];
                const ssize_t n = ::read(0, buf, sizeof buf);
                if (n <= 0) {
                    stopRequested = true;
                    break;
                }
                stdinLine.append(buf, static_cast<size_t>(n));
                size_t nl;
                while ((nl = stdinLine.find('\n')) != std::string::npos) {
                    const std::string line = stdinLine.substr(0, nl);
                    stdinLine.erase(0, nl + 1);
                    if (!words(line).empty()) std::cout << command(unit, jack, line, -1, waiters) << std::endl;
                }
            }
        }
        MidiBytes m;
        Jack::Arrival at;
        while (jack.received.pop(m) && jack.receivedAt.pop(at)) {
            // Logged with the moment JACK delivered the message (its event's
            // frame), not the moment this loop got round to it.
            const auto late =
                std::chrono::microseconds(static_cast<int64_t>(jack_get_time()) - static_cast<int64_t>(at.time));
            unit.handleReceived(m, std::chrono::system_clock::now() - late, at.frame);
        }
        ShortMessage s;
        while (jack.shortReceived.pop(s)) unit.logShort(s);
        while (!unit.queue.empty() && unit.queue.front().due <= Clock::now()) {
            jack.toSend.push(unit.queue.front().bytes);
            unit.queue.pop_front();
        }
        for (auto it = waiters.begin(); it != waiters.end();) {
            if (unit.allReceived.size() >= it->count) {
                reply(it->fd, "ok " + std::to_string(unit.allReceived.size()));
            } else if (Clock::now() > it->until) {
                reply(it->fd, "error timed out with " + std::to_string(unit.allReceived.size()) + " received");
            } else {
                ++it;
                continue;
            }
            it = waiters.erase(it);
        }
    }
    for (const auto& w : waiters) reply(w.fd, "error the unit is stopping");
    if (!jack.serverGone) {
        // Let queued messages leave before the ports go.
        for (int i = 0; i < 100 && (!jack.toSend.empty() || !jack.current.empty()); ++i)
            ::usleep(10000);
        jack_client_close(jack.client);
    } else {
        log << timestamp() << " the JACK server went away" << std::endl;
    }
    if (listener >= 0) {
        ::close(listener);
        ::unlink(control.c_str());
    }
    log << timestamp() << " unit stopped" << std::endl;
    return 0;
}

int runControl(const std::vector<std::string>& args) {
    if (args.size() < 2) throw std::runtime_error("ctl needs SOCKET and COMMAND");
    std::string line;
    for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? " " : "") + args[i];
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (args[0].size() >= sizeof addr.sun_path) throw std::runtime_error("control socket path too long");
    std::strcpy(addr.sun_path, args[0].c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        throw std::runtime_error("no unit answers on " + args[0] + ": " + std::strerror(errno));
    line += "\n";
    if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        throw std::runtime_error("cannot talk to the unit");
    std::string answer;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) answer.append(buf, static_cast<size_t>(n));
    ::close(fd);
    while (!answer.empty() && answer.back() == '\n') answer.pop_back();
    std::cout << answer << std::endl;
    return answer.rfind("ok", 0) == 0 ? 0 : 1;
}

void onSignal(int) { stopRequested = true; }

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string mode = args[0];
    args.erase(args.begin());
    try {
        if (mode == "run") {
            signal(SIGINT, onSignal);
            signal(SIGTERM, onSignal);
            signal(SIGPIPE, SIG_IGN);
            return runUnit(args);
        }
        if (mode == "ctl") return runControl(args);
    } catch (const std::exception& e) {
        std::cerr << "tangra-qv-sim: " << e.what() << "\n";
        return 1;
    }
    std::cerr << "tangra-qv-sim: unknown mode '" << mode << "'\n" << kUsage;
    return 2;
}
