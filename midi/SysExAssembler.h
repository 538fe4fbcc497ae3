#pragma once
// Collects SysEx bytes, as they arrive in arbitrary pieces, into whole
// messages from 0xF0 to 0xF7.
#include <cstddef>
#include <cstdint>

#include "MidiTypes.h"

class SysExAssembler {
public:
    // Feeds one byte; true when it completed a message, which is then in
    // `message()` until the next byte is fed (or it is taken).
    bool feed(uint8_t byte) {
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

private:
    MidiBytes bytes;
    bool inMessage = false;
};
