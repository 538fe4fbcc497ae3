#pragma once
// Collects SysEx bytes, as they arrive in arbitrary pieces, into whole
// messages from 0xF0 to 0xF7.
//
// As in MIDI itself, any status byte other than a real-time one ends a
// message: a message that has not seen its 0xF7 when the next 0xF0 (or a
// channel or system common status) arrives is dropped and counted, so that a
// sender that broke off cannot spoil the next message. Real-time bytes
// (0xF8 and up) may sit anywhere and are not part of the message.
//
// The storage is reserved once, for the longest message taken: feeding never
// allocates, so the MIDI callback thread can use it.
#include <cstddef>
#include <cstdint>

#include "MidiTypes.h"
#include "model/TemplateFile.h"

class SysExAssembler {
public:
    // The longest message taken, as for files: far above the largest dump a
    // unit sends (8208 bytes). A message that grows past it lost its 0xF7
    // (or never had one): it is dropped and counted, so a sender that never
    // ends its message cannot make the editor's memory grow without bound.
    static constexpr size_t kMaxMessageSize = kMaxSysExMessageSize;

    explicit SysExAssembler(size_t maxMessageSize = kMaxMessageSize)
        : maxSize(maxMessageSize < 2 ? 2 : maxMessageSize) {
        bytes.reserve(maxSize);
    }

    // Feeds one byte; true when it completed a message, which is then in
    // `message()` until the next byte is fed (or it is taken).
    bool feed(uint8_t byte) noexcept {
        if (byte >= 0xF8) return false;
        if (inMessage && bytes.size() == maxSize) {
            // The byte would make the message too long: drop what was
            // collected, and look at the byte afresh (it may start the next message).
            bytes.clear();
            inMessage = false;
            ++overlong;
        }
        if (inMessage && byte >= 0x80 && byte != 0xF7) interrupt();
        if (!inMessage) {
            if (byte != 0xF0) return false;
            bytes.clear();
            bytes.push_back(0xF0);
            inMessage = true;
            return false;
        }
        bytes.push_back(byte);
        if (byte == 0xF7) {
            inMessage = false;
            return true;
        }
        return false;
    }
    // A status byte that is not fed here (a short message arriving on its
    // own) ends an unfinished message just the same.
    void interrupt() noexcept {
        if (!inMessage) return;
        bytes.clear();
        inMessage = false;
        ++unterminated;
    }
    bool inside() const noexcept { return inMessage; }
    const MidiBytes& message() const noexcept { return bytes; }
    void reset() noexcept {
        bytes.clear();
        inMessage = false;
    }
    // Messages dropped so far because they grew past the longest message taken.
    size_t overlongCount() const noexcept { return overlong; }
    // Messages dropped so far because a status byte came before their 0xF7.
    size_t unterminatedCount() const noexcept { return unterminated; }
    size_t maxMessageSize() const noexcept { return maxSize; }

private:
    MidiBytes bytes;
    size_t maxSize;
    size_t overlong = 0;
    size_t unterminated = 0;
    bool inMessage = false;
};
