#pragma once
// What the editing engine needs from the screen.
//
// The main window implements IEditorView and installs itself once with
// EditorView::set(this) (and EditorView::set(nullptr) before it goes away).
// It must:
//   - selectControl / editControl: carry out CPlacedControl::Select and Edit
//     (Edit with deferred = true means: remember the control and open it on
//     the next idle pass; without deferral: open it now, or refresh the edit
//     window when it already shows this very control);
//   - hideEditWindow: hide the control edit window when it is shown;
//   - updateEditMenu(canUndo, canRedo): set the Edit menu from EditMenuState
//     (editing/EditMenu.h) for the current template, selection and clipboard;
//   - updateTitle / updateTemplateMenu: refresh the title and the Template
//     menu (a modified template is marked with a trailing "*");
//   - requestRepaint: set the deferred-repaint flag for the next idle pass;
//   - focusMainWindow: give the keyboard focus to the main window;
//   - notifyObservers / notifySnapshotObserver (IControlObservers): call
//     Notify on the edit window's observer list / on its snapshot observer.
// EditorView::set also installs the view as the model's control observers
// (ModelHooks), so setButtonAction and clampSnapshot reach the same panels.
// With no view installed every call is dropped (and Select answers false).
#include "model/ModelHooks.h"

class CPlacedControl;

class IEditorView : public IControlObservers {
public:
    // Adds the control to the panel selection (add) or removes it; false when
    // the panel does not show the control.
    virtual bool selectControl(const CPlacedControl& control, bool add) = 0;
    virtual void editControl(const CPlacedControl& control, bool deferred) = 0;
    virtual void hideEditWindow() = 0;
    virtual void updateEditMenu(bool canUndo, bool canRedo) = 0;
    virtual void updateTitle() = 0;
    virtual void updateTemplateMenu() = 0;
    virtual void requestRepaint() = 0;
    virtual void focusMainWindow() = 0;
};

// The process-wide view and null-safe forwarding to it.
struct EditorView {
    static IEditorView* get();
    static void set(IEditorView* view);

    static bool selectControl(const CPlacedControl& control, bool add);
    static void editControl(const CPlacedControl& control, bool deferred);
    static void hideEditWindow();
    static void updateEditMenu(bool canUndo, bool canRedo);
    static void updateTitle();
    static void updateTemplateMenu();
    static void requestRepaint();
    static void focusMainWindow();
};

// Installs a view for the lifetime of a scope and restores the previous one.
class ScopedEditorView {
public:
    explicit ScopedEditorView(IEditorView* view)
        : savedView_(EditorView::get()), savedObservers_(ModelHooks::get().observers) {
        EditorView::set(view);
    }
    ~ScopedEditorView() {
        EditorView::set(savedView_);
        ModelHooks::get().observers = savedObservers_;
    }
    ScopedEditorView(const ScopedEditorView&) = delete;
    ScopedEditorView& operator=(const ScopedEditorView&) = delete;

private:
    IEditorView* savedView_;
    IControlObservers* savedObservers_;
};
