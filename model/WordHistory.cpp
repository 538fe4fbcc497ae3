#include "WordHistory.h"

#include <algorithm>
#include <cctype>

#include "Abbreviation.h"

namespace {
bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
}  // namespace

CWordHistory& CWordHistory::instance() {
    static CWordHistory history = [] {
        CWordHistory h;
        for (const auto& entry : CAbbreviationTable::instance().entries()) h.addWord(entry.first);
        return h;
    }();
    return history;
}

void CWordHistory::addWord(const std::string& word) {
    const size_t end = word.find_last_not_of(' ');
    const std::string w = end == std::string::npos ? std::string() : word.substr(0, end + 1);
    if (w.size() < 3) return;
    words_.erase(std::remove_if(words_.begin(), words_.end(),
                                [&](const std::string& existing) { return equalIgnoringCase(existing, w); }),
                 words_.end());
    words_.push_back(w);
}

void CWordHistory::addName(const std::string& name) {
    addWord(name);
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == ' ') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) parts.push_back(part);
    if (parts.size() > 1)
        for (const auto& p : parts) addWord(p);
}
