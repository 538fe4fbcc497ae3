#pragma once
// An undoable change to a template. Commands hold no reference to the
// template or its history: they reach the model through the control
// reference or the template-wide record they were made with.
#include <string>

class ICommand {
public:
    virtual ~ICommand() = default;
    // Performs the change; also used for redo. Reads the old value first.
    virtual void Do() = 0;
    // Restores exactly what the last Do found.
    virtual void Undo() = 0;
    // Brings the views up to date; false asks the history to hide the edit window.
    virtual bool UpdateView(bool undone) = 0;
    // The label shown in the Edit menu.
    virtual std::string GetName() const = 0;
};
