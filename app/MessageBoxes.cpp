#include "app/MessageBoxes.h"

#include <wx/msgdlg.h>
#include <wx/window.h>

int CMessageBoxes::ShowMessage(long style, const wxString& text) {
    return wxMessageBox(text, caption, style | wxCENTRE, wxGetActiveWindow());
}

wxString CMessageBoxes::LostText(bool input, const std::string& port) {
    wxString which = input ? "input" : "output";
    if (!port.empty()) which += " \"" + wxString::FromUTF8(port) + "\"";
    return "The MIDI " + which +
           " is no longer accessible!\n\nPlease ensure the device is turned on and plugged in correctly; the editor "
           "connects to it again when it is back. Or select other MIDI devices.";
}

void CMessageBoxes::ReportInputLost(const std::string& port) {
    if (lostTold[1]) return;
    lostTold[1] = true;
    pendingLost[1] = false;
    ShowLost(LostText(true, port));
}

void CMessageBoxes::ReportOutputLost(const std::string& port) {
    if (lostTold[0]) return;
    lostTold[0] = true;
    pendingLost[0] = false;
    ShowLost(LostText(false, port));
}

void CMessageBoxes::ForgetDeviceLost() {
    lostTold[0] = lostTold[1] = false;
    pendingLost[0] = pendingLost[1] = false;
}

void CMessageBoxes::OnPortLost(bool input, const std::string& shownName) {
    if (lostTold[input]) return;
    pendingLost[input] = true;
    pending[input] = shownName;
}

void CMessageBoxes::OnPortBack(bool input, const std::string&) {
    lostTold[input] = false;
    pendingLost[input] = false;
}

void CMessageBoxes::ShowPendingReports() {
    if (!pendingLost[0] && !pendingLost[1]) return;
    if (pendingLost[0] && pendingLost[1]) {
        // A unit unplugged takes both of its ports: one message for the two.
        lostTold[0] = lostTold[1] = true;
        pendingLost[0] = pendingLost[1] = false;
        ShowLost("The MIDI input \"" + wxString::FromUTF8(pending[1]) + "\" and the MIDI output \"" +
                 wxString::FromUTF8(pending[0]) +
                 "\" are no longer accessible!\n\nPlease ensure the device is turned on and plugged in correctly; the "
                 "editor connects to it again when it is back. Or select other MIDI devices.");
        return;
    }
    const bool input = pendingLost[1];
    if (input) ReportInputLost(pending[1]);
    else ReportOutputLost(pending[0]);
}

void CMessageBoxes::ShowLost(const wxString& text) {
    wxMessageDialog box(wxGetActiveWindow(), text, caption, wxYES_NO | wxNO_DEFAULT | wxICON_WARNING | wxCENTRE);
    box.SetYesNoLabels("&Select MIDI devices...", "&OK");
    if (box.ShowModal() == wxID_YES && chooseDevices) chooseDevices();
}

void CMessageBoxes::notice(const std::string& text) { ShowMessage(wxOK, wxString::FromUTF8(text)); }
