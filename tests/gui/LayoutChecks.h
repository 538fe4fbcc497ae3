#pragma once
// Checks of a laid-out window that a user would see as faults: a control
// outside its parent, a caption or list entry cut short.
#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>

#include <string>

// Every shown control lies inside its parent; captions, buttons and choice
// lists have at least the size their text needs. `where` names the window.
inline void ExpectNoCutText(wxWindow* window, const std::string& where) {
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsShown() || child->IsTopLevel()) continue;
        const wxRect inside(window->GetClientSize());
        // A notebook places its pages below its tabs, outside its client area.
        const bool page = dynamic_cast<wxNotebook*>(window) != nullptr;
        EXPECT_TRUE(page || inside.Contains(child->GetRect()))
            << where << ": " << child->GetName().ToStdString() << " outside " << window->GetName().ToStdString();
        const bool caption = dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxCheckBox*>(child) ||
                             dynamic_cast<wxRadioButton*>(child) || dynamic_cast<wxToggleButton*>(child) ||
                             dynamic_cast<wxButton*>(child) || dynamic_cast<wxChoice*>(child);
        if (caption && (!child->GetLabel().empty() || dynamic_cast<wxChoice*>(child))) {
            EXPECT_GE(child->GetSize().x, child->GetBestSize().x)
                << where << ": cut: " << child->GetName().ToStdString() << " \"" << child->GetLabel().ToStdString()
                << "\"";
            EXPECT_GE(child->GetSize().y, child->GetBestSize().y)
                << where << ": cut below: " << child->GetName().ToStdString();
        }
        ExpectNoCutText(child, where);
    }
}
