#pragma once
// The part of the VST 2 binary interface this program uses: the effect record
// a plug-in's entry point returns, the dispatcher calls made while examining a
// plug-in, and the host callback answers. Declared here from the published
// interface; only what is needed to read names.
#include <cstdint>

namespace vst2 {

struct Effect;

// Every call into and out of a plug-in shares this shape:
// (effect, opcode, index, value, pointer, float option).
using HostCallback = std::intptr_t (*)(Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using DispatcherProc = std::intptr_t (*)(Effect*, std::int32_t, std::int32_t, std::intptr_t, void*, float);
using ProcessProc = void (*)(Effect*, float**, float**, std::int32_t);
using ProcessDoubleProc = void (*)(Effect*, double**, double**, std::int32_t);
using SetParameterProc = void (*)(Effect*, std::int32_t, float);
using GetParameterProc = float (*)(Effect*, std::int32_t);
// The entry point: takes the host callback, returns the plug-in's effect record.
using EntryProc = Effect* (*)(HostCallback);

// The four characters "VstP" read as a big-endian number.
constexpr std::int32_t kEffectMagic = 0x56737450;

// The effect record, laid out as plug-ins build it (natural alignment of the
// platform's C compiler).
struct Effect {
    std::int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;  // the old accumulating process call
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    std::int32_t numPrograms;
    std::int32_t numParams;
    std::int32_t numInputs;
    std::int32_t numOutputs;
    std::int32_t flags;
    std::intptr_t reserved1;
    std::intptr_t reserved2;
    std::int32_t initialDelay;
    std::int32_t realQualities;
    std::int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    std::int32_t uniqueId;
    std::int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Dispatcher opcodes (host to plug-in).
enum EffectOpcode : std::int32_t {
    effOpen = 0,
    effClose = 1,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effConnectOutput = 32,
    effSetBlockSizeAndSampleRate = 43,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetVstVersion = 58,
};

// Host callback opcodes (plug-in to host) that get an answer other than 0.
enum HostOpcode : std::int32_t {
    audioMasterVersion = 1,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
};

// The interface version this host claims.
constexpr std::intptr_t kHostVersion = 2300;

}  // namespace vst2
