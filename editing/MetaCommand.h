#pragma once
// Several commands that form one history entry.
#include <memory>
#include <string>
#include <vector>

#include "model/Command.h"

class CMetaCommand : public ICommand {
public:
    explicit CMetaCommand(std::string name) : name(std::move(name)) {}

    // The composite owns the command from now on.
    void AddCommand(std::unique_ptr<ICommand> command);

    void Do() override;    // children first to last
    void Undo() override;  // children last to first
    // Every child is asked; true only when all answer true (true when empty).
    bool UpdateView(bool undone) override;
    std::string GetName() const override { return name; }

    const std::vector<std::unique_ptr<ICommand>>& Children() const { return children; }

private:
    std::string name;
    std::vector<std::unique_ptr<ICommand>> children;
};
