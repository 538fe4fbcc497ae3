// Where the search looks and which files it hands to the examination.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "plugins/PluginSearch.h"

namespace fs = std::filesystem;

namespace {

class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/tqv-plugin-search-XXXXXX";
        path = mkdtemp(name);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string touch(const std::string& rel) const {
        const fs::path p = fs::path(path) / rel;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        return p.string();
    }
    std::string path;
};

TEST(PluginSearch, DefaultFolderListsEveryExistingOneInThePlatformOrder) {
    TempFolder home;
    EXPECT_EQ(PluginSearch::defaultFolderSetting("/a:/b", home.path.c_str()), "/a:/b");
    // Without $VST_PATH: every folder of the list that exists, the user's first.
    std::string system;
    for (const char* f : {"/usr/local/lib/vst", "/usr/lib/vst", "/usr/local/lib/lxvst", "/usr/lib/lxvst"})
        if (fs::is_directory(f)) system += std::string(":") + f;
    EXPECT_EQ(PluginSearch::defaultFolderSetting("", home.path.c_str()), system.empty() ? "" : system.substr(1));
    fs::create_directories(home.path + "/.lxvst");
    EXPECT_EQ(PluginSearch::defaultFolderSetting("", home.path.c_str()), home.path + "/.lxvst" + system);
    fs::create_directories(home.path + "/.vst");
    EXPECT_EQ(PluginSearch::defaultFolderSetting(nullptr, home.path.c_str()),
              home.path + "/.vst:" + home.path + "/.lxvst" + system);
    // A file under a folder's name is no folder.
    fs::remove(home.path + "/.vst");
    home.touch(".vst");
    EXPECT_EQ(PluginSearch::defaultFolderSetting(nullptr, home.path.c_str()), home.path + "/.lxvst" + system);
}

TEST(PluginSearch, SplitsFolderLists) {
    using V = std::vector<std::string>;
    EXPECT_EQ(PluginSearch::splitFolders(""), V{});
    EXPECT_EQ(PluginSearch::splitFolders("/one"), V{"/one"});
    EXPECT_EQ(PluginSearch::splitFolders(":/one::/two:"), (V{"/one", "/two"}));
}

TEST(PluginSearch, FindsLibrariesInSubfoldersAndHiddenEntriesOnce) {
    TempFolder t;
    const std::string a = t.touch("A.so");
    const std::string hidden = t.touch(".hidden/B.so");
    const std::string deep = t.touch("x/y/.C.so");
    t.touch("notes.txt");
    t.touch("D.so.1");
    t.touch("E.dll");
    fs::create_directories(t.path + "/folder.so");
    // A link back up must not loop, and a linked file is listed once.
    fs::create_directory_symlink(t.path, t.path + "/x/loop");
    fs::create_symlink(a, t.path + "/x/link-to-A.so");

    const std::vector<std::string> found = PluginSearch::findPluginFiles({t.path, t.path, "/does/not/exist"});
    EXPECT_EQ(found, (std::vector<std::string>{hidden, a, deep}));
    EXPECT_TRUE(PluginSearch::findPluginFiles({}).empty());
}

}  // namespace
