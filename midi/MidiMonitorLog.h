#pragma once
// The history behind the MIDI monitor window: the newest messages of the
// kinds the filter shows, at most `capacity` of them, with pause and clear.
//
// A hidden kind is neither shown nor kept, so a running clock cannot push the
// notes out of the history; hiding a kind also removes its lines.
//
// Pause freezes the lines, so that they can be read, selected and copied
// while a controller keeps sending. What arrives meanwhile is kept (up to
// `capacity` messages, the oldest dropped first) and appended on resume.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "MidiMonitor.h"

class MidiMonitorLog {
public:
    static constexpr size_t kDefaultCapacity = 10000;
    explicit MidiMonitorLog(size_t capacity = kDefaultCapacity) : capacity(capacity ? capacity : 1) {}

    void add(const MonitorEvent& e);

    // The lines shown, oldest first.
    size_t size() const { return lines.size(); }
    const MonitorEvent& at(size_t i) const { return lines[i]; }
    MonitorLine line(size_t i) const { return FormatMonitorEvent(lines[i]); }
    // The given lines as text, one per line, in the order given.
    std::string copyText(const std::vector<size_t>& rows) const;

    void setShown(unsigned groups);
    unsigned shown() const { return shownGroups; }
    bool shows(MonitorKind kind) const { return (GroupOf(kind) & shownGroups) != 0; }

    void setPaused(bool on);
    bool paused() const { return isPaused; }
    // Messages that arrived during the pause, to appear on resume.
    size_t waiting() const { return held.size(); }

    // Empties the lines (and what waits behind a pause) and restarts the counts.
    void clear();

    uint64_t received() const { return receivedCount; }  // every message handed in
    uint64_t hidden() const { return hiddenCount; }      // of a kind the filter hid
    uint64_t dropped() const { return droppedCount; }    // pushed out by the bound
    // How many lines have left the front of the list so far: a view keeping a
    // selection or a scroll position moves it up by the change.
    uint64_t removedFromFront() const { return frontRemoved; }
    // Changes whenever the lines change.
    uint64_t version() const { return changes; }
    size_t maxLines() const { return capacity; }

private:
    void append(const MonitorEvent& e);

    size_t capacity;
    std::deque<MonitorEvent> lines, held;
    unsigned shownGroups = MonitorGroup::Default;
    bool isPaused = false;
    uint64_t receivedCount = 0, hiddenCount = 0, droppedCount = 0, frontRemoved = 0, changes = 0;
};
