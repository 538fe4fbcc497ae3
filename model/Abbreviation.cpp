#include "Abbreviation.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {
std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool allDigits(const std::string& w) { return !w.empty() && std::all_of(w.begin(), w.end(), isDigit); }

bool hasDigit(const std::string& w) { return std::any_of(w.begin(), w.end(), isDigit); }

bool endsWith(const std::string& w, char c) { return !w.empty() && w.back() == c; }

// The length the words take once joined in `mode`.
int joinedLength(const std::vector<std::string>& words, int mode) {
    int n = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        n += static_cast<int>(w.size());
        if (mode == Abbreviation::KeepWordsApart) {
            if (i + 1 < words.size() && !endsWith(w, '.')) ++n;
        } else if (endsWith(w, '.') || endsWith(w, ' ')) {
            --n;
        }
    }
    return n;
}

// Blank-separated words; a number standing after a word is kept with it
// ("Osc 2 Pitch" gives Osc2 and Pitch).
std::vector<std::string> wordsOf(const std::string& name) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : name) {
        if (c == ' ') {
            if (!piece.empty()) pieces.push_back(piece);
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) pieces.push_back(piece);

    std::vector<std::string> words;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0 && allDigits(pieces[i]) && !allDigits(pieces[i - 1])) words.back() += pieces[i];
        else words.push_back(pieces[i]);
    }
    return words;
}

std::string join(const std::vector<std::string>& words, int mode) {
    std::string text;
    for (std::string w : words) {
        if (mode == Abbreviation::KeepWordsApart) {
            text += w;
            if (!endsWith(w, ' ') && !endsWith(w, '.')) text += ' ';
        } else {
            w = lowerCase(w);
            if (!w.empty()) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
            if (endsWith(w, '.') || endsWith(w, ' ')) w.pop_back();
            text += w;
        }
    }
    return text;
}
}  // namespace

// ---- table -------------------------------------------------------------------

CAbbreviationTable& CAbbreviationTable::instance() {
    static CAbbreviationTable table;
    return table;
}

CAbbreviationTable::CAbbreviationTable()
    : entries_{{"filter", "Flt."},     {"unison", "Uni."},      {"select", "Sel."},       {"frequency", "Freq."},
               {"cutoff", "Cut."},     {"delete", "Del."},      {"mixer", "Mix."},        {"resonance", "Res."},
               {"auto", "Aut."},       {"velocity", "Vel."},    {"attack", "Atk."},       {"metronome", "Metro"},
               {"envelope", "Env."},   {"decay", "Dec."},       {"solo", "Sol."},         {"portamento", "Port."},
               {"sustain", "Sus."},    {"mute", "Mut."},        {"operator", "Op."},      {"release", "Rel."},
               {"volume", "Vol."},     {"oscillator", "Osc."},  {"sense", "Sen."},        {"modulation", "Mod."},
               {"timbre", "Tmb"},      {"bypass", "Byp."},      {"amplifier", "Amp."},    {"effect", "FX"},
               {"mono", "Mno"},        {"octave", "Oct."},      {"monitor", "Mon."},      {"destination", "Dst."},
               {"detune", "Det."},     {"audio", "Aud."}} {}

const std::string* CAbbreviationTable::find(const std::string& word) const {
    const auto it = entries_.find(lowerCase(word));
    return it == entries_.end() ? nullptr : &it->second;
}

// ---- abbreviation ----------------------------------------------------------------

namespace Abbreviation {

std::string shortened(const std::string& word) {
    if (const std::string* known = CAbbreviationTable::instance().find(word)) return *known;
    if (word.size() < 3) return word;
    std::string out(1, word.front());
    for (size_t i = 1; i + 1 < word.size(); ++i) {
        const char c = word[i];
        if (c != 'a' && c != 'e' && c != 'i' && c != 'o' && c != 'u') out.push_back(c);
    }
    out.push_back(word.back());
    return out;
}

std::string squeezed(const std::string& word) {
    if (word.size() <= 1) return word;
    std::string out(1, word.front());
    for (size_t i = 1; i < word.size(); ++i)
        if (isDigit(word[i])) out.push_back(word[i]);
    return out + ".";
}

std::string abbreviate(const std::string& name, int maxLength, int mode) {
    if (maxLength < 0 || static_cast<size_t>(maxLength) >= name.size()) return name;
    const std::vector<std::string> base = wordsOf(name);
    std::vector<std::string> work = base;
    const size_t count = base.size();
    // Shorten the words from the k-th on; when that is not enough, squeeze
    // the k-th word hard and try again with the words after it.
    for (size_t k = 0; k < count; ++k) {
        for (size_t i = k; i < count; ++i) {
            if (joinedLength(work, mode) <= maxLength) break;
            work[i] = shortened(base[i]);
            if (i + 1 == count && endsWith(work[i], '.')) work[i].pop_back();
        }
        if (joinedLength(work, mode) <= maxLength) break;
        for (size_t j = k; j < count; ++j) work[j] = base[j];
        if (k + 1 != count || hasDigit(base[k])) work[k] = squeezed(base[k]);
    }
    std::string text = join(work, mode);
    if (text.size() > static_cast<size_t>(maxLength)) text.resize(static_cast<size_t>(maxLength));
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace Abbreviation
