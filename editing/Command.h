#pragma once
// An undoable change to a template.
#include <string>

class ICommand {
public:
    virtual ~ICommand() = default;
    virtual void Do() = 0;
    virtual void Undo() = 0;
    // Brings the views up to date; false asks the history to hide the edit window.
    virtual bool UpdateView(bool undone) = 0;
    virtual std::string GetName() const = 0;
};
