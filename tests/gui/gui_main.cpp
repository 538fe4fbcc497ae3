// Runs the window tests inside one editor application object.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/menu.h>
#include <wx/stdpaths.h>

#include <cstdlib>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/TaNGRAQVLumiEditorApp.h"
#include "model/EditorTemplate.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"
#include "ui/BitmapFont.h"
#include "ui/TemplateDialogs.h"

namespace {
// The editor's application object without the interactive start-up: tests
// build the main window themselves.
class CTestEditorApp : public CTaNGRAQVLumiEditorApp {
public:
    bool OnInit() override { return true; }
    int OnExit() override { return 0; }
};

wxString g_programFolder;

// A dialog that no test expected fails the running test instead of waiting
// for a user (test hooks registered later are asked first).
class CUnexpectedDialogHook : public wxModalDialogHook {
protected:
    int Enter(wxDialog* dialog) override {
        wxString text = dialog->GetTitle();
        if (auto* box = dynamic_cast<wxMessageDialog*>(dialog)) text = box->GetMessage();
        ADD_FAILURE() << "unexpected dialog: " << text.ToStdString();
        return wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}
};

void failOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion in " << func.ToStdString() << ": " << cond.ToStdString()
                                           << " " << msg.ToStdString();
}
}  // namespace

wxString ProgramFolder() { return g_programFolder; }

CEditorApp& EditorApp() { return *static_cast<CEditorApp*>(wxApp::GetInstance()); }

EditorServices Services() { return EditorApp().Services(); }

EditorSettings& Settings() { return EditorApp().Settings(); }

void NewTemplateKeepingDefaults(CMainFrame* frame) {
    bool asked = false;
    wxTEST_DIALOG(frame->RunMenuCommand(MenuId::New), ExpectDialog<CTemplateSettings>([&asked](CTemplateSettings* dialog) {
                      asked = true;
                      EXPECT_TRUE(dialog->Loaded());
                      return wxID_CANCEL;
                  }));
    EXPECT_TRUE(asked);
}

namespace {
// Outside a FileDialogAnswers scope a file dialog is a test failure.
bool unexpectedFileDialog(wxFileDialog& dialog, wxString&) {
    ADD_FAILURE() << "unexpected file dialog proposing " << dialog.GetFilename().ToStdString();
    return false;
}
}  // namespace

FileDialogAnswers::FileDialogAnswers(std::vector<Answer> list) : answers(std::move(list)) {
    CTemplateDocument::SetFileDialogRunner([this](wxFileDialog& dialog, wxString& chosen) {
        if (used >= answers.size()) {
            ADD_FAILURE() << "one file dialog too many, proposing " << dialog.GetFilename().ToStdString();
            return false;
        }
        const Answer& a = answers[used++];
        EXPECT_EQ(dialog.GetWildcard().ToStdString(), "SysEx Dump (*.syx)|*.syx");
        EXPECT_EQ((dialog.GetWindowStyle() & wxFD_SAVE) != 0, a.saving) << "dialog " << used;
        if (a.saving) {
            EXPECT_NE(dialog.GetWindowStyle() & wxFD_OVERWRITE_PROMPT, 0);
        }
        if (!a.proposedName.empty()) {
            EXPECT_EQ(dialog.GetFilename().ToStdString(), a.proposedName.ToStdString()) << "dialog " << used;
        }
        if (a.path.empty()) return false;
        chosen = a.path;
        return true;
    });
}

FileDialogAnswers::~FileDialogAnswers() {
    EXPECT_EQ(used, answers.size()) << "file dialogs shown";
    CTemplateDocument::SetFileDialogRunner(unexpectedFileDialog);
}

// Reads the screen through a connection of its own: the toolkit's screen
// context keeps serving its first picture in later reads.
wxImage CaptureScreen(const wxRect& area) {
    using OpenFn = Display* (*)(const char*);
    using ImageFn = XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int);
    using CloseFn = int (*)(Display*);
    static void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!x11) return wxImage();
    auto open = reinterpret_cast<OpenFn>(dlsym(x11, "XOpenDisplay"));
    auto get = reinterpret_cast<ImageFn>(dlsym(x11, "XGetImage"));
    auto close = reinterpret_cast<CloseFn>(dlsym(x11, "XCloseDisplay"));
    if (!open || !get || !close) return wxImage();
    Display* display = open(nullptr);
    if (!display) return wxImage();
    const int w = area.width, h = area.height;
    XImage* shot = get(display, DefaultRootWindow(display), area.x, area.y, static_cast<unsigned>(w),
                       static_cast<unsigned>(h), ~0UL, ZPixmap);
    wxImage image;
    if (shot && shot->bits_per_pixel == 32) {
        image.Create(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto* px = reinterpret_cast<const unsigned char*>(shot->data + y * shot->bytes_per_line + x * 4);
                image.SetRGB(x, y, px[2], px[1], px[0]);
            }
    }
    if (shot) shot->f.destroy_image(shot);
    close(display);
    return image;
}

wxString ScreenshotFolder() {
    const wxString folder = g_programFolder + "/screenshots";
    if (!wxFileName::DirExists(folder)) wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    return folder;
}

void GuiTest::SetUp() {
    dir = wxFileName::CreateTempFileName("tqvgui");
    wxRemoveFile(dir);
    ASSERT_TRUE(wxFileName::Mkdir(dir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL));
    // Every test starts from an empty store of its own.
    config = new wxFileConfig("TaNGRA LuMI QV Editor", "Quorvane", dir + "/settings.ini", "",
                              wxCONFIG_USE_LOCAL_FILE);
    config->SetRecordDefaults(true);
    delete wxConfigBase::Set(config);
    Settings() = EditorSettings();
    ReadSettings(*config, Settings());
    ASSERT_TRUE(EditorApp().CreateMainWindow());
    frame = EditorApp().GetMainFrame();
    ASSERT_NE(frame, nullptr);
    frame->Show();
    Pump();
}

bool GuiTest::FrameAlive() const { return EditorApp().GetMainFrame() == frame && frame != nullptr; }

void GuiTest::TearDown() {
    if (FrameAlive()) {
        // Leave without save prompts: the test decided what to keep.
        for (int i = 0; i < frame->Document().templateCount(); ++i) frame->Document().templateAt(i)->markSaved();
        frame->Destroy();
    }
    Pump();
    frame = nullptr;
    delete wxConfigBase::Set(nullptr);
    config = nullptr;
    wxDir::Remove(dir, wxPATH_RMDIR_RECURSIVE);
}

void GuiTest::Pump(int rounds) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->Yield(true);
        wxTheApp->ProcessIdle();
    }
}

void GuiTest::WaitUntilMapped(wxWindow* window) {
    // The toolkit tells no portable "mapped" state; its first paint comes
    // after the map, so wait for that (or give the display 2 s).
    bool painted = false;
    auto onPaint = [&painted](wxPaintEvent& e) {
        painted = true;
        e.Skip();
    };
    window->Bind(wxEVT_PAINT, onPaint);
    for (int i = 0; i < 200 && !painted; ++i) {
        Pump(1);
        if (!painted) wxMilliSleep(10);
    }
    window->Unbind(wxEVT_PAINT, onPaint);
    Pump();
}

wxString GuiTest::WriteTemplate(const wxString& name, const std::function<void(CEditorTemplate&)>& edit,
                                const std::string& templateName) {
    CTaNGRAQVTemplate tpl;
    tpl.setTemplateName(templateName);
    if (edit) edit(tpl);
    const wxString path = Path(name);
    EXPECT_TRUE(writeBytesToFile(path.ToStdString(), tpl.save(), false));
    return path;
}

wxMenuBar* GuiTest::MenuBar() const {
    wxMenuBar* bar = frame->GetMenuBar();
    bar->UpdateMenus();
    return bar;
}

wxString GuiTest::MenuLabel(int id) const {
    wxMenuItem* item = MenuBar()->FindItem(id);
    return item ? item->GetItemLabel() : wxString("<missing>");
}

bool GuiTest::MenuEnabled(int id) const {
    wxMenuItem* item = MenuBar()->FindItem(id);
    return item && item->IsEnabled();
}

std::vector<wxString> GuiTest::TemplateMenuLabels() const {
    std::vector<wxString> labels;
    MenuBar();
    for (int id = MenuId::FirstTemplate; id <= MenuId::LastTemplate; ++id)
        if (wxMenuItem* item = frame->GetMenuBar()->FindItem(id)) labels.push_back(item->GetItemLabelText());
    return labels;
}

std::vector<wxString> GuiTest::OpenTemplateNames() const {
    std::vector<wxString> names;
    for (int i = 0; i < frame->Document().templateCount(); ++i)
        names.push_back(wxFileName(CTemplateDocument::templateFileName(*frame->Document().templateAt(i))).GetFullName());
    return names;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    auto* app = new CTestEditorApp;
    wxApp::SetInstance(app);
    if (!wxEntryStart(argc, argv)) {
        std::fprintf(stderr, "cannot start the toolkit (no display?)\n");
        return 1;
    }
    wxSetAssertHandler(failOnAssert);
    app->CallOnInit();
    g_programFolder = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    app->SetProgramDirectory(g_programFolder);
    app->LoadResources();
    if (!BitmapFont::Get().Load(g_programFolder + "/images/Font.png")) {
        std::fprintf(stderr, "cannot load the display font from %s\n", g_programFolder.utf8_str().data());
        return 1;
    }
    CTemplateDocument::SetFileDialogRunner(unexpectedFileDialog);
    CUnexpectedDialogHook fallback;
    fallback.Register();
    const int result = RUN_ALL_TESTS();
    fallback.Unregister();
    BitmapFont::Get().Free();
    wxEntryCleanup();
    return result;
}
