#include "app/MessageBoxes.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

int CMessageBoxes::ShowMessage(long style, const wxString& text) {
    return wxMessageBox(text, caption, style | wxCENTRE, wxGetActiveWindow());
}

void CMessageBoxes::ReportInputLost() { ReportLost("input"); }

void CMessageBoxes::ReportOutputLost() { ReportLost("output"); }

void CMessageBoxes::ReportLost(const char* direction) {
    if (deviceLostReported) return;
    ShowMessage(wxOK, wxString("The ") + direction +
                          " MIDI device is no longer accessible!\n\nPlease ensure the device is turned on and plugged "
                          "in correctly, then restart the editor");
    deviceLostReported = true;
}

void CMessageBoxes::notice(const std::string& text) { ShowMessage(wxOK, wxString::FromUTF8(text)); }
