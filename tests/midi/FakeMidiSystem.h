#pragma once
// A MIDI system without a platform: ports are named in a list, opening can be
// made to fail, bytes "arrive" through Receive, sends are recorded.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "midi/MidiPorts.h"

class FakeInput : public MIDI::Input {
public:
    explicit FakeInput(std::string n, size_t maxSysExSize = SysExAssembler::kMaxMessageSize)
        : MIDI::Input(maxSysExSize), name(std::move(n)) {}
    bool IsAvailable() override { return available; }
    std::string PlatformName() const override { return name; }
    void arrive(const MidiBytes& bytes) { Receive(bytes.data(), bytes.size()); }
    std::string name;
    bool available = true;
};

class FakeOutput : public MIDI::Output {
public:
    explicit FakeOutput(std::string n) : name(std::move(n)) {}
    using MIDI::Output::BeginSend;
    bool BeginSend(const MidiBytes& m, Clock::time_point notBefore) override {
        if (m.size() > MaxMessageSize()) {
            lastError = "too long";
            return false;
        }
        pending = m;
        due = notBefore;
        polls = 0;
        state = MIDI::SendState::Pending;
        return true;
    }
    // Done after `pollsPerSend` polls once its moment has come.
    MIDI::SendState PollSend() override {
        if (state != MIDI::SendState::Pending) return state;
        if (Clock::now() < due) return state;
        if (++polls < pollsPerSend) return state;
        if (failNext) {
            failNext = false;
            lastError = "refused";
            return state = MIDI::SendState::Failed;
        }
        sent.push_back(pending);
        deliveredAt = Clock::now();
        return state = MIDI::SendState::Done;
    }
    bool CancelSend() override {
        if (state != MIDI::SendState::Pending) return false;
        state = MIDI::SendState::Idle;
        ++withdrawn;
        return true;
    }
    bool SendShort(ShortMessage) override { return true; }
    bool IsAvailable() override { return available; }
    std::string PlatformName() const override { return name; }
    size_t MaxMessageSize() const override { return kLongestSentMessage; }

    std::string name;
    std::vector<MidiBytes> sent;
    MidiBytes pending;
    Clock::time_point due;
    int withdrawn = 0;
    MIDI::SendState state = MIDI::SendState::Idle;
    int polls = 0, pollsPerSend = 2;
    bool failNext = false;
    bool available = true;
};

class FakeMidiSystem : public MIDI::ISystem {
public:
    std::vector<std::string> ins, outs;
    std::set<std::string> refuse;  // ports that cannot be opened
    int opens = 0;
    std::shared_ptr<FakeInput> lastInput;
    std::shared_ptr<FakeOutput> lastOutput;

    std::vector<std::string> InputNames() override { return ins; }
    std::vector<std::string> OutputNames() override { return outs; }
    std::shared_ptr<MIDI::Input> OpenInput(const std::string& name, std::string& error) override {
        ++opens;
        if (refuse.count(name)) {
            error = "in use";
            return nullptr;
        }
        lastInput = std::make_shared<FakeInput>(name);
        return lastInput;
    }
    std::shared_ptr<MIDI::Output> OpenOutput(const std::string& name, std::string& error) override {
        ++opens;
        if (refuse.count(name)) {
            error = "in use";
            return nullptr;
        }
        lastOutput = std::make_shared<FakeOutput>(name);
        return lastOutput;
    }
};
