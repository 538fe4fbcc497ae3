#pragma once
// The one way the editor shows a message box: always with the editor's title
// as caption, over whichever window of the editor is active. Also tells when
// a chosen MIDI port goes away (once per loss, naming the port and offering
// the device selection), and shows the model's notices.
#include <wx/string.h>

#include <functional>
#include <string>

#include "midi/MidiTypes.h"
#include "model/ModelHooks.h"

class CMessageBoxes : public INoticeSink, public IPortListener {
public:
    explicit CMessageBoxes(const wxString& caption) : caption(caption) {}

    // Answers wxYES, wxNO, wxOK or wxCANCEL.
    int ShowMessage(long style, const wxString& text);

    // The device-lost message for the port shown as `port`, unless this loss
    // of that direction was already told; it lasts until the port is back or
    // other ports are chosen (ForgetDeviceLost).
    void ReportInputLost(const std::string& port);
    void ReportOutputLost(const std::string& port);
    bool DeviceLostReported() const { return lostTold[0] || lostTold[1]; }
    void ForgetDeviceLost();
    // What the message's "Select MIDI devices..." button runs.
    void SetDeviceChooser(std::function<void()> choose) { chooseDevices = std::move(choose); }

    // IPortListener: the service finds a loss during its poll; the message
    // waits for ShowPendingReports, after the poll.
    void OnPortLost(bool input, const std::string& shownName) override;
    void OnPortBack(bool input, const std::string& shownName) override;
    void ShowPendingReports();

    // INoticeSink: a model notice is a message box with an OK button.
    void notice(const std::string& text) override;

    static wxString LostText(bool input, const std::string& port);

private:
    void ShowLost(const wxString& text);

    wxString caption;
    std::function<void()> chooseDevices;
    // [0] output, [1] input.
    bool lostTold[2] = {false, false};
    std::string pending[2];
    bool pendingLost[2] = {false, false};
};
