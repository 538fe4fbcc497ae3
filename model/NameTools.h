#pragma once
// The model's own name tools: the abbreviation rules (mode 0, words kept
// apart) and the program-wide word history. ModelHooks uses them unless a
// caller installs other tools.
#include "ModelHooks.h"

class CDefaultNameTools : public INameTools {
public:
    std::string abbreviateName(const std::string& name, int maxLength) override;
    void addName(const std::string& name) override;

    static CDefaultNameTools& instance();
};
