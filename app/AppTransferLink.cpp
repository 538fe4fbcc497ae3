#include "app/AppTransferLink.h"

#include "app/EditorApp.h"

namespace {
// The application's service lists no ports in this build: nothing can be
// received or sent, and the dialogs say so with the device-lost messages.
class CAppLink : public ITransferLink {
public:
    bool StartListening(ISysExListener*, IProgressListener*) override { return false; }
    void StopListening() override {}
    bool StartSend(const MidiBytes&, IProgressListener*) override { return false; }
    bool IsSending() const override { return false; }
    bool IsListening() const override { return false; }
    bool HasInput() const override { return EditorApp().Midi().IsInputSelected(); }
    bool HasOutput() const override { return EditorApp().Midi().IsOutputSelected(); }
    void Kick() override {}
};
}  // namespace

ITransferLink& AppTransferLink() {
    static CAppLink link;
    return link;
}
