#include "PluginExaminer.h"

#include <dlfcn.h>

#include <cstring>

#include "plugins/VstAbi.h"

namespace {

using namespace vst2;

constexpr float kSampleRate = 44100.0f;
constexpr std::intptr_t kBlockSize = 512;
// Room for the names plug-ins write; many ignore the documented short limits.
constexpr size_t kNameBuffer = 513;
// Extra space behind the buffer for plug-ins that write even more.
constexpr size_t kBufferSlack = 1536;

std::intptr_t call(Effect* e, std::int32_t opcode, std::int32_t index = 0, std::intptr_t value = 0,
                   void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// A plug-in answering effSetSampleRate may ask for the sample rate again;
// answering from inside that call would recurse without end.
thread_local int callbackDepth = 0;

std::intptr_t hostCallback(Effect* effect, std::int32_t opcode, std::int32_t, std::intptr_t, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return kHostVersion;
        case audioMasterGetSampleRate:
            if (effect && callbackDepth == 0) {
                ++callbackDepth;
                call(effect, effSetSampleRate, 0, 0, nullptr, kSampleRate);
                --callbackDepth;
            }
            return 0;
        case audioMasterGetBlockSize:
            if (effect && callbackDepth == 0) {
                ++callbackDepth;
                call(effect, effSetBlockSize, 0, kBlockSize);
                --callbackDepth;
            }
            return 0;
        default: return 0;
    }
}

std::string askText(Effect* e, std::int32_t opcode, std::int32_t index = 0) {
    char buffer[kNameBuffer + kBufferSlack];
    std::memset(buffer, 0, sizeof buffer);
    call(e, opcode, index, 0, buffer);
    return std::string(buffer, strnlen(buffer, kNameBuffer - 1));
}

EntryProc findEntry(void* library) {
    for (const char* name : {"VSTPluginMain", "main", "MAIN"})
        if (void* symbol = dlsym(library, name)) return reinterpret_cast<EntryProc>(symbol);
    return nullptr;
}

Effect* loadEffect(const std::string& path, std::string& reason) {
    // A name without a folder would send the loader through its search path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* error = dlerror();
        std::string why = error ? error : "";
        if (why.rfind(file + ": ", 0) == 0) why.erase(0, file.size() + 2);
        reason = "not a loadable library" + (why.empty() ? std::string() : ": " + why);
        return nullptr;
    }
    EntryProc entry = findEntry(library);
    if (!entry) {
        reason = "no VST entry point";
        dlclose(library);
        return nullptr;
    }
    Effect* effect = entry(hostCallback);
    if (!effect || effect->magic != kEffectMagic || !effect->dispatcher) {
        reason = "the entry point returned no VST effect";
        dlclose(library);
        return nullptr;
    }
    return effect;
}

}  // namespace

namespace PluginExaminer {

bool examine(const std::string& path, ScannedPlugin& out, std::string& reason) {
    Effect* effect = loadEffect(path, reason);
    if (!effect) return false;
    if (call(effect, effGetVstVersion) <= 1) {
        call(effect, effClose);
        reason = "a VST 1 plug-in";
        return false;
    }
    if (effect->numParams < 0 || effect->numParams > ScanProtocol::kMaxParameters) {
        reason = "reports " + std::to_string(effect->numParams) + " parameters";
        return false;
    }
    call(effect, effOpen);
    call(effect, effSetBlockSizeAndSampleRate, 0, kBlockSize, nullptr, kSampleRate);
    for (std::int32_t i = 0; i < effect->numOutputs; ++i) call(effect, effConnectOutput, i, 1);
    call(effect, effMainsChanged, 0, 1);

    out = ScannedPlugin{};
    out.path = path;
    out.vendor = askText(effect, effGetVendorString);
    out.name = askText(effect, effGetEffectName);
    for (std::int32_t i = 0; i < effect->numParams; ++i)
        out.parameters.push_back({i, askText(effect, effGetParamName, i)});

    call(effect, effMainsChanged, 0, 0);
    call(effect, effClose);
    return true;
}

bool nameOnly(const std::string& path, std::string& name) {
    std::string reason;
    Effect* effect = loadEffect(path, reason);
    if (!effect) return false;
    name = askText(effect, effGetEffectName);
    return true;
}

}  // namespace PluginExaminer
