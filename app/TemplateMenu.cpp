#include "app/TemplateMenu.h"

#include "app/EditWindowHost.h"
#include "app/MessageForwarder.h"
#include "editing/History.h"
#include "app/TemplateDocument.h"
#include "editing/TemplateCommands.h"
#include "midi/MidiService.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "ui/TemplateCanvas.h"
#include "ui/TemplateDialogs.h"

namespace {
TemplateDialogOptions dialogOptions(const IDeviceProfile& profile) {
    TemplateDialogOptions options;
    options.hasSynthTemplateOption = profile.HasSynthTemplateOption();
    options.hasAftertouchSetting = profile.HasAftertouchSetting();
    options.hasTouchpad = profile.HasTouchpad();
    options.hasTouchpadType3 = profile.HasTouchpadType3();
    options.hasSynthModes = profile.HasSynthModes();
    options.hasTranspose = profile.HasTranspose();
    options.portNames[0] = wxString::FromUTF8(profile.GetMidiPort1Name());
    options.portNames[1] = wxString::FromUTF8(profile.GetMidiPort2Name());
    options.portNames[2] = wxString::FromUTF8(profile.GetUsbPort1Name());
    options.portNames[3] = wxString::FromUTF8(profile.GetUsbPort2Name());
    options.portNames[4] = wxString::FromUTF8(profile.GetUsbPort3Name());
    return options;
}
}  // namespace

CTemplateMenu::CTemplateMenu(wxWindow& parent, const EditorServices& services, CTemplateDocument& document,
                             CTemplateCanvas& canvas, CEditWindowHost& editWindow)
    : parent(parent), services(services), document(document), canvas(canvas), editWindow(editWindow) {}

void CTemplateMenu::EditTemplateSettings() {
    editWindow.Hide();
    CEditorTemplate* tpl = document.currentTemplate();
    if (!tpl) return;
    CTemplateSettings dialog(&parent, services.profile, dialogOptions(services.profile), &tpl->localSettings(),
                             [this, tpl](std::unique_ptr<ICommand> command) {
                                 executeCommand(std::move(command), *tpl);
                                 canvas.RequestRepaint();
                             });
    if (dialog.Loaded()) dialog.ShowModal();
    // The panel and the menus show the (perhaps renamed) template.
    document.reselectCurrent();
}

void CTemplateMenu::EditPortGroups() {
    editWindow.Hide();
    CEditorTemplate* tpl = document.currentTemplate();
    if (!tpl || !tpl->groupSettings()) return;
    CEditPortGroups dialog(&parent, services.profile, dialogOptions(services.profile), tpl->groupSettings(),
                           [this, tpl](std::unique_ptr<ICommand> command) {
                               executeCommand(std::move(command), *tpl);
                               canvas.RequestRepaint();
                           });
    if (dialog.Loaded()) dialog.ShowModal();
    // Controls that follow the groups show the new ports and channels.
    if (CEditControlDialog* window = editWindow.Window(); window && window->GetControl())
        editWindow.Edit(*window->GetControl(), false);
}

void CTemplateMenu::EditKeyboardZone(int zone) {
    editWindow.Hide();
    CEditorTemplate* tpl = document.currentTemplate();
    if (!tpl || !tpl->keyboardZone(zone)) return;
    CKbdZoneDialog dialog(&parent, services.profile, dialogOptions(services.profile), tpl->keyboardZone(zone), zone,
                          [this, tpl](std::unique_ptr<ICommand> command) {
                              executeCommand(std::move(command), *tpl);
                              canvas.RequestRepaint();
                          });
    if (!dialog.Loaded()) return;
    // A key played on the keyboard sets the focused note field while the dialog is open.
    // A Note On of velocity 0 is a key released, not a key played.
    CMessageForwarder notes(services.midi, [&dialog](int status, int note, int velocity) {
        if (velocity > 0) dialog.NoteReceived(status, note);
    });
    services.wakeIdle();
    dialog.ShowModal();
}

void CTemplateMenu::EnableZones(bool on) {
    editWindow.Hide();
    CEditorTemplate* tpl = document.currentTemplate();
    if (!tpl || tpl->zonesEnabled() == on) return;
    executeCommand(std::make_unique<CEnableZonesCommand>(tpl, on), *tpl);
    canvas.RequestRepaint();
}
