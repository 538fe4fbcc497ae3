#include "ModelHooks.h"

ModelHooks& ModelHooks::get() {
    static ModelHooks hooks;
    return hooks;
}

void ModelHooks::notice(const std::string& text) {
    if (auto* sink = get().notices) sink->notice(text);
}
