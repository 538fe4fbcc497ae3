#pragma once
// Factories that turn a committed number of a numeric entry field into a
// command for the field's control.
#include <memory>

#include "model/Command.h"

class CPlacedControl;

class ICommandCreator {
public:
    virtual ~ICommandCreator() = default;
    // A new command for `control` and `value`; the caller owns it.
    virtual std::unique_ptr<ICommand> Create(const CPlacedControl& control, int value) const = 0;
};

template <class T>
class CommandCreator : public ICommandCreator {
public:
    std::unique_ptr<ICommand> Create(const CPlacedControl& control, int value) const override {
        return std::make_unique<T>(control, value);
    }
};
