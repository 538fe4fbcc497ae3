#include "editing/History.h"

#include "editing/EditorView.h"
#include "model/EditorTemplate.h"

namespace {
const char* const kNoCommand = "No command";

int entryCount(const CEditorTemplate& tpl) { return static_cast<int>(tpl.history.size()); }

void showView(ICommand& command, bool undone) {
    if (!command.UpdateView(undone)) EditorView::hideEditWindow();
}
}  // namespace

bool canUndo(const CEditorTemplate& tpl) { return tpl.currentIndex >= 0; }

bool canRedo(const CEditorTemplate& tpl) { return tpl.currentIndex < entryCount(tpl) - 1; }

void executeCommand(std::unique_ptr<ICommand> command, CEditorTemplate& tpl) {
    if (!command) return;
    command->Do();
    bool discarded = false;
    while (entryCount(tpl) > tpl.currentIndex + 1) {
        tpl.history.pop_back();
        discarded = true;
    }
    // A saved point among the discarded entries can never be reached again;
    // without this the new entry would take its index and pass for saved.
    if (discarded && tpl.savedIndex > tpl.currentIndex) tpl.savedValid = false;
    ICommand& executed = *command;
    tpl.history.push_back(std::move(command));
    tpl.currentIndex = entryCount(tpl) - 1;
    ++tpl.historyVersion;
    if (discarded) showView(executed, false);
    updateUndoState(tpl);
}

void undoCommand(CEditorTemplate& tpl) {
    if (!canUndo(tpl) || tpl.currentIndex >= entryCount(tpl)) return;
    ICommand& command = *tpl.history[static_cast<size_t>(tpl.currentIndex)];
    command.Undo();
    --tpl.currentIndex;
    ++tpl.historyVersion;
    showView(command, true);
    updateUndoState(tpl);
    EditorView::focusMainWindow();
}

void redoCommand(CEditorTemplate& tpl) {
    if (!canRedo(tpl)) return;
    ++tpl.currentIndex;
    ICommand& command = *tpl.history[static_cast<size_t>(tpl.currentIndex)];
    command.Do();
    ++tpl.historyVersion;
    showView(command, false);
    updateUndoState(tpl);
    EditorView::focusMainWindow();
}

std::string undoName(const CEditorTemplate& tpl) {
    if (tpl.currentIndex < 0 || tpl.currentIndex >= entryCount(tpl)) return kNoCommand;
    return tpl.history[static_cast<size_t>(tpl.currentIndex)]->GetName();
}

std::string redoName(const CEditorTemplate& tpl) {
    if (!canRedo(tpl)) return kNoCommand;
    return tpl.history[static_cast<size_t>(tpl.currentIndex + 1)]->GetName();
}

bool loadInPlace(CEditorTemplate& tpl, const std::function<bool()>& load) {
    const int savedIndex = tpl.savedIndex;
    const bool savedValid = tpl.savedValid;
    tpl.markSaved();
    if (load()) return true;
    tpl.savedIndex = savedIndex;
    tpl.savedValid = savedValid;
    return false;
}

void restartHistory(CEditorTemplate& tpl) {
    tpl.clearHistory();
    if (tpl.savedValid) tpl.markSaved();
}

void updateUndoState(const CEditorTemplate& tpl) {
    EditorView::updateEditMenu(canUndo(tpl), canRedo(tpl));
    EditorView::updateTitle();
    EditorView::updateTemplateMenu();
    EditorView::requestRepaint();
}
