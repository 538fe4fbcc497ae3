#pragma once
// The about box: a picture beside the profile's about text.
#include <wx/bitmap.h>
#include <wx/dialog.h>

class CProductAboutDialog : public wxDialog {
public:
    CProductAboutDialog(wxWindow* parent, const wxString& title, const wxString& text, const wxString& picturePath);
    bool HasPicture() const { return picture.IsOk(); }

private:
    void OnPaint(wxPaintEvent& event);

    wxBitmap surface;
    wxBitmap picture;
    wxString text;
};
