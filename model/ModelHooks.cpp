#include "ModelHooks.h"

#include "NameTools.h"

namespace {
// Set while a ThreadModelHooks lives on this thread.
thread_local ModelHooks* threadHooks = nullptr;
}  // namespace

ModelHooks& ModelHooks::get() {
    if (threadHooks) return *threadHooks;
    // The model's own abbreviation and word history serve until a caller
    // installs other name tools.
    static ModelHooks hooks = [] {
        ModelHooks h;
        h.nameTools = &CDefaultNameTools::instance();
        return h;
    }();
    return hooks;
}

void ModelHooks::notice(const std::string& text) {
    if (auto* sink = get().notices) sink->notice(text);
}

ThreadModelHooks::ThreadModelHooks(const ModelHooks& hooks) : hooks_(hooks), saved_(threadHooks) {
    threadHooks = &hooks_;
}

ThreadModelHooks::~ThreadModelHooks() { threadHooks = saved_; }
