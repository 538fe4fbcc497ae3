#pragma once
// A window that stacks the control edit panels for one control of a fresh
// template, with a host that runs the panels' commands on the template's
// history and keeps their observers.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <memory>
#include <string>
#include <vector>

#include "TestApplication.h"
#include "app/EditorApp.h"
#include "model/Command.h"
#include "editing/History.h"
#include "editing/PlacedControl.h"
#include "model/ControlState.h"
#include "model/DeviceProfile.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/TemplateParts.h"
#include "ui/EditPanels.h"
#include "ui/EntryFields.h"

namespace paneltest {

class TestPanelHost : public IEditPanelHost, public IControlObservers {
public:
    const IDeviceProfile& PanelProfile() const override { return EditorApp().Profile(); }
    wxString PortCaption(int port) const override {
        static const char* const names[5] = {"MIDI Port 1", "MIDI Port 2", "USB Port 1", "USB Port 2", "USB Port 3"};
        return names[port];
    }
    void RunPanelCommand(std::unique_ptr<ICommand> command) override {
        commands.push_back(command->GetName());
        if (tpl) executeCommand(std::move(command), *tpl);
    }
    const CEditorTemplate* PanelTemplate() const override { return tpl; }
    void AddPanelObserver(IObserver* observer) override { observers.push_back(observer); }
    void SetPanelSnapshotObserver(IObserver* observer) override { snapshot = observer; }
    bool PanelAutoComplete() const override { return autoComplete; }
    void notifyObservers() override {
        const auto copy = observers;
        for (IObserver* o : copy) o->Notify();
    }
    void notifySnapshotObserver() override {
        if (snapshot) snapshot->Notify();
    }

    CEditorTemplate* tpl = nullptr;
    std::vector<std::string> commands;
    std::vector<IObserver*> observers;
    IObserver* snapshot = nullptr;
    bool autoComplete = true;
};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedObservers = ModelHooks::get().observers;
        ModelHooks::get().observers = &host;
        tpl = EditorApp().Profile().CreateTemplate();
        host.tpl = tpl.get();
        frame = new wxFrame(nullptr, wxID_ANY, "Control settings", wxDefaultPosition, wxDefaultSize,
                            wxCAPTION | wxTAB_TRAVERSAL);
        sizer = new wxBoxSizer(wxVERTICAL);
        frame->SetSizer(sizer);
        frame->Show();
    }
    void TearDown() override {
        ModelHooks::get().observers = savedObservers;
        frame->Destroy();
        Pump();
    }

    static void Pump(int rounds = 3) {
        for (int i = 0; i < rounds; ++i) {
            wxTheApp->ProcessPendingEvents();
            wxTheApp->Yield(true);
        }
    }

    CBaseControlState& Control(int index) { return *tpl->controlAt(index); }

    // Throws away the panels and builds them for the control, as the edit
    // window does when it opens.
    void Open(int index) {
        host.observers.clear();
        host.snapshot = nullptr;
        host.commands.clear();
        sizer->Clear(true);
        frame->DestroyChildren();
        placed = std::make_unique<CPlacedControl>(tpl->controlAt(index), index);
        BuildControlPanels(*frame, *sizer, *placed, host);
        frame->Fit();
        frame->Layout();
        Pump();
    }

    std::vector<std::string> PanelNames() const {
        std::vector<std::string> names;
        for (wxSizerItem* item : sizer->GetChildren())
            if (item->GetWindow()) names.push_back(item->GetWindow()->GetName().ToStdString());
        return names;
    }

    template <class T>
    T* Find(const char* name) const {
        T* found = dynamic_cast<T*>(wxWindow::FindWindowByName(name, frame));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    template <class T>
    T* FindPanel() const {
        for (wxSizerItem* item : sizer->GetChildren())
            if (auto* panel = dynamic_cast<T*>(item->GetWindow())) return panel;
        return nullptr;
    }

    void RefreshPanels() {
        for (wxSizerItem* item : sizer->GetChildren())
            if (auto* panel = dynamic_cast<CEditPanel*>(item->GetWindow())) panel->refresh();
    }

    static void Send(wxWindow* w, wxCommandEvent& event) {
        event.SetEventObject(w);
        w->GetEventHandler()->ProcessEvent(event);
    }
    static void Check(wxCheckBox* box, bool on) {
        ASSERT_NE(box, nullptr);
        box->SetValue(on);
        wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
        event.SetInt(on);
        Send(box, event);
    }
    static void Choose(wxChoice* choice, int entry) {
        ASSERT_NE(choice, nullptr);
        choice->SetSelection(entry);
        wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
        event.SetInt(entry);
        Send(choice, event);
    }
    static void Radio(wxRadioButton* button) {
        ASSERT_NE(button, nullptr);
        button->SetValue(true);
        wxCommandEvent event(wxEVT_RADIOBUTTON, button->GetId());
        event.SetInt(1);
        Send(button, event);
    }
    static void Click(wxButton* button) {
        wxCommandEvent event(wxEVT_BUTTON, button->GetId());
        Send(button, event);
    }
    // Types a value and commits it as Enter does.
    static void Commit(NumberTextCtrl* field, const wxString& text) {
        ASSERT_NE(field, nullptr);
        field->ChangeValue(text);
        field->MarkDirty();
        wxCommandEvent enter(wxEVT_TEXT_ENTER, field->GetId());
        Send(field, enter);
    }
    // A key offered to the field's validator; true when it lets it through.
    static bool SendChar(wxWindow* field, wxChar key) {
        wxKeyEvent event(wxEVT_CHAR);
        event.m_keyCode = key;
        event.m_uniChar = key;
        event.SetEventObject(field);
        wxValidator* validator = field->GetValidator();
        if (!validator) return true;
        return !validator->ProcessEvent(event);
    }
    // Real key presses into the focused window.
    void TypeText(const char* text) {
        wxUIActionSimulator sim;
        for (const char* c = text; *c; ++c) {
            sim.Char(static_cast<unsigned char>(*c), *c >= 'A' && *c <= 'Z' ? wxMOD_SHIFT : wxMOD_NONE);
            for (int i = 0; i < 5; ++i) {
                Pump(1);
                wxMilliSleep(5);
            }
        }
    }

    TestPanelHost host;
    std::unique_ptr<CEditorTemplate> tpl;
    std::unique_ptr<CPlacedControl> placed;
    wxFrame* frame = nullptr;
    wxBoxSizer* sizer = nullptr;
    IControlObservers* savedObservers = nullptr;
};

}  // namespace paneltest
