#include "editing/EditorView.h"

namespace {
IEditorView* g_view = nullptr;
}

IEditorView* EditorView::get() { return g_view; }

void EditorView::set(IEditorView* view) {
    IControlObservers*& observers = ModelHooks::get().observers;
    // Leave observers that someone else installed alone when clearing.
    if (view || observers == g_view) observers = view;
    g_view = view;
}

bool EditorView::selectControl(const CPlacedControl& control, bool add) {
    return g_view ? g_view->selectControl(control, add) : false;
}

void EditorView::editControl(const CPlacedControl& control, bool deferred) {
    if (g_view) g_view->editControl(control, deferred);
}

void EditorView::hideEditWindow() {
    if (g_view) g_view->hideEditWindow();
}

void EditorView::updateEditMenu(bool canUndo, bool canRedo) {
    if (g_view) g_view->updateEditMenu(canUndo, canRedo);
}

void EditorView::updateTitle() {
    if (g_view) g_view->updateTitle();
}

void EditorView::updateTemplateMenu() {
    if (g_view) g_view->updateTemplateMenu();
}

void EditorView::requestRepaint() {
    if (g_view) g_view->requestRepaint();
}

void EditorView::focusMainWindow() {
    if (g_view) g_view->focusMainWindow();
}
