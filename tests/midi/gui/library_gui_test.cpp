// The Library window with the simulated unit on a private JACK server (the
// test fixture starts them), under openbox: backing the unit up, restoring
// it, sending one template to a chosen location.
#include <wx/button.h>
#include <wx/choicdlg.h>
#include <wx/stattext.h>

#include <chrono>
#include <fstream>

#include "midi/gui/UnitGuiTest.h"
#include "app/BulkDumpDialog.h"
#include "app/EditorApp.h"
#include "app/LibraryService.h"
#include "app/LibraryWindow.h"
#include "app/MainFrame.h"
#include "library/TemplateLibrary.h"
#include "model/BulkDump.h"
#include "model/EditorTemplate.h"

namespace {
MidiBytes readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return MidiBytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string state() { return std::getenv("TQV_SIM_STATE") ? std::getenv("TQV_SIM_STATE") : ""; }

class LibraryUnitTest : public UnitGuiTest {
protected:
    void SetUp() override {
        UnitGuiTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        libraryPath = std::string(Path("library.sqlite3").utf8_str());
        EditorApp().Library().SetPath(libraryPath);
    }
    void TearDown() override {
        if (!frame) return;
        if (frame->LibraryWindow()) frame->LibraryWindow()->Destroy();
        Pump();
        CLibraryService& service = EditorApp().Library();
        service.Drain();
        service.SetPath("");
        service.Post([](CTemplateLibrary*) {});
        service.Drain();
        Pump();
        UnitGuiTest::TearDown();
    }
    void Click(wxWindow* owner, wxButton* button) {
        ASSERT_NE(button, nullptr);
        ASSERT_TRUE(button->IsEnabled()) << button->GetName().ToStdString();
        wxCommandEvent event(wxEVT_BUTTON, button->GetId());
        event.SetEventObject(button);
        owner->ProcessWindowEvent(event);
    }
    std::unique_ptr<CTemplateLibrary> Reading() {
        EditorApp().Library().Drain();
        Pump();
        auto library = std::make_unique<CTemplateLibrary>(EditorApp().Profile().Factory());
        EXPECT_TRUE(library->open(libraryPath)) << library->lastError();
        return library;
    }
    std::string libraryPath;
};
}  // namespace

TEST_F(LibraryUnitTest, BackUpRestoreAndSendOneTemplateToAChosenLocation) {
    EXPECT_NO_DIALOG(frame->RunMenuCommand(MenuId::Library));
    CLibraryWindow* w = frame->LibraryWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(runUntil([&] { return !w->IsLoading(); }));
    EXPECT_EQ(w->count->GetLabel(), "0 templates");
    ASSERT_TRUE(w->backUp->IsEnabled());

    // Back Up Unit: the bulk dump dialog opens listening; the unit sends its 40.
    std::vector<ByteSequence> received;
    wxTEST_DIALOG(Click(w, w->backUp), ExpectDialog<CBulkDumpDialog>([&](CBulkDumpDialog* d) {
                      EXPECT_EQ(d->GetTitle(), "Back up unit");
                      EXPECT_TRUE(d->IsListening());
                      EXPECT_EQ(unit("send-bulk"), "ok sending bulk dump");
                      EXPECT_TRUE(runUntil([&] { return !d->IsBusy(); }, 20000));
                      for (int i = 0; i < d->Dump().GetCount(); ++i) received.push_back(d->Dump().GetEntry(i).save());
                      return wxID_OK;
                  }));
    ASSERT_EQ(received.size(), 40u);
    ASSERT_TRUE(runUntil([&] { return w->count->GetLabel().Contains("The unit's 40 templates were backed up"); }))
        << w->count->GetLabel();
    {
        auto library = Reading();
        const auto backups = library->snapshots();
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(backups[0].source, "unit");
        std::vector<ByteSequence> dumps;
        ASSERT_TRUE(library->snapshotDumps(backups[0].id, dumps));
        ASSERT_EQ(dumps.size(), 40u);
        for (size_t i = 0; i < 40; ++i) EXPECT_EQ(dumps[i].vector(), received[i].vector()) << "location " << i + 1;
    }
    ASSERT_TRUE(runUntil([&] { return !w->IsLoading() && !w->Rows().empty(); }));

    // Restore Unit: the backup chosen, the question answered, the paced bulk send.
    bool asked = false;
    bool sent = false;
    wxTEST_DIALOG(
        {
            Click(w, w->restore);
            ASSERT_TRUE(runUntil([&] { return sent; }, 30000));
        },
        ExpectDialog<wxSingleChoiceDialog>([&](wxSingleChoiceDialog* d) {
            EXPECT_EQ(d->GetTitle(), "Restore Unit");
            return wxID_OK;
        }),
        ExpectDialog<wxMessageDialog>([&](wxMessageDialog* box) {
            asked = true;
            EXPECT_TRUE(box->GetMessage().StartsWith("Send the backup of ")) << box->GetMessage();
            EXPECT_NE(box->GetMessage().Find("All the templates on the unit will be replaced"), wxNOT_FOUND);
            return wxID_YES;
        }),
        ExpectDialog<CBulkDumpDialog>([&](CBulkDumpDialog* d) {
            EXPECT_EQ(d->GetTitle(), "Restore unit");
            EXPECT_TRUE(d->IsSending());
            EXPECT_TRUE(runUntil([&] { return !d->IsBusy(); }, 30000));
            sent = true;
            return wxID_OK;
        }));
    EXPECT_TRUE(asked);
    ASSERT_EQ(unit("wait-received 40 10000"), "ok 40");
    for (int i : {0, 17, 39})
        EXPECT_EQ(readFile(state() + wxString::Format("/unit/template-%02d.syx", i).ToStdString()),
                  received[static_cast<size_t>(i)].vector())
            << "location " << i + 1;

    // Send to Unit: one entry, to the location the user picks.
    ASSERT_TRUE(runUntil([&] { return !w->IsLoading(); }));
    w->SelectRow(3);
    const int64_t id = w->SelectedId();
    ASSERT_NE(id, 0);
    ASSERT_TRUE(w->send->IsEnabled());
    wxTEST_DIALOG(
        {
            Click(w, w->send);
            ASSERT_TRUE(runUntil([&] { return w->count->GetLabel().Contains("Sending "); }, 5000));
            ASSERT_TRUE(runUntil([&] { return !EditorApp().Midi().IsSending(); }, 10000));
        },
        ExpectDialog<wxSingleChoiceDialog>([&](wxSingleChoiceDialog* d) {
            EXPECT_EQ(d->GetTitle(), "Send to Unit");
            d->SetSelection(11);
            return wxID_OK;
        }));
    ASSERT_EQ(unit("wait-received 41 5000"), "ok 41");
    const MidiBytes atTwelve = readFile(state() + "/unit/template-11.syx");
    ASSERT_GT(atTwelve.size(), 12u);
    EXPECT_EQ(atTwelve[12], 11);
    EXPECT_EQ(atTwelve[7], 0);  // a single template, not a bulk entry
    auto library = Reading();
    const auto entry = library->entry(id);
    ASSERT_TRUE(entry.has_value());
    ASSERT_FALSE(entry->events.empty());
    EXPECT_EQ(entry->events.back().kind, LibraryEventKind::Sent);
    EXPECT_EQ(entry->events.back().location, 11);
}
