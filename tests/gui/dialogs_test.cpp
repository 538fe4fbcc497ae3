// The welcome, preferences and about dialogs.
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/xrc/xmlres.h>

#include "GuiTestSupport.h"
#include "ui/TemplateDialogs.h"
#include "app/AboutDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/PreferencesDialog.h"
#include "app/Settings.h"
#include "app/WelcomeDialog.h"

namespace {
void click(wxWindow* dialog, int id) {
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(dialog);
    dialog->ProcessWindowEvent(event);
}

bool inLayout(wxWindow* w) { return w && w->IsShown() && w->GetContainingSizer() != nullptr; }
}  // namespace

using DialogsTest = GuiTest;

TEST_F(DialogsTest, WelcomeWithoutPortsOffersNoDeviceActions) {
    CWelcomeDialog dialog(frame, Services());
    ASSERT_NE(dialog.greeting, nullptr);
    EXPECT_TRUE(dialog.greeting->GetLabel().Contains("TaNGRA LuMI QV"));
    EXPECT_FALSE(dialog.greeting->GetLabel().Contains("$PRODUCT$"));
    for (wxWindow* kept : {static_cast<wxWindow*>(dialog.createNew), static_cast<wxWindow*>(dialog.readHelp),
                           static_cast<wxWindow*>(dialog.nothing), static_cast<wxWindow*>(dialog.dontShowAgain)})
        EXPECT_TRUE(inLayout(kept));
    for (wxRadioButton* gone : {dialog.listen, dialog.updateOS, dialog.bulkDumps}) {
        ASSERT_NE(gone, nullptr);
        EXPECT_FALSE(inLayout(gone)) << gone->GetName().ToStdString();
    }
}

TEST_F(DialogsTest, WelcomeChoicesAndDontShowAgainSetTheNextStart) {
    struct Case {
        const char* choice;
        bool dontShow;
        int startupAction;
        int templates;
    };
    const Case cases[] = {
        {"Nothing", true, 1, 0},
        {"Nothing", false, 0, 0},
        {"Create_A_New_Template", true, 2, 1},
        {"Create_A_New_Template", false, 0, 1},
    };
    for (const Case& c : cases) {
        while (frame->Document().templateCount() > 0) frame->Document().closeCurrentTemplate();
        Settings().startupAction = 0;
        // The real start-up path shows it modally; the test drives it.
        auto drive = [&](CWelcomeDialog* dialog) {
            auto* radio = dynamic_cast<wxRadioButton*>(wxWindow::FindWindowByName(c.choice, dialog));
            EXPECT_NE(radio, nullptr);
            if (radio) radio->SetValue(true);
            dialog->dontShowAgain->SetValue(c.dontShow);
            click(dialog, wxID_OK);
            return dialog->GetReturnCode();
        };
        if (c.templates > 0) {
            // The new template opens with its settings dialog.
            wxTEST_DIALOG(EditorApp().RunStartupAction(wxArrayString()), ExpectDialog<CWelcomeDialog>(drive),
                          ExpectDialog<CTemplateSettings>([](CTemplateSettings*) { return wxID_CANCEL; }));
        } else {
            wxTEST_DIALOG(EditorApp().RunStartupAction(wxArrayString()), ExpectDialog<CWelcomeDialog>(drive));
        }
        EXPECT_EQ(Settings().startupAction, c.startupAction) << c.choice << " " << c.dontShow;
        EXPECT_EQ(frame->Document().templateCount(), c.templates) << c.choice;
    }
}

TEST_F(DialogsTest, PreferencesShowOnlyThisDevicesOptionsAndStoreOnOK) {
    Settings().startupAction = 2;
    Settings().showCtrlToolTips = 0;
    CPreferencesDialog dialog(frame, Services());
    EXPECT_EQ(dialog.GetTitle(), "TaNGRA LuMI QV Editor preferences");
    // Display length 8 = name length 8, and no expanding panes on this device.
    EXPECT_FALSE(inLayout(wxWindow::FindWindowByName("Abbreviate_Names", &dialog)));
    EXPECT_FALSE(inLayout(wxWindow::FindWindowByName("ID_ABBREV_SPACER", &dialog)));
    EXPECT_FALSE(inLayout(wxWindow::FindWindowByName("Use_Expanding_Pages", &dialog)));
    ASSERT_NE(dialog.startupAction, nullptr);
    ASSERT_EQ(dialog.startupAction->GetCount(), 5u);
    EXPECT_EQ(dialog.startupAction->GetString(3), "Open last template");
    EXPECT_EQ(dialog.startupAction->GetSelection(), 2);
    EXPECT_FALSE(dialog.showControlTooltips->GetValue());
    EXPECT_TRUE(dialog.warnOnOldOS->GetValue());
    auto* ok = dynamic_cast<wxButton*>(dialog.FindWindow(wxID_OK));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(dialog.GetDefaultItem(), ok);

    // Restore defaults ticks everything and picks "Open last template".
    click(&dialog, XRCID("Restore_Defaults"));
    EXPECT_EQ(Settings().startupAction, 2);  // nothing stored before OK
    EXPECT_NO_DIALOG(click(&dialog, wxID_OK));
    EXPECT_EQ(Settings().startupAction, 3);
    EXPECT_EQ(Settings().showCtrlToolTips, 1);
    long stored = -1;
    EXPECT_TRUE(config->Read("StartupAction", &stored));
    EXPECT_EQ(stored, 3);
}

TEST_F(DialogsTest, ReleaseModeChangeAsksForARestartOnlyWhenItReallyChanged) {
    {
        CPreferencesDialog dialog(frame, Services());
        dialog.releaseMidiDriver->SetValue(false);
        dialog.releaseMidiDriver->SetValue(true);  // toggled twice: no change
        EXPECT_NO_DIALOG(click(&dialog, wxID_OK));
    }
    EXPECT_EQ(Settings().releaseDriver, 1);
    {
        CPreferencesDialog dialog(frame, Services());
        dialog.releaseMidiDriver->SetValue(false);
        wxTEST_DIALOG(click(&dialog, wxID_OK),
                      ExpectMessage("Please restart the TaNGRA LuMI QV Editor for your changes to take effect", wxOK));
    }
    EXPECT_EQ(Settings().releaseDriver, 0);
}

TEST_F(DialogsTest, PurgeActsAtOnceAndCancelStoresNothingElse) {
    Settings().addRecentFile(WriteTemplate("x.syx"));
    ASSERT_TRUE(MenuEnabled(MenuId::RecentFiles));
    CPreferencesDialog dialog(frame, Services());
    click(&dialog, XRCID("Purge_Recent_Files"));
    dialog.warnOnOldOS->SetValue(false);
    click(&dialog, wxID_CANCEL);
    EXPECT_EQ(Settings().recentFileCount(), 0);
    EXPECT_FALSE(MenuEnabled(MenuId::RecentFiles));
    EXPECT_EQ(Settings().showOldOSDialog, 1);
}

TEST_F(DialogsTest, AboutBoxShowsThePictureWhenThereIsOne) {
    const wxString signatures = ProgramFolder() + "/images/signatures.png";
    ASSERT_TRUE(wxFileName::FileExists(signatures));
    CProductAboutDialog with(frame, "About TaNGRA LuMI QV Editor", wxString::FromUTF8(EditorApp().Profile().GetAboutText()), signatures);
    EXPECT_TRUE(with.HasPicture());
    EXPECT_EQ(with.GetTitle(), "About TaNGRA LuMI QV Editor");
    EXPECT_NE(with.FindWindow(wxID_OK), nullptr);
    CProductAboutDialog without(frame, "About", "text", Path("none.png"));
    EXPECT_FALSE(without.HasPicture());
    EXPECT_LT(without.GetClientSize().GetWidth(), with.GetClientSize().GetWidth());
    // The menu command shows it modally.
    wxTEST_DIALOG(
        {
            wxCommandEvent about(wxEVT_MENU, MenuId::About);
            frame->ProcessWindowEvent(about);
        },
        ExpectDialog<CProductAboutDialog>([](CProductAboutDialog* d) {
            EXPECT_TRUE(d->HasPicture());
            return wxID_OK;
        }));
}
