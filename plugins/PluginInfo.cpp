#include "PluginInfo.h"

#include <filesystem>

#include "model/Abbreviation.h"

PluginDescription PluginInfo::description() const { return PluginDescription{name, vendor, parameters}; }

namespace PluginNames {

namespace {
bool isNameCharacter(unsigned char c) { return (c >= 0x20 && c <= 0x5A) || (c >= 'a' && c <= 'z'); }
}  // namespace

std::string toNameCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '_' || c == '\t') c = ' ';
        if (!isNameCharacter(c)) continue;
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += static_cast<char>(c);
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string shownText(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c == '\\') {
            out += "\\\\";
            ++i;
        } else if (c == '\n' || c == '\t' || c == '\r') {
            out += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // A whole UTF-8 sequence stays; C1 controls (U+0080..U+009F) and
            // stray bytes do not.
            const size_t length = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
            bool valid = length > 0 && i + length <= n;
            for (size_t k = 1; valid && k < length; ++k) valid = (p[i + k] & 0xC0) == 0x80;
            if (valid && length == 3 && ((c == 0xE0 && p[i + 1] < 0xA0) || (c == 0xED && p[i + 1] >= 0xA0))) valid = false;
            if (valid && length == 4 && ((c == 0xF0 && p[i + 1] < 0x90) || (c == 0xF4 && p[i + 1] >= 0x90))) valid = false;
            if (!valid) {
                out += "\\x";
                out += hex[c >> 4];
                out += hex[c & 15];
                ++i;
            } else if (length == 2 && c == 0xC2 && p[i + 1] < 0xA0) {
                out += "\\u00";
                out += hex[(p[i + 1] >> 4) & 15];
                out += hex[p[i + 1] & 15];
                i += 2;
            } else {
                out.append(text, i, length);
                i += length;
            }
        }
    }
    return out;
}

PluginInfo describe(const ScannedPlugin& scanned, int maxNameLength) {
    PluginInfo info;
    info.path = scanned.path;
    const std::filesystem::path p(scanned.path);
    info.fileName = p.stem().string();
    info.folder = p.parent_path().string();
    info.vendor = toNameCharacters(scanned.vendor);
    info.name = toNameCharacters(scanned.name);
    if (info.name.empty()) info.name = toNameCharacters(info.fileName);
    if (info.name.empty()) info.name = info.fileName;
    for (const ScannedParameter& sp : scanned.parameters) {
        if (sp.name.empty()) continue;
        std::string full = toNameCharacters(sp.name);
        // A name made only of characters the display cannot show still names
        // a parameter: keep it reachable by its number.
        if (full.empty()) full = "Param " + std::to_string(sp.index);
        PluginBinding b;
        b.shortName = Abbreviation::abbreviate(full, maxNameLength, Abbreviation::JoinWords);
        b.fullName = std::move(full);
        b.index = sp.index;
        info.parameters.push_back(std::move(b));
    }
    return info;
}

}  // namespace PluginNames
