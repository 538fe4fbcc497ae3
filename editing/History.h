#pragma once
// The undo history kept by each template (fields history, currentIndex,
// savedIndex and savedValid of CEditorTemplate). Every change to a template
// goes through executeCommand; the menu calls undoCommand and redoCommand
// only when they are possible.
#include <functional>
#include <memory>
#include <string>

#include "model/Command.h"

class CEditorTemplate;

// Performs the command and records it; redo entries are discarded. The
// template takes ownership.
void executeCommand(std::unique_ptr<ICommand> command, CEditorTemplate& tpl);
// Undoes the entry at currentIndex (nothing happens when there is none).
void undoCommand(CEditorTemplate& tpl);
// Redoes the entry after currentIndex (nothing happens when there is none).
void redoCommand(CEditorTemplate& tpl);

bool canUndo(const CEditorTemplate& tpl);
bool canRedo(const CEditorTemplate& tpl);
// The labels of the entries undo and redo would act on; "No command" when none.
std::string undoName(const CEditorTemplate& tpl);
std::string redoName(const CEditorTemplate& tpl);

// Loads new content into a template in place (opening or reverting its
// file): from here on it counts as saved, unless `load` marks it modified (a
// converted or corrected template). When `load` fails the saved point goes
// back to where it was, so edits made before still count as unsaved.
bool loadInPlace(CEditorTemplate& tpl, const std::function<bool()>& load);
// Empties the history of a template that now matches its file: one that
// counted as saved still does; one marked modified stays modified.
void restartHistory(CEditorTemplate& tpl);

// Refreshes the Edit menu, the title and the Template menu, and asks for a
// repaint; run after every change of the history.
void updateUndoState(const CEditorTemplate& tpl);
