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

// A name from outside the editor (a plug-in, another template) reduced to the
// characters the hardware's display shows and that a dump can carry: blank to
// "Z" and the lower-case letters. Everything else is dropped (a multi-byte
// UTF-8 character as a whole), and trailing blanks with it.
std::string toNameCharacters(const std::string& text);
// The same reduction, but each character the display lacks becomes a close
// one it has ("_" "-", "[" "(", "|" "/"...; any other "?") instead of going:
// for a name that the dropping would make equal to another one.
std::string toNameCharactersReplacing(const std::string& text);
