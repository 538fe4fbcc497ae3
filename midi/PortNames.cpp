#include "PortNames.h"

#include <algorithm>
#include <cctype>

namespace MIDI {
namespace {

bool has(const std::string& s, const char* word) { return s.find(word) != std::string::npos; }

std::string productIn(const std::string& raw) {
    if (has(raw, "TaNGRA") && has(raw, "QV") && has(raw, "Brevik")) return "TaNGRA QV Brevik";
    if (has(raw, "TaNGRA") && has(raw, "QV") && has(raw, "LuMI")) return "TaNGRA LuMI QV";
    if (has(raw, "TaNGRA") && has(raw, "QV")) return "TaNGRA QV";
    if (has(raw, "TangraQV")) return "TangraQV IN";
    if (has(raw, "QV") && (has(raw, "ORVA") || has(raw, "Orva"))) return "QV Orva";
    if (has(raw, "LuMI") && (has(raw, "ORVA") || has(raw, "Orva"))) return "LuMI Orva";
    return raw;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

void eraseFirst(std::string& s, char c) {
    const size_t at = s.find(c);
    if (at != std::string::npos) s.erase(at, 1);
}

void eraseAll(std::string& s, char c) { std::erase(s, c); }

struct Stripped {
    std::string raw;      // the platform name with its leading port digits marked
    std::string text;     // the name without port prefixes and driver words
    std::string product;
};

// The steps shared by the shown name and the hash: find the product words,
// drop a leading port number in front of them and the driver's MIDIIN/MIDIOUT
// words with their port digits.
Stripped strip(std::string raw) {
    Stripped s;
    s.product = productIn(raw);
    std::string t = raw;
    const size_t p = raw.find(s.product);
    if (p != std::string::npos && p > 2 && raw[p - 1] != '(') {
        if (p > 3 && isDigit(raw[p - 4])) {
            raw[p - 4] = 'x';
            t.erase(0, p - 4);
        }
        if (isDigit(raw[p - 3])) {
            raw[p - 3] = 'x';
            if (t != raw) t.erase(0, std::min(t.size(), p - 3));
        }
    }
    for (const char* word : {"MIDIIN", "MIDIOUT"}) {
        const size_t at = t.find(word);
        if (at == std::string::npos) continue;
        t.erase(at, std::string(word).size() + 2);
        eraseFirst(t, '(');
        eraseFirst(t, ')');
    }
    s.raw = std::move(raw);
    s.text = std::move(t);
    return s;
}

}  // namespace

std::string DisplayName(const std::string& platformName) {
    const Stripped s = strip(platformName);
    std::string name = s.text;
    if (name.find(": Port ") == std::string::npos) {
        if (name == s.raw || s.raw == "x- " + s.product || s.raw == "xx- " + s.product) {
            name += ": Port 1";
        } else {
            for (char d = '1'; d <= '9'; ++d)
                if (s.raw.find(d) != std::string::npos) name += std::string(": Port ") + d;
        }
    }
    eraseAll(name, '(');
    eraseAll(name, ')');
    return name;
}

uint32_t Fnv1Hash(const std::string& bytes) {
    uint32_t h = 2166136261u;
    for (unsigned char c : bytes) {
        h *= 16777619u;
        h ^= c;
    }
    return h;
}

uint32_t NameHash(const std::string& platformName) {
    std::string name = strip(platformName).text;
    const size_t at = name.find(": Port ");
    if (at != std::string::npos) name.erase(at, std::min(name.size() - at, size_t{8}));
    eraseAll(name, '(');
    eraseAll(name, ')');
    return Fnv1Hash(name);
}

}  // namespace MIDI
