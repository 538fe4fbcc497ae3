#pragma once
// Single-writer rings between the MIDI callback thread (the only writer of
// `write`) and the GUI thread (the only writer of `read`): the normal path
// takes no lock. An entry that finds the ring full is dropped and counted;
// at the poll rate a full ring means the GUI thread has stalled for seconds.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
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

// Whole SysEx messages from the callback thread to the GUI thread, kept in
// one block of bytes allocated up front, each message behind its length: the
// writer never allocates and never waits. A message that finds no room is
// dropped and counted.
class SysExRing {
public:
    // Room for well over a bulk dump (40 x 4112 bytes) between two polls.
    static constexpr size_t kDefaultCapacity = 512 * 1024;
    static constexpr size_t kLengthBytes = 4;  // the length before each message

    explicit SysExRing(size_t capacity = kDefaultCapacity)
        : size(capacity < 2 * kLengthBytes ? 2 * kLengthBytes : capacity), bytes(new uint8_t[size]) {}
    SysExRing(const SysExRing&) = delete;
    SysExRing& operator=(const SysExRing&) = delete;

    size_t capacity() const noexcept { return size; }

    // Writer (callback thread). False when the message did not fit.
    bool push(const uint8_t* data, size_t n) noexcept {
        const size_t w = write.load(std::memory_order_relaxed);
        const size_t used = w - read.load(std::memory_order_acquire);
        if (n > UINT32_MAX || used + kLengthBytes + n > size) {
            dropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
        const uint32_t length = static_cast<uint32_t>(n);
        uint8_t head[kLengthBytes];
        std::memcpy(head, &length, kLengthBytes);
        copyIn(w, head, kLengthBytes);
        copyIn(w + kLengthBytes, data, n);
        write.store(w + kLengthBytes + n, std::memory_order_release);
        return true;
    }

    // Reader (GUI thread).
    bool empty() const noexcept { return read.load(std::memory_order_relaxed) == write.load(std::memory_order_acquire); }
    bool pop(MidiBytes& out) {
        const size_t r = read.load(std::memory_order_relaxed);
        if (r == write.load(std::memory_order_acquire)) return false;
        uint8_t head[kLengthBytes];
        copyOut(r, head, kLengthBytes);
        uint32_t length = 0;
        std::memcpy(&length, head, kLengthBytes);
        out.resize(length);
        copyOut(r + kLengthBytes, out.data(), length);
        read.store(r + kLengthBytes + length, std::memory_order_release);
        return true;
    }
    // Drops everything waiting.
    void discard() noexcept { read.store(write.load(std::memory_order_acquire), std::memory_order_release); }
    size_t droppedCount() const noexcept { return dropped.load(std::memory_order_relaxed); }

private:
    // Positions count bytes from the start and only grow; the block is used
    // modulo its size.
    void copyIn(size_t at, const uint8_t* from, size_t n) noexcept {
        const size_t offset = at % size;
        const size_t first = n < size - offset ? n : size - offset;
        if (first > 0) std::memcpy(bytes.get() + offset, from, first);
        if (n > first) std::memcpy(bytes.get(), from + first, n - first);
    }
    void copyOut(size_t at, uint8_t* to, size_t n) const noexcept {
        const size_t offset = at % size;
        const size_t first = n < size - offset ? n : size - offset;
        if (first > 0) std::memcpy(to, bytes.get() + offset, first);
        if (n > first) std::memcpy(to + first, bytes.get(), n - first);
    }

    const size_t size;
    std::unique_ptr<uint8_t[]> bytes;
    std::atomic<size_t> read{0};
    std::atomic<size_t> write{0};
    std::atomic<size_t> dropped{0};
};
