#pragma once
// Shared pieces of the editing tests: a view that records every call the
// engine makes on the screen, and a fixture with a real template.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editing/ControlClipboard.h"
#include "editing/EditorView.h"
#include "editing/PlacedControl.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"

class RecordingEditorView : public IEditorView {
public:
    bool selectControl(const CPlacedControl& c, bool add) override {
        log.push_back("select " + std::to_string(c.GetIndex()) + (add ? " on" : " off"));
        return true;
    }
    void editControl(const CPlacedControl& c, bool deferred) override {
        log.push_back("edit " + std::to_string(c.GetIndex()) + (deferred ? " deferred" : " now"));
    }
    void hideEditWindow() override { log.push_back("hide"); }
    void updateEditMenu(bool canUndo, bool canRedo) override {
        log.push_back(std::string("menu undo=") + (canUndo ? "1" : "0") + " redo=" + (canRedo ? "1" : "0"));
    }
    void updateTitle() override { log.push_back("title"); }
    void updateTemplateMenu() override { log.push_back("templateMenu"); }
    void requestRepaint() override { log.push_back("repaint"); }
    void focusMainWindow() override { log.push_back("focus"); }
    void notifyObservers() override { log.push_back("observers"); }
    void notifySnapshotObserver() override { log.push_back("snapshot"); }

    bool has(const std::string& entry) const {
        for (const auto& e : log)
            if (e == entry) return true;
        return false;
    }
    int count(const std::string& entry) const {
        int n = 0;
        for (const auto& e : log) n += e == entry;
        return n;
    }
    std::vector<std::string> log;
};

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        CControlClipboard::instance().clear();
        view.log.clear();  // the template's own construction clamps and notifies
    }
    void TearDown() override { CControlClipboard::instance().clear(); }

    CPlacedControl at(int index) { return CPlacedControl(tpl.controlAt(index), index); }
    CBaseControlState& state(int index) { return *tpl.controlAt(index); }

    CollectingNoticeSink notices;
    ScopedModelHooks hooks{ModelHooks{&notices, nullptr, nullptr, nullptr}};
    RecordingEditorView view;
    ScopedEditorView viewScope{&view};
    CTaNGRAQVTemplate tpl;
};
