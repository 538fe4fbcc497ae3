#pragma once
// The Template menu's commands on the current template: its settings, its
// port and channel groups, its keyboard zones and the zones switch. Each
// change is a command on the template's history.
#include "app/EditorServices.h"

class CEditWindowHost;
class CTemplateCanvas;
class CTemplateDocument;
class wxWindow;

class CTemplateMenu {
public:
    CTemplateMenu(wxWindow& parent, const EditorServices& services, CTemplateDocument& document,
                  CTemplateCanvas& canvas, CEditWindowHost& editWindow);

    // Each dialog shows nothing when its layout is missing (the error has been logged).
    void EditTemplateSettings();
    void EditPortGroups();
    // zone: 0 to 3. The menu offers it only while the template's zones are on.
    void EditKeyboardZone(int zone);
    void EnableZones(bool on);

private:
    wxWindow& parent;
    EditorServices services;
    CTemplateDocument& document;
    CTemplateCanvas& canvas;
    CEditWindowHost& editWindow;
};
