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

std::string toNameCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 0x20 && u <= 0x5A) || (u >= 'a' && u <= 'z')) out.push_back(c);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}
