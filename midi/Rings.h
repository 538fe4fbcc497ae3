#pragma once
// Single-writer rings between the MIDI callback thread (the only writer of
// `write`) and the GUI thread (the only writer of `read`): the normal path
// takes no lock. An entry that finds the ring full is dropped and counted;
// at the poll rate a full ring means the GUI thread has stalled for seconds.
#include <array>
#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "MidiTypes.h"

template <typename T, int Slots = 256>
class SingleWriterRing {
public:
    static constexpr int kSlots = Slots;  // holds at most kSlots - 1 entries

    // Callback thread. Moves `entry` in (swapping, so that a slot's storage is
    // reused and the callback rarely allocates). False when the ring was full.
    bool push(T& entry) {
        const int w = write.load(std::memory_order_relaxed);
        const int next = (w + 1) % kSlots;
        if (next == read.load(std::memory_order_acquire)) {
            dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        std::swap(slots[static_cast<size_t>(w)], entry);
        write.store(next, std::memory_order_release);
        return true;
    }
    bool push(const T& entry) {
        T copy = entry;
        return push(copy);
    }

    // Writer side: whether a push now would drop.
    bool full() const {
        return (write.load(std::memory_order_relaxed) + 1) % kSlots == read.load(std::memory_order_acquire);
    }

    // GUI thread.
    bool empty() const { return read.load(std::memory_order_relaxed) == write.load(std::memory_order_acquire); }
    bool pop(T& out) {
        const int r = read.load(std::memory_order_relaxed);
        if (r == write.load(std::memory_order_acquire)) return false;
        std::swap(out, slots[static_cast<size_t>(r)]);
        read.store((r + 1) % kSlots, std::memory_order_release);
        return true;
    }
    // Drops everything waiting.
    void discard() { read.store(write.load(std::memory_order_acquire), std::memory_order_release); }
    size_t droppedCount() const { return dropped.load(std::memory_order_relaxed); }

private:
    std::array<T, kSlots> slots{};
    std::atomic<int> read{0};
    std::atomic<int> write{0};
    std::atomic<size_t> dropped{0};
};

using MessageRing = SingleWriterRing<ShortMessage>;
using SysExQueue = SingleWriterRing<MidiBytes>;
