// The control edit window driven as a user drives it on a desktop: under a
// window manager (CTest's gui.desktop runs these under openbox), with the
// pointer and keys sent through the display server to the real windows.
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include <functional>

#include "DesktopTest.h"
#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "editing/History.h"
#include "model/ControlState.h"
#include "model/EditorTemplate.h"
#include "model/WordHistory.h"
#include "ui/EditControlDialog.h"
#include "ui/EditPanels.h"
#include "ui/TemplateUI.h"

namespace {
class DesktopEditWindowTest : public DesktopTest {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        const wxString path = WriteTemplate("desktop.syx", [](CEditorTemplate& t) {
            t.controlAt(0)->setName("");
            t.controlAt(0)->controlType = ControlType::CC;
            // A pot cannot send notes: a file made elsewhere may still say so.
            t.controlAt(1)->setName("ODD");
            t.controlAt(1)->controlType = ControlType::NoteOnOff;
            t.controlAt(24)->setName("PRG UP");
            t.controlAt(24)->controlType = ControlType::ProgramChange;
            t.controlAt(25)->setName("SYX");
            t.controlAt(25)->controlType = ControlType::SysEx;
        });
        OpenOnDesktop(path);
    }

    // Opens the control's window beside the main window and waits for it.
    void Open(int index) {
        frame->View()->ClearSelection();
        frame->editControl(CPlacedControl(tpl->controlAt(index), index), false);
        CEditControlDialog* window = frame->EditWindow();
        ASSERT_TRUE(window->IsShown());
        // Beside the main window, wholly on the screen.
        window->Move(std::min(frame->GetScreenRect().GetRight() + 20, wxGetDisplaySize().x - window->GetSize().x - 10),
                     40);
        WaitUntilMapped(window);
        Pump();
    }
    template <class T>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(wxWindow::FindWindowByName(name, frame->EditWindow()));
    }
    std::vector<std::string> PanelNames() const {
        std::vector<std::string> names;
        for (wxSizerItem* item : frame->EditWindow()->GetSizer()->GetChildren())
            if (item->GetWindow()) names.push_back(item->GetWindow()->GetName().ToStdString());
        return names;
    }
    // A real click in the middle of a window, which gets the focus from it.
    void ClickInto(wxWindow* window) {
        ASSERT_NE(window, nullptr);
        wxUIActionSimulator sim;
        sim.MouseMove(window->GetScreenRect().GetPosition() + window->GetSize() / 2);
        Pump();
        sim.MouseClick();
        EXPECT_TRUE(WaitFor([window] { return window->HasFocus(); })) << window->GetName().ToStdString();
    }
    // Characters typed on the keyboard, into whatever has the focus.
    void Type(const char* text) {
        wxUIActionSimulator sim;
        for (const char* c = text; *c; ++c) {
            sim.Char(static_cast<unsigned char>(*c), *c >= 'A' && *c <= 'Z' ? wxMOD_SHIFT : wxMOD_NONE);
            for (int i = 0; i < 4; ++i) {
                Pump(1);
                wxMilliSleep(5);
            }
        }
    }
    void Key(int code, int modifiers = wxMOD_NONE) {
        wxUIActionSimulator().Char(code, modifiers);
        for (int i = 0; i < 5; ++i) {
            Pump(1);
            wxMilliSleep(5);
        }
    }
    // Whether `inner` lies wholly inside the window's client area, on screen.
    static bool InsideClientArea(wxWindow* inner, wxWindow* top) {
        const wxRect client(top->ClientToScreen(wxPoint(0, 0)), top->GetClientSize());
        return client.Contains(inner->GetScreenRect());
    }

};
}  // namespace

TEST_F(DesktopEditWindowTest, TypingANameOffersCompletionsFromTheWordHistory) {
    CWordHistory::instance().addWord("filter");
    Open(0);
    auto* common = Find<CGenericDialog>("ID_GENERICDIALOG");
    ASSERT_TRUE(common && common->name && common->completion);
    ClickInto(common->name);
    Type("fi");
    EXPECT_EQ(common->name->GetValue(), "fi");
    ASSERT_TRUE(WaitFor([&] { return common->completion->IsShown(); })) << "no completion offered for \"fi\"";
    ASSERT_FALSE(common->completion->Candidates().empty());
    EXPECT_EQ(common->completion->Candidates().front(), "filter");
    // The pop-up lies under the field, and the keys choose from it.
    EXPECT_GE(common->completion->GetScreenPosition().y, common->name->GetScreenPosition().y + 10);
    Key(WXK_DOWN);
    Key(WXK_RETURN);
    EXPECT_TRUE(WaitFor([&] { return !common->completion->IsShown(); }));
    EXPECT_EQ(common->name->GetValue(), "filter ");
    EXPECT_EQ(tpl->controlAt(0)->getName(), "filter ");
    EXPECT_EQ(undoName(*tpl), "Set Control Name");
    EXPECT_TRUE(WaitFor([&] { return common->name->HasFocus(); })) << "the field gets the focus back";
}

TEST_F(DesktopEditWindowTest, AControlWithATypeItCannotHaveShowsItAndTakesAProperOne) {
    Open(1);
    // Not an empty strip: the common panel, the odd type shown as such.
    EXPECT_EQ(PanelNames(), std::vector<std::string>{"ID_GENERICDIALOG"});
    const wxSize size = frame->EditWindow()->GetClientSize();
    EXPECT_GT(size.y, 100);
    auto* type = Find<wxChoice>("Type");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetStringSelection(), "Note On/Off (not for this control)");
    EXPECT_EQ(type->GetString(type->GetCount() - 1), "Note On/Off (not for this control)");
    auto* name = Find<wxTextCtrl>("Name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetValue(), "ODD");

    // From the name field to the type list with Tab; Up chooses the entry above.
    ClickInto(name);
    // (The toolkit does not report the focus inside a choice: its effect shows.)
    Key(WXK_TAB);
    const wxString above = type->GetString(type->GetCount() - 2);
    Key(WXK_UP);
    EXPECT_TRUE(WaitFor([&] { return tpl->controlAt(1)->getControlType() != ControlType::NoteOnOff; }));
    EXPECT_EQ(wxString::FromUTF8(CBaseControlState::typeName(tpl->controlAt(1)->getControlType())), above);
    EXPECT_EQ(undoName(*tpl), "Set Control Type");
    // The window is rebuilt for the new type, without the odd entry.
    ASSERT_TRUE(WaitFor([&] { return PanelNames().size() > 1; }));
    type = Find<wxChoice>("Type");
    ASSERT_NE(type, nullptr);
    for (unsigned i = 0; i < type->GetCount(); ++i)
        EXPECT_EQ(type->GetString(i).Find("not for this control"), wxNOT_FOUND) << type->GetString(i).ToStdString();

    // Undo brings the odd type back, shown as before.
    wxCommandEvent undo(wxEVT_MENU, MenuId::Undo);
    frame->ProcessWindowEvent(undo);
    ASSERT_TRUE(WaitFor([&] { return PanelNames() == std::vector<std::string>{"ID_GENERICDIALOG"}; }));
    EXPECT_EQ(Find<wxChoice>("Type")->GetStringSelection(), "Note On/Off (not for this control)");
}

TEST_F(DesktopEditWindowTest, ALongSysExStatusIsShownWhole) {
    Open(25);
    auto* message = Find<wxTextCtrl>("Sys_Ex_Message");
    auto* sysex = Find<CSysExDialog>("ID_SYSEXDIALOG");
    ASSERT_TRUE(message && sysex && sysex->status);
    ClickInto(message);
    message->SelectAll();
    Type("00 GG");
    EXPECT_EQ(message->GetValue(), "00 GG");
    EXPECT_EQ(sysex->StatusText(), "Message contains non-hex characters (use 0-9, A-F)");
    Pump();
    // Every word on screen: the status lies inside the window at its full size.
    wxStaticText* status = sysex->status;
    const wxArrayString lines = wxSplit(status->GetLabel(), '\n', '\0');
    for (const wxString& line : lines)
        EXPECT_LE(status->GetTextExtent(line).x, status->GetSize().x) << "cut: " << line.ToStdString();
    EXPECT_LE(static_cast<int>(lines.size()) * status->GetCharHeight(), status->GetSize().y);
    EXPECT_TRUE(InsideClientArea(status, frame->EditWindow()))
        << "status at " << status->GetScreenRect().GetRight() << ", window client ends at "
        << frame->EditWindow()->ClientToScreen(wxPoint(frame->EditWindow()->GetClientSize().x, 0)).x;
    const wxImage shot = CaptureScreen(frame->EditWindow()->GetScreenRect());
    ASSERT_TRUE(shot.IsOk());
    EXPECT_TRUE(shot.SaveFile(ScreenshotFolder() + "/edit_sysex_status.png", wxBITMAP_TYPE_PNG));
}

TEST_F(DesktopEditWindowTest, TheTypeListShowsProgramChangeWhole) {
    Open(24);
    auto* type = Find<wxChoice>("Type");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetStringSelection(), "Program Change");
    // Room for the longest entry: the list's own measure and the text's.
    EXPECT_GE(type->GetSize().x, type->GetBestSize().x);
    EXPECT_GT(type->GetSize().x, type->GetTextExtent("Program Change").x + 20);
    EXPECT_TRUE(InsideClientArea(type, frame->EditWindow()));
}
