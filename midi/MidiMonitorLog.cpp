#include "MidiMonitorLog.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

MonitorKind KindOf(const MonitorEvent& e) {
    if (e.kept == 0) return MonitorKind::Undefined;
    const uint8_t status = e.bytes[0];
    if (status < 0x80) return MonitorKind::Undefined;
    switch (status & 0xF0) {
    case 0x80: return MonitorKind::NoteOff;
    case 0x90: return MonitorKind::NoteOn;
    case 0xA0: return MonitorKind::PolyAftertouch;
    case 0xB0: return MonitorKind::ControlChange;
    case 0xC0: return MonitorKind::ProgramChange;
    case 0xD0: return MonitorKind::ChannelAftertouch;
    case 0xE0: return MonitorKind::PitchBend;
    default: break;
    }
    switch (status) {
    case 0xF0: return MonitorKind::SysEx;
    case 0xF1: return MonitorKind::TimeCode;
    case 0xF2: return MonitorKind::SongPosition;
    case 0xF3: return MonitorKind::SongSelect;
    case 0xF6: return MonitorKind::TuneRequest;
    case 0xF8: return MonitorKind::Clock;
    case 0xFA: return MonitorKind::Start;
    case 0xFB: return MonitorKind::Continue;
    case 0xFC: return MonitorKind::Stop;
    case 0xFE: return MonitorKind::ActiveSensing;
    case 0xFF: return MonitorKind::Reset;
    default: return MonitorKind::Undefined;  // F4, F5, F7 alone, F9, FD
    }
}

unsigned GroupOf(MonitorKind kind) {
    switch (kind) {
    case MonitorKind::NoteOff:
    case MonitorKind::NoteOn: return MonitorGroup::Notes;
    case MonitorKind::ControlChange: return MonitorGroup::ControlChange;
    case MonitorKind::ProgramChange: return MonitorGroup::ProgramChange;
    case MonitorKind::PitchBend: return MonitorGroup::PitchBend;
    case MonitorKind::PolyAftertouch:
    case MonitorKind::ChannelAftertouch: return MonitorGroup::Aftertouch;
    case MonitorKind::SysEx: return MonitorGroup::SysEx;
    case MonitorKind::Clock: return MonitorGroup::Clock;
    case MonitorKind::ActiveSensing: return MonitorGroup::ActiveSensing;
    default: return MonitorGroup::Other;
    }
}

const char* KindName(MonitorKind kind) {
    switch (kind) {
    case MonitorKind::NoteOff: return "Note Off";
    case MonitorKind::NoteOn: return "Note On";
    case MonitorKind::PolyAftertouch: return "Poly Aftertouch";
    case MonitorKind::ControlChange: return "Control Change";
    case MonitorKind::ProgramChange: return "Program Change";
    case MonitorKind::ChannelAftertouch: return "Channel Aftertouch";
    case MonitorKind::PitchBend: return "Pitch Bend";
    case MonitorKind::SysEx: return "SysEx";
    case MonitorKind::Clock: return "Clock";
    case MonitorKind::ActiveSensing: return "Active Sensing";
    case MonitorKind::Start: return "Start";
    case MonitorKind::Continue: return "Continue";
    case MonitorKind::Stop: return "Stop";
    case MonitorKind::Reset: return "System Reset";
    case MonitorKind::TimeCode: return "Time Code";
    case MonitorKind::SongPosition: return "Song Position";
    case MonitorKind::SongSelect: return "Song Select";
    case MonitorKind::TuneRequest: return "Tune Request";
    case MonitorKind::Undefined: break;
    }
    return "Undefined";
}

namespace {

std::string hexBytes(const MonitorEvent& e) {
    std::string s;
    char buf[4];
    for (size_t i = 0; i < e.kept; ++i) {
        if (e.folded() && i + 1 == e.kept) s += " ...";
        std::snprintf(buf, sizeof buf, "%02X", e.bytes[i]);
        if (!s.empty()) s += ' ';
        s += buf;
    }
    return s;
}

std::string printed(const char* format, int a, int b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

}  // namespace

MonitorLine FormatMonitorEvent(const MonitorEvent& e) {
    MonitorLine line;
    const std::time_t seconds = static_cast<std::time_t>(e.timeUs / 1000000);
    const int ms = static_cast<int>((e.timeUs % 1000000) / 1000);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    line.time = buf;

    const MonitorKind kind = KindOf(e);
    line.kind = KindName(kind);
    const uint8_t status = e.kept ? e.bytes[0] : 0;
    if (status >= 0x80 && status < 0xF0) line.channel = std::to_string((status & 0x0F) + 1);
    const int d1 = e.kept > 1 ? e.bytes[1] : 0;
    const int d2 = e.kept > 2 ? e.bytes[2] : 0;
    const size_t needed = (kind == MonitorKind::ProgramChange || kind == MonitorKind::ChannelAftertouch) ? 2 : 3;
    if (status >= 0x80 && status < 0xF0 && e.length < needed) {
        line.data = hexBytes(e);  // cut short: show what came
        return line;
    }
    switch (kind) {
    case MonitorKind::NoteOff:
    case MonitorKind::NoteOn: line.data = printed("Note %d, Velocity %d", d1, d2); break;
    case MonitorKind::PolyAftertouch: line.data = printed("Note %d, Pressure %d", d1, d2); break;
    case MonitorKind::ControlChange: line.data = printed("Controller %d, Value %d", d1, d2); break;
    case MonitorKind::ProgramChange: line.data = printed("Program %d", d1); break;
    case MonitorKind::ChannelAftertouch: line.data = printed("Pressure %d", d1); break;
    case MonitorKind::PitchBend: {
        const int value = d1 | (d2 << 7);
        line.data = printed("Value %d (%+d)", value, value - 8192);
        break;
    }
    case MonitorKind::SysEx: line.data = hexBytes(e) + " (" + std::to_string(e.length) + " bytes)"; break;
    case MonitorKind::Clock:
    case MonitorKind::ActiveSensing:
    case MonitorKind::Start:
    case MonitorKind::Continue:
    case MonitorKind::Stop:
    case MonitorKind::Reset:
    case MonitorKind::TuneRequest: break;
    default: line.data = hexBytes(e); break;
    }
    return line;
}

void MidiMonitorLog::append(const MonitorEvent& e) {
    lines.push_back(e);
    if (lines.size() > capacity) {
        lines.pop_front();
        ++droppedCount;
        ++frontRemoved;
    }
    ++changes;
}

void MidiMonitorLog::add(const MonitorEvent& e) {
    ++receivedCount;
    if (!shows(KindOf(e))) {
        ++hiddenCount;
        return;
    }
    if (!isPaused) {
        append(e);
        return;
    }
    held.push_back(e);
    if (held.size() > capacity) {
        held.pop_front();
        ++droppedCount;
    }
}

std::string MidiMonitorLog::copyText(const std::vector<size_t>& rows) const {
    std::string text;
    for (size_t r : rows)
        if (r < lines.size()) text += line(r).text() + '\n';
    return text;
}

void MidiMonitorLog::setShown(unsigned groups) {
    shownGroups = groups & MonitorGroup::All;
    auto hiddenNow = [this](const MonitorEvent& e) { return !shows(KindOf(e)); };
    const size_t before = lines.size();
    std::erase_if(lines, hiddenNow);
    std::erase_if(held, hiddenNow);
    if (lines.size() != before) ++changes;
}

void MidiMonitorLog::setPaused(bool on) {
    if (on == isPaused) return;
    isPaused = on;
    if (on) return;
    for (const MonitorEvent& e : held) append(e);
    held.clear();
}

void MidiMonitorLog::clear() {
    if (!lines.empty()) ++changes;
    lines.clear();
    held.clear();
    receivedCount = hiddenCount = droppedCount = 0;
}
