#include "loader/ModuleLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& chosenFolders() {
    static std::vector<std::string> folders;
    return folders;
}

// The folder of the running program, symbolic links resolved (a link in
// /usr/local/bin still finds the modules of the real installation).
std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    std::string p(path);
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::vector<std::string> ModuleLoader::SearchFolders() {
    {
        std::lock_guard<std::mutex> guard(lock());
        if (!chosenFolders().empty()) return chosenFolders();
    }
    const std::string program = programFolder();
    // TQV_MODULES_FROM_PROGRAM: the installed modules' folder relative to the
    // installed programs' (set by the build from the install layout).
    return {program, program + "/" TQV_MODULES_FROM_PROGRAM};
}

void ModuleLoader::SetSearchFolders(std::vector<std::string> folders) {
    std::lock_guard<std::mutex> guard(lock());
    chosenFolders() = std::move(folders);
}

void* ModuleLoader::Entry(const std::string& file, const char* entry, std::string& error) {
    const std::vector<std::string> folders = SearchFolders();
    std::string path;
    for (const std::string& folder : folders)
        if (::access((folder + "/" + file).c_str(), R_OK) == 0) {
            path = folder + "/" + file;
            break;
        }
    if (path.empty()) {
        error = "The module " + file + " is in none of its folders (";
        for (size_t i = 0; i < folders.size(); ++i) error += (i ? ", " : "") + folders[i];
        error += ")";
        return nullptr;
    }
    // Every symbol bound now: a module that does not fit this program fails
    // here, with the loader's reason, rather than at its first call.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = ::dlerror();
        error = "The module " + path + " could not be loaded: " + (why ? why : "unknown reason");
        return nullptr;
    }
    ::dlerror();
    void* function = ::dlsym(module, entry);
    if (!function) {
        const char* why = ::dlerror();
        error = "The module " + path + " has no " + entry + ": " + (why ? why : "unknown reason");
        return nullptr;
    }
    return function;
}
