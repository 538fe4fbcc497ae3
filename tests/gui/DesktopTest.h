#pragma once
// Shared by the tests that drive windows through the display server under a
// window manager (gui.desktop): the template is opened in a main window at the
// screen's corner, and the pointer is parked out of the way afterwards so that
// the next test's windows do not open under it.
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <functional>

#include "GuiTestSupport.h"
#include "app/MainFrame.h"
#include "app/TemplateDocument.h"

class DesktopTest : public GuiTest {
protected:
    // Opens `path` as the current template and waits until the main window is on the screen.
    void OpenOnDesktop(const wxString& path) {
        EXPECT_NO_DIALOG(frame->Document().openFile(path, true));
        tpl = frame->Document().currentTemplate();
        ASSERT_NE(tpl, nullptr);
        frame->Move(0, 0);
        WaitUntilMapped(frame);
    }
    void TearDown() override {
        wxUIActionSimulator().MouseMove(wxGetDisplaySize().x - 2, wxGetDisplaySize().y - 2);
        GuiTest::TearDown();
    }
    // Pumps events and idle passes until `done` holds (at most about `ms` milliseconds).
    bool WaitFor(const std::function<bool()>& done, int ms = 2000) {
        for (int waited = 0; waited < ms; waited += 10) {
            if (done()) return true;
            Pump(1);
            frame->idleWork();
            wxMilliSleep(10);
        }
        return done();
    }

    CEditorTemplate* tpl = nullptr;
};
