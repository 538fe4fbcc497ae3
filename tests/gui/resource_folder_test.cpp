// Where the editor looks for its resources: beside the program in a build
// folder, under share/tangra-qv-editor once installed.
#include <gtest/gtest.h>

#include <wx/filefn.h>
#include <wx/filename.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/EditorApp.h"

namespace {
namespace fs = std::filesystem;

struct ScratchTree {
    fs::path root = fs::temp_directory_path() / ("tqv-resources-" + std::to_string(::getpid()));
    ScratchTree() { fs::remove_all(root); }
    ~ScratchTree() { fs::remove_all(root); }
    wxString make(const fs::path& relative) {
        const fs::path file = root / relative;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "<resource/>";
        return wxString(file.parent_path().string());
    }
    wxString dir(const fs::path& relative) {
        fs::create_directories(root / relative);
        return wxString((root / relative).string());
    }
};
}  // namespace

TEST(ResourceFolder, FoundBesideTheProgramOrInTheInstalledDataFolder) {
    ScratchTree tree;
    // Build folder: Common.xrc beside the program wins, even with an installed copy.
    const wxString build = tree.make("build/Common.xrc");
    tree.make("share/tangra-qv-editor/Common.xrc");
    EXPECT_EQ(ResourceFolderFor(build), build);

    // Installed: <prefix>/bin finds <prefix>/share/tangra-qv-editor.
    const wxString bin = tree.dir("usr/bin");
    const wxString data = tree.make("usr/share/tangra-qv-editor/Common.xrc");
    EXPECT_EQ(ResourceFolderFor(bin), data);

    // Neither: the program's own folder, so the missing file is reported from there.
    const wxString bare = tree.dir("opt/bin");
    EXPECT_EQ(ResourceFolderFor(bare), bare);
}
