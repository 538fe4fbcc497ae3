#pragma once
// The small interfaces through which the model reaches the user and the
// windows without depending on any toolkit. The GUI, the command-line tool
// and the tests each install their own implementations.
#include <string>
#include <vector>

#include "ByteSequence.h"

class CEditorTemplate;

// Receives modal notices ("message boxes" with an OK button).
class INoticeSink {
public:
    virtual ~INoticeSink() = default;
    virtual void notice(const std::string& text) = 0;
};

// Receives a template whose dump holds bits the model cannot reproduce.
class IDataErrorSink {
public:
    virtual ~IDataErrorSink() = default;
    virtual void reportDataError(const CEditorTemplate& tpl, const ByteSequence& mask) = 0;
};

// Refresh callbacks of open edit panels (observer list and snapshot observer).
class IControlObservers {
public:
    virtual ~IControlObservers() = default;
    virtual void notifyObservers() = 0;
    virtual void notifySnapshotObserver() = 0;
};

// Name tools used when controls arrive from other templates: abbreviation to
// the device's name length and the name-completion word history.
class INameTools {
public:
    virtual ~INameTools() = default;
    virtual std::string abbreviateName(const std::string& name, int maxLength) = 0;
    virtual void addName(const std::string& name) = 0;
};

// Process-wide hook registry. Each pointer may be null: then the event is
// dropped (notices) or handled plainly (names are cut to length).
struct ModelHooks {
    INoticeSink* notices = nullptr;
    IDataErrorSink* dataErrors = nullptr;
    IControlObservers* observers = nullptr;
    INameTools* nameTools = nullptr;

    static ModelHooks& get();
    static void notice(const std::string& text);
};

// Collects notices in order; used by the command-line tool and the tests.
class CollectingNoticeSink : public INoticeSink {
public:
    void notice(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

// Hooks for the calling thread alone while the object lives: a thread that
// reads templates in the background (the template library's) reaches neither
// the user nor the windows, and leaves the hooks of every other thread as
// they are. ScopedModelHooks on that thread then changes only these.
class ThreadModelHooks {
public:
    explicit ThreadModelHooks(const ModelHooks& hooks);
    ~ThreadModelHooks();
    ThreadModelHooks(const ThreadModelHooks&) = delete;
    ThreadModelHooks& operator=(const ThreadModelHooks&) = delete;

private:
    ModelHooks hooks_;
    ModelHooks* saved_;
};

// Installs hooks for the lifetime of a scope and restores the previous ones.
class ScopedModelHooks {
public:
    explicit ScopedModelHooks(const ModelHooks& hooks) : saved_(ModelHooks::get()) { ModelHooks::get() = hooks; }
    ~ScopedModelHooks() { ModelHooks::get() = saved_; }
    ScopedModelHooks(const ScopedModelHooks&) = delete;
    ScopedModelHooks& operator=(const ScopedModelHooks&) = delete;

private:
    ModelHooks saved_;
};
