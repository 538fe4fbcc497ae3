#include "editing/MetaCommand.h"

void CMetaCommand::AddCommand(std::unique_ptr<ICommand> command) {
    if (command) children.push_back(std::move(command));
}

void CMetaCommand::Do() {
    for (auto& child : children) child->Do();
}

void CMetaCommand::Undo() {
    for (auto it = children.rbegin(); it != children.rend(); ++it) (*it)->Undo();
}

bool CMetaCommand::UpdateView(bool undone) {
    // No short cut: every child must refresh its control even after a false.
    bool all = true;
    if (undone) {
        for (auto& child : children) all = child->UpdateView(true) && all;
    } else {
        for (auto it = children.rbegin(); it != children.rend(); ++it) all = (*it)->UpdateView(false) && all;
    }
    return all;
}
