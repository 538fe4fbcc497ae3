#pragma once
// A refresh callback registered by an edit panel with the main window.
class IObserver {
public:
    virtual ~IObserver() = default;
    // Re-read the model and refresh.
    virtual void Notify() = 0;
};
