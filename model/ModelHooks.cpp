#include "ModelHooks.h"

#include "NameTools.h"

ModelHooks& ModelHooks::get() {
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
