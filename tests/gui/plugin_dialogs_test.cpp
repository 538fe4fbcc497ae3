// File > Import Names from Plug-in: the plug-in list, the progress window
// while plug-ins are examined, and the warning after an unfinished search.
#include <wx/button.h>
#include <wx/dirdlg.h>
#include <wx/filename.h>
#include <wx/filefn.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>
#include <wx/xrc/xmlres.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "GuiTestSupport.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/PluginDialogs.h"
#include "app/Settings.h"
#include "model/EditorTemplate.h"

namespace {

const wxString kMixed = wxString(TQV_TEST_PLUGIN_DIR) + "/mixed";
const wxString kHangOnly = wxString(TQV_TEST_PLUGIN_DIR) + "/hang-only";

void click(wxWindow* dialog, int id) {
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(dialog);
    dialog->ProcessWindowEvent(event);
}

void selectRow(wxListCtrl* list, long row) { list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED); }

std::vector<std::pair<wxString, wxString>> rows(wxListCtrl* list) {
    std::vector<std::pair<wxString, wxString>> out;
    for (long r = 0; r < list->GetItemCount(); ++r) out.emplace_back(list->GetItemText(r, 0), list->GetItemText(r, 1));
    return out;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

bool mappedHere(const std::string& text) {
    std::ifstream maps("/proc/self/maps");
    const std::string all((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    return all.find(text) != std::string::npos;
}

bool processHolds(const std::string& file) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream maps(entry.path() / "maps");
        std::string line;
        while (std::getline(maps, line))
            if (line.find(file) != std::string::npos) return true;
    }
    return false;
}

wxImage saveShot(wxWindow* window, const wxString& name) {
    window->Raise();
    for (int i = 0; i < 30; ++i) {
        wxYield();
        wxMilliSleep(10);
    }
    const wxImage shot = CaptureScreen(window->GetScreenRect());
    EXPECT_TRUE(shot.IsOk());
    if (shot.IsOk()) {
        EXPECT_TRUE(shot.SaveFile(ScreenshotFolder() + "/" + name, wxBITMAP_TYPE_PNG));
    }
    return shot;
}

// Pixels of `area` (in window coordinates) that are drawn dark, as text is.
int darkPixels(const wxImage& shot, const wxRect& area) {
    int n = 0;
    for (int y = std::max(area.y, 0); y < std::min(area.GetBottom(), shot.GetHeight() - 1); ++y)
        for (int x = std::max(area.x, 0); x < std::min(area.GetRight(), shot.GetWidth() - 1); ++x)
            if (shot.GetRed(x, y) + shot.GetGreen(x, y) + shot.GetBlue(x, y) < 3 * 100) ++n;
    return n;
}

class PluginDialogsTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        saved = CVSTSelector::ScanOptions();
        CVSTSelector::ScanOptions().timeoutSeconds = 2;
    }
    void TearDown() override {
        CVSTSelector::ScanOptions() = saved;
        GuiTest::TearDown();
    }
    long storedInt(const char* key) {
        long v = -1;
        config->Read(key, &v);
        return v;
    }
    CPluginScan::Options saved;
};

TEST_F(PluginDialogsTest, SelectorListsPluginsThenFilesThatAreNoPlugins) {
    Settings().vstDir = kMixed;
    CVSTSelector selector(frame);
    ASSERT_NE(selector.list, nullptr);
    ASSERT_NE(selector.okButton, nullptr);
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
    ASSERT_EQ(selector.list->GetColumnCount(), 2);
    selector.list->GetColumn(0, column);
    EXPECT_EQ(column.GetText(), "Manufacturer");
    EXPECT_EQ(column.GetWidth(), 120);
    selector.list->GetColumn(1, column);
    EXPECT_EQ(column.GetText(), "Name");
    EXPECT_EQ(column.GetWidth(), 155);

    const auto r = rows(selector.list);
    ASSERT_EQ(r.size(), 10u);
    EXPECT_EQ(r[0], std::make_pair(wxString("Quiet Test Works"), wxString("EmptyName")));
    EXPECT_EQ(r[1], std::make_pair(wxString("Quiet Test Works"), wxString("Test Filter")));  // Noisy.so
    EXPECT_EQ(r[3], std::make_pair(wxString("Quiet Test Works"), wxString("Test Filter")));  // TestFilter.so
    EXPECT_EQ(r[4].first, "(not loadable)");
    EXPECT_TRUE(r[4].second.StartsWith("Crash.so: crashed")) << r[4].second;
    EXPECT_TRUE(r[5].second.StartsWith("Hang.so: no answer within 2 s")) << r[5].second;
    for (const char* hidden : {"ID_CREATEAS", "Create_As_Normal_Template", "Create_As_Cubase_Map"}) {
        wxWindow* w = wxWindow::FindWindowByName(hidden, &selector);
        ASSERT_NE(w, nullptr) << hidden;
        EXPECT_FALSE(w->IsShown()) << hidden;
    }

    // Only a plug-in row can be chosen.
    EXPECT_FALSE(selector.okButton->IsEnabled());
    selectRow(selector.list, 3);
    EXPECT_TRUE(selector.okButton->IsEnabled());
    ASSERT_NE(selector.selectedPlugin(), nullptr);
    EXPECT_EQ(selector.selectedPlugin()->fileName, "TestFilter");
    selectRow(selector.list, 4);
    EXPECT_FALSE(selector.okButton->IsEnabled());
    EXPECT_EQ(selector.selectedPlugin(), nullptr);
    selectRow(selector.list, 3);
    selector.list->SetItemState(3, 0, wxLIST_STATE_SELECTED);
    EXPECT_FALSE(selector.okButton->IsEnabled());

    // The search is recorded as finished, with the last file examined.
    EXPECT_EQ(storedInt("PluginsEnumeratedOK"), 1);
    EXPECT_TRUE(Settings().lastPluginEnumerated.EndsWith("/Vst1.so")) << Settings().lastPluginEnumerated;

    selectRow(selector.list, 3);
    selector.Show();
    WaitUntilMapped(&selector);
    saveShot(&selector, "plugin_selector.png");
    selector.Hide();
}

TEST_F(PluginDialogsTest, ProgressShowsEachFileRepaintsAndCancelsAHang) {
    Settings().vstDir = kHangOnly;
    CVSTSelector::ScanOptions().timeoutSeconds = 60;
    const std::string stuck = (kHangOnly + "/Stuck.so").ToStdString();
    wxString labelSeen;
    long okDuringSearch = -1;
    wxString lastDuringSearch;
    bool painted = false;
    bool clicked = false;
    bool busy = false;  // the screenshot lets events run, this handler included
    auto started = std::chrono::steady_clock::now();
    double cancelSeconds = -1;

    wxTimer watcher;
    watcher.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        CExaminingPlugins* progress = nullptr;
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* p = dynamic_cast<CExaminingPlugins*>(w); p && p->IsShown()) progress = p;
        if (!progress || !progress->pluginName || clicked || busy) return;
        labelSeen = progress->pluginName->GetLabel();
        if (labelSeen != "Stuck.so" || !processHolds(stuck)) return;
        if (!painted) {
            okDuringSearch = storedInt("PluginsEnumeratedOK");
            lastDuringSearch = Settings().lastPluginEnumerated;
            busy = true;
            const wxImage shot = saveShot(progress, "plugin_progress.png");
            busy = false;
            // The file name is on the screen while the examination still runs.
            const wxRect label(progress->pluginName->GetScreenPosition() - progress->GetScreenPosition(),
                               progress->pluginName->GetSize());
            painted = shot.IsOk() && darkPixels(shot, label) > 20;
            if (!painted) clicked = true;  // give up: the checks below fail
            return;
        }
        // A real click on Cancel, through the event loop that runs during the search.
        clicked = true;
        started = std::chrono::steady_clock::now();
        wxUIActionSimulator sim;
        sim.MouseMove(progress->cancelButton->GetScreenRect().GetPosition() + wxPoint(8, 8));
        wxYield();
        sim.MouseClick();
    });
    watcher.Start(100);
    {
        CVSTSelector selector(frame);
        cancelSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        watcher.Stop();
        EXPECT_TRUE(clicked);
        EXPECT_TRUE(painted);
        EXPECT_EQ(selector.list->GetItemCount(), 0);
    }
    EXPECT_EQ(labelSeen, "Stuck.so");
    EXPECT_EQ(okDuringSearch, 0);
    EXPECT_EQ(lastDuringSearch, wxString(stuck));
    EXPECT_EQ(storedInt("PluginsEnumeratedOK"), 1);
    EXPECT_LT(cancelSeconds, 3.0);
    for (int i = 0; i < 50 && processHolds(stuck); ++i) wxMilliSleep(20);
    EXPECT_FALSE(processHolds(stuck));
}

TEST_F(PluginDialogsTest, MenuItemMakesATemplateFromTheChosenPlugin) {
    struct Case {
        wxString folder;
        wxString fileName;
        bool doubleClick;
        wxString displayName;
        std::vector<wxString> controlNames;
    } cases[] = {
        {kMixed, "TestFilter", false, "Quiet Test Wo - Test Filter", {"FltCut", "Res"}},
        {"/usr/lib/lxvst", "DragonflyHallReverb-vst", true, "Michael Willi - Dragonfly Hall Reverb",
         {"DryLevel", "ErlyLvl", "LteLevel", "Size"}},
    };
    for (const Case& c : cases) {
        Settings().vstDir = c.folder;
        const int before = frame->templateCount();
        std::vector<PluginBinding> chosen;
        wxTEST_DIALOG(frame->ImportPluginNames(), ExpectDialog<CVSTSelector>([&](CVSTSelector* s) {
                          for (size_t i = 0; i < s->plugins.size(); ++i)
                              if (s->plugins[i].fileName == c.fileName.ToStdString()) {
                                  chosen = s->plugins[i].parameters;
                                  if (c.doubleClick) {
                                      wxListEvent act(wxEVT_LIST_ITEM_ACTIVATED, s->list->GetId());
                                      act.m_itemIndex = static_cast<long>(i);
                                      act.SetEventObject(s->list);
                                      s->list->ProcessWindowEvent(act);
                                  } else {
                                      selectRow(s->list, static_cast<long>(i));
                                      click(s, wxID_OK);
                                  }
                              }
                          return s->GetReturnCode();
                      }));
        ASSERT_EQ(frame->templateCount(), before + 1) << c.fileName;
        CEditorTemplate* tpl = frame->currentTemplate();
        ASSERT_NE(tpl, nullptr);
        EXPECT_EQ(wxString::FromUTF8(tpl->displayName()), c.displayName);
        ASSERT_EQ(tpl->importedControls.size(), chosen.size());
        for (size_t i = 0; i < c.controlNames.size(); ++i)
            EXPECT_EQ(wxString::FromUTF8(tpl->controlAt(static_cast<int>(i))->getName()), c.controlNames[i]) << i;
        EXPECT_TRUE(frame->GetTitle().Contains(c.displayName)) << frame->GetTitle();
    }
    // Cancel makes nothing.
    const int before = frame->templateCount();
    Settings().vstDir = kMixed;
    wxTEST_DIALOG(frame->ImportPluginNames(), ExpectDialog<CVSTSelector>([](CVSTSelector* s) {
                      selectRow(s->list, 0);
                      click(s, wxID_CANCEL);
                      return s->GetReturnCode();
                  }));
    EXPECT_EQ(frame->templateCount(), before);
}

TEST_F(PluginDialogsTest, ChoosingAFolderStoresItAndListsAgain) {
    Settings().vstDir = "/nonexistent/plugins";
    CVSTSelector selector(frame);
    EXPECT_EQ(selector.list->GetItemCount(), 0);
    EXPECT_FALSE(selector.okButton->IsEnabled());
    wxTEST_DIALOG(click(&selector, XRCID("Choose_VST_Directory")), ExpectDialog<wxDirDialog>([](wxDirDialog* d) {
                      EXPECT_EQ(d->GetMessage(), "Select VST plugins directory");
                      return wxID_CANCEL;
                  }));
    EXPECT_EQ(Settings().vstDir, "/nonexistent/plugins");
    EXPECT_EQ(selector.list->GetItemCount(), 0);
    wxTEST_DIALOG(click(&selector, XRCID("Choose_VST_Directory")), ExpectDialog<wxDirDialog>([](wxDirDialog* d) {
                      d->wxDirDialogBase::SetPath(kMixed);  // what a user's choice leaves
                      return wxID_OK;
                  }));
    EXPECT_EQ(Settings().vstDir, kMixed);
    EXPECT_EQ(selector.list->GetItemCount(), 10);
    wxString stored;
    config->Read("VSTDir", &stored);
    EXPECT_EQ(stored, kMixed);
}

TEST_F(PluginDialogsTest, EditorMemoryIsUntouchedByExaminingEveryInstalledPlugin) {
    Settings().vstDir = "/usr/lib/vst:/usr/lib/lxvst";
    CVSTSelector::ScanOptions().timeoutSeconds = 10;
    const long before = residentKiB();
    long during = 0;
    size_t listed = 0;
    {
        CVSTSelector selector(frame);
        during = residentKiB();
        listed = selector.plugins.size();
        EXPECT_FALSE(mappedHere("/usr/lib/vst/"));
        EXPECT_FALSE(mappedHere("/usr/lib/lxvst/"));
    }
    const long after = residentKiB();
    std::printf("editor resident memory: before %ld KiB, with the list open %ld KiB, after %ld KiB (%zu plug-ins)\n",
                before, during, after, listed);
    EXPECT_GT(listed, 18u);
    // The descriptions are the only thing the editor keeps, and only while the list is open.
    EXPECT_LT(after - before, 8 * 1024);
}

TEST_F(PluginDialogsTest, StartupWarnsOnceAfterAnUnfinishedSearch) {
    // A file name is anybody's to choose: what could garble the message is shown escaped.
    const std::pair<const char*, const char*> cases[] = {
        {"/plugins/Bad.so", "/plugins/Bad.so"},
        {"/plugins/Red\x1b[31m\nBad\a.so", "/plugins/Red\\x1b[31m\\nBad\\x07.so"},
    };
    for (const auto& [stored, shown] : cases) {
        SCOPED_TRACE(shown);
        Settings().pluginsEnumeratedOK = 0;
        Settings().lastPluginEnumerated = wxString::FromUTF8(stored);
        wxTEST_DIALOG(EditorApp().WarnAboutUnfinishedPluginSearch(),
                      ExpectMessage("It appears that the plug-in \"" + wxString::FromUTF8(shown) +
                                        " \" may not have loaded properly last time.  Try choosing "
                                        "\"Edit->Preferences...\" to change the VST plugin location, or remove the "
                                        "plug-in and try again.",
                                    wxOK));
        EXPECT_EQ(Settings().pluginsEnumeratedOK, 1);
        EXPECT_EQ(Settings().lastPluginEnumerated, "");
        EXPECT_NO_DIALOG(EditorApp().WarnAboutUnfinishedPluginSearch());
    }
}

TEST_F(PluginDialogsTest, ControlCharactersInFileNamesAreShownEscaped) {
    const wxString folder = Path("odd");
    ASSERT_TRUE(wxFileName::Mkdir(folder));
    ASSERT_TRUE(wxCopyFile(kMixed + "/NotAPlugin.so", folder + "/Bell\a\n\x1b[2J.so"));
    Settings().vstDir = folder;
    CVSTSelector selector(frame);
    const auto r = rows(selector.list);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].first, "(not loadable)");
    EXPECT_TRUE(r[0].second.StartsWith("Bell\\x07\\n\\x1b[2J.so: ")) << r[0].second;
}

}  // namespace
