#include "NameTools.h"

#include "Abbreviation.h"
#include "WordHistory.h"

std::string CDefaultNameTools::abbreviateName(const std::string& name, int maxLength) {
    return Abbreviation::abbreviate(name, maxLength, Abbreviation::KeepWordsApart);
}

void CDefaultNameTools::addName(const std::string& name) { CWordHistory::instance().addName(name); }

CDefaultNameTools& CDefaultNameTools::instance() {
    static CDefaultNameTools tools;
    return tools;
}
