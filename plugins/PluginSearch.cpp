#include "PluginSearch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace PluginSearch {

const char* libraryExtension() { return ".so"; }

namespace {
bool isFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}
}  // namespace

std::string defaultFolderSetting(const char* environmentPath, const char* home) {
    if (environmentPath && *environmentPath) return environmentPath;
    std::vector<std::string> candidates;
    if (home && *home) {
        candidates.push_back(std::string(home) + "/.vst");
        candidates.push_back(std::string(home) + "/.lxvst");
    }
    for (const char* f : {"/usr/local/lib/vst", "/usr/lib/vst", "/usr/local/lib/lxvst", "/usr/lib/lxvst"})
        candidates.push_back(f);
    std::string setting;
    for (const std::string& c : candidates)
        if (isFolder(c)) setting += (setting.empty() ? "" : ":") + c;
    return setting;
}

std::string defaultFolderSetting() { return defaultFolderSetting(std::getenv("VST_PATH"), std::getenv("HOME")); }

std::vector<std::string> splitFolders(const std::string& setting) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= setting.size()) {
        size_t end = setting.find(':', start);
        if (end == std::string::npos) end = setting.size();
        if (end > start) out.push_back(setting.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

namespace {

struct Walker {
    std::set<std::pair<dev_t, ino_t>> seen;  // folders and files already reached
    std::vector<std::string> files;

    bool firstVisit(const fs::path& p) {
        struct stat st;
        if (::stat(p.c_str(), &st) != 0) return false;
        return seen.insert({st.st_dev, st.st_ino}).second;
    }

    void walk(const fs::path& folder) {
        if (!firstVisit(folder)) return;  // also ends loops through folder links
        std::error_code ec;
        fs::directory_iterator it(folder, ec);
        if (ec) return;
        std::vector<fs::path> entries;
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            entries.push_back(it->path());
        }
        std::sort(entries.begin(), entries.end());
        const std::string ext = libraryExtension();
        for (const fs::path& p : entries) {
            std::error_code e2;
            const fs::file_status st = fs::status(p, e2);  // follows links
            if (e2) continue;
            if (fs::is_directory(st)) {
                walk(p);
            } else if (fs::is_regular_file(st)) {
                const std::string name = p.filename().string();
                if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0 &&
                    firstVisit(p))
                    files.push_back(p.string());
            }
        }
    }
};

}  // namespace

std::vector<std::string> findPluginFiles(const std::vector<std::string>& folders) {
    Walker w;
    for (const std::string& f : folders) w.walk(f);
    return w.files;
}

}  // namespace PluginSearch
