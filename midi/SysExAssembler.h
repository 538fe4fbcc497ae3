#pragma once
// Collects SysEx bytes, as they arrive in arbitrary pieces, into whole
// messages from 0xF0 to 0xF7.
#include <cstddef>
#include <cstdint>

#include "MidiTypes.h"
#include "model/TemplateFile.h"

class SysExAssembler {
public:
    // The longest message taken, as for files: far above the largest dump a
    // unit sends (8208 bytes) and above what one JACK event carries (16379).
    // A message that grows past it lost its 0xF7 (or never had one): it is
    // dropped and counted, so a sender that never ends its message cannot
    // make the editor's memory grow without bound.
    static constexpr size_t kMaxMessageSize = kMaxSysExMessageSize;

    explicit SysExAssembler(size_t maxMessageSize = kMaxMessageSize)
        : maxSize(maxMessageSize < 2 ? 2 : maxMessageSize) {}

    // Feeds one byte; true when it completed a message, which is then in
    // `message()` until the next byte is fed (or it is taken).
    bool feed(uint8_t byte) {
        if (inMessage && bytes.size() == maxSize) {
            // The byte would make the message too long: drop what was
            // collected, and look at the byte afresh (it may start the next message).
            bytes.clear();
            inMessage = false;
            ++overlong;
        }
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
    bool inside() const { return inMessage; }
    MidiBytes& message() { return bytes; }
    void reset() {
        bytes.clear();
        inMessage = false;
    }
    // Messages dropped so far because they grew past the longest message taken.
    size_t overlongCount() const { return overlong; }
    size_t maxMessageSize() const { return maxSize; }

private:
    MidiBytes bytes;
    size_t maxSize;
    size_t overlong = 0;
    bool inMessage = false;
};
