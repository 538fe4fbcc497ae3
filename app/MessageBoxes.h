#pragma once
// The one way the editor shows a message box: always with the editor's title
// as caption, over whichever window of the editor is active. Also tells, at
// most once per run, that a MIDI device went away, and shows the model's
// notices.
#include <wx/string.h>

#include <string>

#include "model/ModelHooks.h"

class CMessageBoxes : public INoticeSink {
public:
    explicit CMessageBoxes(const wxString& caption) : caption(caption) {}

    // Answers wxYES, wxNO, wxOK or wxCANCEL.
    int ShowMessage(long style, const wxString& text);

    // The lost-device messages; only the first one of a run is shown.
    void ReportInputLost();
    void ReportOutputLost();
    bool DeviceLostReported() const { return deviceLostReported; }
    void ForgetDeviceLost() { deviceLostReported = false; }

    // INoticeSink: a model notice is a message box with an OK button.
    void notice(const std::string& text) override;

private:
    void ReportLost(const char* direction);

    wxString caption;
    bool deviceLostReported = false;
};
