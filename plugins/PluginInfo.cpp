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
