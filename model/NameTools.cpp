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

std::string toNameCharactersReplacing(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto u = static_cast<unsigned char>(text[i]);
        if ((u >= 0x20 && u <= 0x5A) || (u >= 'a' && u <= 'z')) {
            out.push_back(text[i]);
            continue;
        }
        switch (u) {
            case '[': case '{': out.push_back('('); break;
            case ']': case '}': out.push_back(')'); break;
            case '_': case '~': out.push_back('-'); break;
            case '\\': case '|': out.push_back('/'); break;
            case '^': case '`': out.push_back('\''); break;
            default:
                if (u < 0x20 || u == 0x7F) break;  // control characters show nothing
                // One "?" for a whole multi-byte UTF-8 character.
                while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) ++i;
                out.push_back('?');
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
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
