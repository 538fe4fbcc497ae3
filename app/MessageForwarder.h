#pragma once
// Hands the short messages that arrive on the MIDI input to a function for as
// long as it lives: windows of the ui layer (which knows nothing of MIDI)
// hear the input through one of these, held by the application side.
#include <functional>
#include <utility>

#include "midi/MidiService.h"
#include "midi/MidiTypes.h"

class CMessageForwarder : public IMessageListener {
public:
    using Receiver = std::function<void(int status, int data1, int data2)>;
    CMessageForwarder(MidiService& service, Receiver receiver) : service(service), receiver(std::move(receiver)) {
        service.AddMessageListener(this);
    }
    ~CMessageForwarder() override { Detach(); }
    // Stops forwarding; safe from inside the receiver (the object lives on).
    void Detach() {
        if (attached) service.RemoveMessageListener(this);
        attached = false;
    }
    CMessageForwarder(const CMessageForwarder&) = delete;
    CMessageForwarder& operator=(const CMessageForwarder&) = delete;

    void OnMidiMessage(uint8_t status, int data1, int data2) override {
        if (attached && receiver) receiver(status, data1, data2);
    }

private:
    MidiService& service;
    Receiver receiver;
    bool attached = true;
};
