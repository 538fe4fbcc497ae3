// The bulk dump and OS update dialogs, driven as a user drives them, over a
// stand-in for the MIDI service that plays the unit.
#include <wx/button.h>
#include <wx/filename.h>
#include <wx/gauge.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <chrono>
#include <fstream>

#include "GuiTestSupport.h"
#include "app/BulkDumpDialog.h"
#include "app/EditorApp.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "app/UpdateOSDialog.h"
#include "model/BulkDump.h"
#include "model/DeviceOS.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {
// Plays the MIDI service and the unit: a send reaches the unit at its
// moment (the event loop's timers run meanwhile), and the test delivers what
// the unit sends.
class UnitLink : public ITransferLink {
public:
    UnitLink() {
        port.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { poll(); });
    }
    bool StartListening(ISysExListener* s, IProgressListener* p, const MidiBytes&) override {
        if (!input) return false;
        sysEx = s;
        progress = p;
        return true;
    }
    void StopListening() override {
        sysEx = nullptr;
        progress = nullptr;
    }
    bool StartSend(const MidiBytes& bytes, IProgressListener* p, TransferClock::time_point notBefore) override {
        if (!output || pending) return false;
        waiting = bytes;
        due = notBefore;
        pending = p;
        sysEx = nullptr;
        port.Start(2);
        return true;
    }
    bool CancelSend(IProgressListener* p) override {
        if (!pending || pending != p) return false;
        pending = nullptr;
        port.Stop();
        return true;
    }
    TransferClock::time_point LastDeliveredAt() const override { return deliveredAt; }
    bool IsSending() const override { return pending != nullptr; }
    bool IsListening() const override { return sysEx != nullptr; }
    bool HasInput() const override { return input; }
    bool HasOutput() const override { return output; }
    void Kick() override {}
    // As the service's poll: progress while the message waits, and its
    // delivery once its moment has come.
    void poll() {
        IProgressListener* p = pending;
        if (!p) return;
        p->OnProgress();
        if (pending != p || Clock::now() < due) return;
        pending = nullptr;
        port.Stop();
        if (failSends) {
            p->OnFailed();
            return;
        }
        deliveredAt = Clock::now();
        sent.push_back(waiting);
        sentAt.push_back(deliveredAt);
        p->OnComplete();
    }
    void deliver(const MidiBytes& bytes) {
        ISysExListener* l = sysEx;
        ASSERT_NE(l, nullptr) << "nobody listens";
        sysEx = nullptr;
        progress = nullptr;
        l->OnSysExReceived(bytes);
    }
    // The input goes away during a listen, as the service tells it.
    void loseInput() {
        IProgressListener* p = progress;
        ASSERT_NE(p, nullptr) << "nobody listens";
        sysEx = nullptr;
        progress = nullptr;
        p->OnFailed();
    }
    bool input = true, output = true;
    bool failSends = false;  // the port reports each send as failed
    ISysExListener* sysEx = nullptr;
    IProgressListener* progress = nullptr;
    IProgressListener* pending = nullptr;
    std::vector<MidiBytes> sent;
    std::vector<Clock::time_point> sentAt;

private:
    wxTimer port;
    MidiBytes waiting;
    TransferClock::time_point due, deliveredAt;
};

MidiBytes unitTemplate(const std::string& name, int location, uint8_t os9 = 0x08, uint8_t os10 = 0x0A) {
    CTaNGRAQVTemplate t;
    t.setTemplateName(name);
    t.setLocation(location);
    t.setBulkFlag(true);
    MidiBytes b = t.save().vector();
    b[9] = os9;
    b[10] = os10;
    return b;
}

wxString rowText(wxListCtrl* list, int row, int column) { return list->GetItemText(row, column); }

// Lets the event loop run for a while (timers included).
void runFor(std::chrono::milliseconds span) {
    const auto until = Clock::now() + span;
    while (Clock::now() < until) {
        wxTheApp->Yield(true);
        wxMilliSleep(2);
    }
}

void click(wxDialog* dialog, wxWindow* button) {
    wxCommandEvent event(wxEVT_BUTTON, button->GetId());
    event.SetEventObject(button);
    dialog->ProcessWindowEvent(event);
}

class BulkDialogTest : public GuiTest {
protected:
    void fillByReceiving(CBulkDumpDialog& d) {
        d.Listen();
        for (int i = 0; i < 40; ++i) link.deliver(unitTemplate("T" + std::to_string(i + 1), 39 - i));
    }
    wxString writeSyx(const wxString& name, const std::string& templateName) {
        CTaNGRAQVTemplate t;
        t.setTemplateName(templateName);
        const wxString path = Path(name);
        EXPECT_TRUE(writeBytesToFile(std::string(path.utf8_str()), t.save(), false));
        return path;
    }
    UnitLink link;
    EditorServices services = Services();
};
}  // namespace

TEST_F(BulkDialogTest, OpensEmptyWithItsControlsAndTitle) {
    CBulkDumpDialog d(frame, services, link);
    EXPECT_EQ(d.GetTitle(), "Bulk dump");
    ASSERT_NE(d.list, nullptr);
    ASSERT_EQ(d.list->GetColumnCount(), 2);
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
    d.list->GetColumn(0, column);
    EXPECT_EQ(column.GetText(), "Index");
    EXPECT_EQ(d.list->GetColumnWidth(0), 30);
    d.list->GetColumn(1, column);
    EXPECT_EQ(column.GetText(), "Name");
    EXPECT_EQ(d.list->GetColumnWidth(1), 160);
    EXPECT_EQ(d.hint->GetLabel(), "Right click to modify contents");
    EXPECT_EQ(d.list->GetItemCount(), 0);
    EXPECT_TRUE(d.listen->IsEnabled());
    EXPECT_FALSE(d.upload->IsEnabled());  // nothing to send yet
    EXPECT_FALSE(d.save->IsEnabled());
    EXPECT_FALSE(d.saveAll->IsEnabled());
    EXPECT_FALSE(d.moveUp->IsEnabled());
    EXPECT_FALSE(d.moveDown->IsEnabled());
    EXPECT_FALSE(d.progLine->IsShown());
    for (const char* name : {"Upload_Factory_Settings", "Open_Dump", "wxID_OK", "ID_PORGMESSAGE", "ID_PROGRESS",
                             "wxID_CANCEL"})
        EXPECT_NE(wxWindow::FindWindowByName(name, &d), nullptr) << name;

    link.input = false;
    CBulkDumpDialog noInput(frame, services, link);
    EXPECT_FALSE(noInput.listen->IsEnabled());
}

TEST_F(BulkDialogTest, ReceivesFortyTemplatesInArrivalOrder) {
    CBulkDumpDialog d(frame, services, link);
    d.Listen();
    EXPECT_TRUE(d.IsBusy());
    EXPECT_TRUE(d.progLine->IsShown());
    EXPECT_EQ(d.progMessage->GetLabel(), "Awaiting dump...");
    EXPECT_TRUE(d.cancel->IsEnabled());
    EXPECT_FALSE(d.ok->IsEnabled());
    for (int i = 0; i < 3; ++i) link.deliver(unitTemplate("T" + std::to_string(i + 1), 39 - i));
    EXPECT_EQ(d.progMessage->GetLabel(), "Receiving 4...");
    EXPECT_EQ(d.gauge->GetValue(), 3);
    for (int i = 3; i < 40; ++i) link.deliver(unitTemplate("T" + std::to_string(i + 1), 39 - i));
    EXPECT_FALSE(d.IsBusy());
    EXPECT_FALSE(d.progLine->IsShown());
    EXPECT_EQ(link.sysEx, nullptr);  // no listening after the 40th
    ASSERT_EQ(d.list->GetItemCount(), 40);
    EXPECT_EQ(rowText(d.list, 0, 0), "1");
    EXPECT_EQ(rowText(d.list, 0, 1), "Unknown - T1");
    EXPECT_EQ(rowText(d.list, 39, 0), "40");
    EXPECT_EQ(rowText(d.list, 39, 1), "Unknown - T40");
    EXPECT_EQ(d.Dump().GetEntry(0).save()[12], 0);
    EXPECT_TRUE(d.upload->IsEnabled());
    EXPECT_TRUE(d.save->IsEnabled());
    EXPECT_TRUE(d.saveAll->IsEnabled());
}

TEST_F(BulkDialogTest, ABadMessageDuringReceiveShowsTheMessageAndLeavesNoContents) {
    CBulkDumpDialog d(frame, services, link);
    d.Listen();
    link.deliver(unitTemplate("T1", 0));
    wxTEST_DIALOG(link.deliver({0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0x7F, 0x01, 0xF7}),
                  ExpectMessage("Unable to read dump: the unit sent a message that is not a valid template.\n\nListen "
                                "again, then send the dump from the unit again.",
                                wxOK));
    EXPECT_FALSE(d.IsBusy());
    EXPECT_FALSE(d.Dump().HasContents());
    EXPECT_EQ(d.list->GetItemCount(), 0);
}

// The input goes away half way: what arrived stays, and the message says how much.
TEST_F(BulkDialogTest, AnInputLostDuringReceiveKeepsWhatArrivedAndSaysHowMany) {
    CBulkDumpDialog d(frame, services, link);
    d.Listen();
    for (int i = 0; i < 5; ++i) link.deliver(unitTemplate("T" + std::to_string(i + 1), 39 - i));
    wxTEST_DIALOG(link.loseInput(), ExpectMessage("The MIDI input went away during the bulk dump.\n\nThe 5 templates "
                                                  "received before are kept; the others are empty.",
                                                  wxOK));
    EXPECT_FALSE(d.IsBusy());
    EXPECT_TRUE(d.Dump().HasContents());
    ASSERT_EQ(d.list->GetItemCount(), 40);
    EXPECT_EQ(rowText(d.list, 4, 1), "Unknown - T5");
    EXPECT_TRUE(d.save->IsEnabled());
}

// A send the port reports as failed: the message says how many templates
// reached the unit.
TEST_F(BulkDialogTest, AFailedSendSaysHowManyTemplatesReachedTheUnit) {
    CBulkDumpDialog d(frame, services, link);
    fillByReceiving(d);
    click(&d, d.upload);
    runFor(1150ms);  // three templates out, the fourth waits for its pause
    ASSERT_EQ(link.sent.size(), 3u);
    link.failSends = true;
    wxTEST_DIALOG(runFor(400ms), ExpectMessage("Error sending bulk dump\n\n3 of 40 templates reached the unit.", wxOK));
    EXPECT_FALSE(d.IsBusy());
    EXPECT_TRUE(d.upload->IsEnabled());
}

TEST_F(BulkDialogTest, SendIsPacedWithoutFreezingTheWindowAndCancelStopsAtOnce) {
    CBulkDumpDialog d(frame, services, link);
    fillByReceiving(d);
    d.Show();
    runFor(300ms);  // the first paint of the dialog is not the transfer's
    // Watch the event loop: a 5 ms timer notes the longest gap between its ticks.
    wxTimer watch;
    Clock::time_point last = Clock::now();
    Clock::duration longest{0};
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        const auto now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
    });
    click(&d, d.upload);
    EXPECT_TRUE(d.IsSending());
    EXPECT_EQ(d.progMessage->GetLabel(), "Writing 1...");
    last = Clock::now();
    watch.Start(5);
    runFor(1250ms);  // three sends, two pauses
    watch.Stop();
    ASSERT_EQ(link.sent.size(), 3u);
    EXPECT_EQ(d.progMessage->GetLabel(), "Writing 3...");
    EXPECT_EQ(d.gauge->GetValue(), 3);
    for (size_t i = 1; i < link.sent.size(); ++i) {
        const auto gap = link.sentAt[i] - link.sentAt[i - 1];
        EXPECT_GE(gap, 500ms) << i;
        EXPECT_LT(gap, 540ms) << i;
    }
    EXPECT_LT(longest, 50ms) << std::chrono::duration_cast<std::chrono::milliseconds>(longest).count() << " ms";
    EXPECT_EQ(link.sent[0], d.Dump().GetEntry(0).save().vector());

    // Closing is refused while sending; Cancel during the pause ends it at once.
    EXPECT_FALSE(d.TryClose());
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, d.GetId());
    close.SetEventObject(&d);
    close.SetCanVeto(true);
    d.ProcessWindowEvent(close);
    EXPECT_TRUE(close.GetVeto());
    EXPECT_TRUE(d.IsShown());
    click(&d, d.cancel);
    EXPECT_FALSE(d.IsBusy());
    EXPECT_FALSE(d.progLine->IsShown());
    EXPECT_TRUE(d.ok->IsEnabled());
    runFor(700ms);
    EXPECT_EQ(link.sent.size(), 3u);
    d.Hide();
}

TEST_F(BulkDialogTest, DropsReplaceRowsFromTheTargetOnAndRefuseOtherExtensions) {
    CBulkDumpDialog d(frame, services, link);
    fillByReceiving(d);
    d.Show();
    Pump();
    const wxArrayString three = [&] {
        wxArrayString a;
        a.Add(writeSyx("a.syx", "Drop A"));
        a.Add(writeSyx("b.syx", "Drop B"));
        a.Add(writeSyx("c.syx", "Drop C"));
        return a;
    }();
    d.list->EnsureVisible(38);
    Pump();
    wxRect row;
    ASSERT_TRUE(d.list->GetItemRect(38, row));
    const wxPoint onRow = d.ScreenToClient(d.list->ClientToScreen(row.GetPosition() + wxPoint(5, row.height / 2)));
    EXPECT_TRUE(d.DropFiles(onRow, three));
    EXPECT_EQ(rowText(d.list, 37, 1), "Unknown - T38");
    EXPECT_EQ(rowText(d.list, 38, 1), "Unknown - Drop A");
    EXPECT_EQ(rowText(d.list, 39, 1), "Unknown - Drop B");
    EXPECT_EQ(d.Dump().GetEntry(38).save()[12], 38);
    EXPECT_EQ(d.Dump().GetEntry(39).save()[7], 1);

    wxArrayString upper;
    const wxString syx = writeSyx("d.syx", "Upper");
    wxRenameFile(syx, Path("D.SYX"));
    upper.Add(Path("D.SYX"));
    EXPECT_FALSE(d.DropFiles(onRow, upper));
    wxArrayString folder;
    folder.Add(dir);
    EXPECT_FALSE(d.DropFiles(onRow, folder));
    EXPECT_EQ(rowText(d.list, 38, 1), "Unknown - Drop A");
    // Below the last row: from row 0 on.
    wxArrayString one;
    one.Add(three[2]);
    EXPECT_TRUE(d.DropFiles(wxPoint(1, 1), one));
    EXPECT_EQ(rowText(d.list, 0, 1), "Unknown - Drop C");
    d.Hide();
}

TEST_F(BulkDialogTest, MovingRowsKeepsLocationsAndStopsAtTheEnds) {
    CBulkDumpDialog d(frame, services, link);
    fillByReceiving(d);
    d.SelectRow(0);
    EXPECT_FALSE(d.moveUp->IsEnabled());
    EXPECT_TRUE(d.moveDown->IsEnabled());
    d.MoveDown();
    EXPECT_EQ(d.SelectedRow(), 1);
    EXPECT_EQ(rowText(d.list, 0, 1), "Unknown - T2");
    EXPECT_EQ(rowText(d.list, 1, 1), "Unknown - T1");
    EXPECT_EQ(d.Dump().GetEntry(1).save()[12], 1);
    d.SelectRow(39);
    EXPECT_FALSE(d.moveDown->IsEnabled());
    EXPECT_TRUE(d.moveUp->IsEnabled());
    d.MoveUp();
    EXPECT_EQ(rowText(d.list, 38, 1), "Unknown - T40");
    EXPECT_EQ(rowText(d.list, 39, 1), "Unknown - T39");
}

TEST_F(BulkDialogTest, FilesSaveReopenAndAShortFileChangesNothing) {
    CBulkDumpDialog d(frame, services, link);
    fillByReceiving(d);
    ASSERT_TRUE(d.SaveDumpAs(Path("set")));  // ".blk" added
    EXPECT_FALSE(d.Dump().IsModified());
    ASSERT_TRUE(wxFileName::FileExists(Path("set.blk")));
    EXPECT_EQ(wxFileName::GetSize(Path("set.blk")), 40u * 4112u);

    std::ifstream in(std::string(Path("set.blk").utf8_str()), std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::ofstream(std::string(Path("short.blk").utf8_str()), std::ios::binary).write(bytes.data(), 39 * 4112);

    CBulkDumpDialog other(frame, services, link);
    other.ClearEntry(0);
    ASSERT_TRUE(other.LoadDump(Path("set.blk"), false));
    ASSERT_EQ(other.list->GetItemCount(), 40);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(rowText(other.list, i, 1), rowText(d.list, i, 1)) << i;
    wxTEST_DIALOG(EXPECT_FALSE(other.LoadDump(Path("short.blk"), false)),
                  ExpectMessage("Unable to load dump from file: " + Path("short.blk"), wxOK));
    EXPECT_TRUE(other.Dump().HasContents());
    EXPECT_EQ(other.list->GetItemCount(), 40);
    EXPECT_EQ(rowText(other.list, 5, 1), "Unknown - T6");

    // Extract all: 1-based names in the chosen folder.
    wxFileName::Mkdir(Path("out"));
    other.ExtractAllTo(Path("out"));
    EXPECT_TRUE(wxFileName::FileExists(Path("out") + "/01 - Unknown - T1.syx"));
    EXPECT_TRUE(wxFileName::FileExists(Path("out") + "/40 - Unknown - T40.syx"));

    // A modified dump asks before closing; Cancel keeps the dialog.
    other.ClearEntry(3);
    wxTEST_DIALOG(EXPECT_FALSE(other.TryClose()),
                  ExpectMessage("Do you want to save your changes to the dump?", wxCANCEL));
    wxTEST_DIALOG(EXPECT_TRUE(other.TryClose()),
                  ExpectMessage("Do you want to save your changes to the dump?", wxNO));
}

TEST_F(BulkDialogTest, FactorySettingsAreLoadedBesideTheProgramAndSent) {
    services.programDirectory = ProgramFolder();
    ASSERT_TRUE(wxFileName::FileExists(ProgramFolder() + "/FactorySettings.blk"));
    CBulkDumpDialog d(frame, services, link);
    d.UploadFactorySettings();
    EXPECT_TRUE(d.IsSending());
    EXPECT_FALSE(d.factory->IsEnabled());
    runFor(50ms);  // the first template reaches the unit; the second waits for its pause
    ASSERT_EQ(link.sent.size(), 1u);
    EXPECT_EQ(link.sent[0][12], 0);
    EXPECT_EQ(link.sent[0][7], 1);
    EXPECT_EQ(d.list->GetItemCount(), 40);
    click(&d, d.cancel);
    EXPECT_TRUE(d.factory->IsEnabled());

    // A missing factory file fails silently and keeps the button off.
    services.programDirectory = dir + "/nowhere";
    CBulkDumpDialog e(frame, services, link);
    EXPECT_NO_DIALOG(e.UploadFactorySettings());
    EXPECT_FALSE(e.factory->IsEnabled());
    EXPECT_FALSE(e.IsBusy());
}

// ---- OS update ----

namespace {
class OsDialogTest : public BulkDialogTest {
protected:
    wxString writeImage(const wxString& name, std::initializer_list<uint8_t> markers, uint8_t b9 = 0x0A,
                        uint8_t b10 = 5, size_t longMiddle = 0) {
        ByteSequence all;
        size_t index = 0;
        for (uint8_t m : markers) {
            const bool middle = index++ == markers.size() / 2;
            std::vector<uint8_t> msg(middle && longMiddle ? longMiddle : 40, 0x11);
            msg.front() = 0xF0;
            msg.back() = 0xF7;
            msg[7] = m;
            msg[9] = b9;
            msg[10] = b10;
            for (uint8_t b : msg) all.appendRaw(b);
        }
        const wxString path = Path(name);
        EXPECT_TRUE(writeBytesToFile(std::string(path.utf8_str()), all, false));
        return path;
    }
};

const char* const kNotEstablished =
    "You have not established the current OS version on your unit,\nand it may be a later version than the one you "
    "are about to upload.\n\nDo you wish to upload the selected OS anyway?";
const char* const kDowngrade =
    "The version of the operating system you are about to upload is older than the one currently installed on the "
    "unit.\n\nDo you still want to upload it?";

int refuseConfirmation(CConfirmOSUpdateDialog* c) {
    EXPECT_EQ(c->GetTitle(), "Confirm OS Update");
    EXPECT_TRUE(c->message->GetValue().Contains("TaNGRA LuMI QV"));
    EXPECT_FALSE(c->message->GetValue().Contains("PRODUCTNAME"));
    return wxID_CANCEL;
}
}  // namespace

TEST_F(OsDialogTest, ShowsVersionsAndKeepsThePreviousImageWhenAFileIsRefused) {
    bool restored = false;
    {
        CUpdateOSDialog d(frame, services, link, {[&](bool) { restored = true; }, {}});
        EXPECT_EQ(d.GetTitle(), "Update device OS");
        EXPECT_EQ(d.currentVersion->GetValue(), "Unknown");
        EXPECT_FALSE(d.currentVersion->IsEnabled());
        EXPECT_EQ(d.newVersion->GetValue(), "Not loaded");
        EXPECT_FALSE(d.send->IsEnabled());
        EXPECT_EQ(d.send->GetLabel(), "&Upload OS");
        EXPECT_FALSE(d.progLine->IsShown());
        EXPECT_TRUE(link.IsListening());  // for a template that tells the unit's version

        link.deliver(unitTemplate("Any", 0, 0x09, 3));  // OS 1.1.03
        EXPECT_TRUE(d.VersionEstablished());
        EXPECT_EQ(d.currentVersion->GetValue(), "1.1.03");
        EXPECT_TRUE(d.currentVersion->IsEnabled());

        ASSERT_TRUE(d.LoadImage(writeImage("two.syx", {0x7F, 0x7D})));
        EXPECT_EQ(d.newVersion->GetValue(), "1.2.05");
        EXPECT_TRUE(d.send->IsEnabled());
        const wxString bad = writeImage("bad.syx", {0x7F, 0x7D, 0x7D}, 0x11, 1);
        wxTEST_DIALOG(EXPECT_FALSE(d.LoadImage(bad)),
                      ExpectMessage("The file \"" + bad + "\" is not a valid operating system.", wxOK));
        EXPECT_EQ(d.newVersion->GetValue(), "1.2.05");
        EXPECT_TRUE(d.send->IsEnabled());
        EXPECT_EQ(d.Image().messages.size(), 2u);
        EXPECT_TRUE(d.Image().IsValid());
    }
    EXPECT_TRUE(restored);
    EXPECT_FALSE(link.IsListening());
}

TEST_F(OsDialogTest, QuestionsBeforeTheUpload) {
    // Not established, warning on: the question; No ends there.
    Settings().showOldOSDialog = 1;
    {
        CUpdateOSDialog d(frame, services, link);
        d.LoadImage(writeImage("os.syx", {0x7F, 0x7E, 0x7D}));
        wxTEST_DIALOG(d.Upload(), ExpectMessage(kNotEstablished, wxNO));
        EXPECT_TRUE(link.sent.empty());
        wxTEST_DIALOG(d.Upload(), ExpectMessage(kNotEstablished, wxYES),
                      ExpectDialog<CConfirmOSUpdateDialog>(refuseConfirmation));
        EXPECT_TRUE(link.sent.empty());
    }
    // Warning off: straight to the confirmation.
    Settings().showOldOSDialog = 0;
    {
        CUpdateOSDialog d(frame, services, link);
        d.LoadImage(writeImage("os.syx", {0x7F, 0x7E, 0x7D}));
        wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>(refuseConfirmation));
    }
    Settings().showOldOSDialog = 1;
    // An older image than the unit's: the downgrade question, No by default.
    {
        CUpdateOSDialog d(frame, services, link);
        link.deliver(unitTemplate("Any", 0, 0x0B, 0));  // unit runs 1.3.00
        d.LoadImage(writeImage("os.syx", {0x7F, 0x7D}));  // 1.2.05
        wxTEST_DIALOG(d.Upload(), ExpectDialog<wxMessageDialog>([](wxMessageDialog* box) {
                          EXPECT_EQ(box->GetMessage(), kDowngrade);
                          EXPECT_TRUE(box->GetMessageDialogStyle() & wxNO_DEFAULT) << "Yes is the default";
                          return wxID_NO;
                      }));
    }
    // The same version: no question.
    {
        CUpdateOSDialog d(frame, services, link);
        link.deliver(unitTemplate("Any", 0, 0x0A, 5));
        d.LoadImage(writeImage("os.syx", {0x7F, 0x7D}));
        wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>(refuseConfirmation));
    }
    EXPECT_TRUE(link.sent.empty());
}

TEST_F(OsDialogTest, UploadSendsEveryMessage100msApartAndRefusesToCloseMeanwhile) {
    CUpdateOSDialog d(frame, services, link);
    link.deliver(unitTemplate("Any", 0, 0x0A, 5));
    const wxString path = writeImage("os.syx", {0x7F, 0x7E, 0x7E, 0x7D});
    d.LoadImage(path);
    d.Show();
    wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>([](CConfirmOSUpdateDialog*) {
                      return CConfirmOSUpdateDialog::kConfirmed;
                  }));
    EXPECT_TRUE(d.IsBusy());
    EXPECT_EQ(d.send->GetLabel(), "Please wait...");
    EXPECT_FALSE(d.ok->IsEnabled());
    EXPECT_FALSE(d.load->IsEnabled());
    EXPECT_TRUE(d.progLine->IsShown());
    EXPECT_EQ(d.gauge->GetRange(), 4);
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, d.GetId());
    close.SetEventObject(&d);
    close.SetCanVeto(true);
    d.ProcessWindowEvent(close);
    EXPECT_TRUE(close.GetVeto());
    wxTEST_DIALOG(runFor(450ms), ExpectMessage("OS update completed!\n\nPlease click \"OK\" and exit the program "
                                               "before switching the hardware back on.",
                                               wxOK));
    ASSERT_EQ(link.sent.size(), 4u);
    for (size_t i = 1; i < 4; ++i) EXPECT_GE(link.sentAt[i] - link.sentAt[i - 1], 100ms);
    EXPECT_EQ(link.sent[3], d.Image().messages[3].vector());
    EXPECT_FALSE(d.IsBusy());
    EXPECT_EQ(d.send->GetLabel(), "&Upload OS");
    EXPECT_FALSE(d.progLine->IsShown());
    d.Hide();
}

// An image with a message longer than the output carries in one piece is
// refused on loading, before anything could be sent; the image loaded before
// stays.
TEST_F(OsDialogTest, AnImageTheOutputCannotCarryIsRefusedOnLoading) {
    CUpdateOSDialog d(frame, services, link);
    ASSERT_TRUE(d.LoadImage(writeImage("good.syx", {0x7F, 0x7E, 0x7D})));
    const wxString big = writeImage("big.syx", {0x7F, 0x7E, 0x7D}, 0x0B, 1, 20000);
    wxTEST_DIALOG(EXPECT_FALSE(d.LoadImage(big)), ExpectDialog<wxMessageDialog>([&](wxMessageDialog* box) {
                      const wxString text = box->GetMessage();
                      EXPECT_TRUE(text.StartsWith("The file \"" + big + "\" is not a valid operating system. (message 2 "
                                                  "of 3 is 20000 bytes long; the MIDI output carries at most "))
                          << text;
                      return wxID_OK;
                  }));
    EXPECT_EQ(d.newVersion->GetValue(), "1.2.05");
    EXPECT_EQ(d.Image().messages.size(), 3u);
    EXPECT_TRUE(link.sent.empty());
}

// A send the port reports as failed: the message says how far the upload got.
TEST_F(OsDialogTest, AFailedUploadSaysHowManyMessagesReachedTheUnit) {
    CUpdateOSDialog d(frame, services, link);
    link.deliver(unitTemplate("Any", 0, 0x0A, 5));
    d.LoadImage(writeImage("os.syx", {0x7F, 0x7E, 0x7E, 0x7E, 0x7D}));
    wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>([](CConfirmOSUpdateDialog*) {
                      return CConfirmOSUpdateDialog::kConfirmed;
                  }));
    runFor(150ms);  // two messages out
    ASSERT_EQ(link.sent.size(), 2u);
    link.failSends = true;
    wxTEST_DIALOG(runFor(250ms), ExpectMessage("Error uploading OS\n\n2 of 5 messages reached the unit, which now waits "
                                               "for the rest. Put it into its OS-receive mode again and upload the "
                                               "whole image once more.",
                                               wxOK));
    EXPECT_FALSE(d.IsBusy());
    EXPECT_TRUE(d.send->IsEnabled());
}

// "Select MIDI devices..." ends the version listen (the port may change);
// the dialog listens again afterwards, and learns the version from the new port.
TEST_F(OsDialogTest, AfterSelectingDevicesTheVersionIsLearntAgain) {
    CUpdateOSDialog::Hooks hooks;
    int chosen = 0;
    hooks.chooseDevices = [&] {
        ++chosen;
        link.StopListening();  // as the main window's device selection does
    };
    CUpdateOSDialog d(frame, services, link, std::move(hooks));
    ASSERT_TRUE(link.IsListening());
    click(&d, d.selectDevices);
    EXPECT_EQ(chosen, 1);
    ASSERT_TRUE(link.IsListening());
    link.deliver(unitTemplate("Any", 0, 0x09, 3));
    EXPECT_EQ(d.currentVersion->GetValue(), "1.1.03");
}

// The confirmation reads as plain text (quotes without backslashes) and
// opens with a button focused, so no text cursor blinks in it.
TEST_F(OsDialogTest, TheConfirmationTextIsPlainAndHasNoCursor) {
    frame->Hide();
    CConfirmOSUpdateDialog c(frame, EditorApp().Profile());
    EXPECT_EQ(c.message->GetValue(),
              "The operating system of your TaNGRA LuMI QV is about to be replaced.\n\nPut the TaNGRA LuMI QV into its "
              "OS-receive mode now (\"Show instructions\" tells you how), then click \"Start update\".\n\nDo not "
              "switch the TaNGRA LuMI QV off or disconnect it until the update has completed.");
    c.Move(0, 0);
    c.Show();
    WaitUntilMapped(&c);
    for (int i = 0; i < 10; ++i) {
        Pump();
        wxMilliSleep(15);
    }
    EXPECT_NE(wxWindow::FindFocus(), c.message) << "the text has the focus and shows a cursor";
    const wxImage image = CaptureScreen(c.GetScreenRect());
    EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/confirm_os_update.png", wxBITMAP_TYPE_PNG));
    c.Hide();
    frame->Show();
}

// Pictures of both dialogs, idle and during a transfer, kept with the build.
TEST_F(OsDialogTest, ScreenshotsIdleAndDuringATransfer) {
    frame->Hide();
    auto shoot = [](wxDialog* d, const char* file) {
        d->Move(0, 0);
        d->Show();
        d->Raise();
        for (int i = 0; i < 10; ++i) {
            Pump();
            wxMilliSleep(15);
        }
        const wxImage image = CaptureScreen(d->GetScreenRect());
        EXPECT_GT(image.GetWidth(), 150) << file;
        EXPECT_TRUE(image.SaveFile(ScreenshotFolder() + "/" + file, wxBITMAP_TYPE_PNG));
        const wxSize client = d->GetClientSize();
        for (wxWindow* child : d->GetChildren()) {
            if (child->IsShown()) {
                EXPECT_TRUE(wxRect(client).Contains(child->GetRect())) << file << " " << child->GetName().ToStdString();
            }
        }
    };
    {
        CBulkDumpDialog d(frame, services, link);
        fillByReceiving(d);
        d.SelectRow(2);
        shoot(&d, "bulk_dump_idle.png");
        click(&d, d.upload);
        runFor(600ms);
        shoot(&d, "bulk_dump_sending.png");
        click(&d, d.cancel);
        d.Hide();
    }
    {
        CUpdateOSDialog d(frame, services, link);
        link.deliver(unitTemplate("Any", 0, 0x08, 10));
        d.LoadImage(writeImage("os.syx", {0x7F, 0x7E, 0x7E, 0x7E, 0x7E, 0x7E, 0x7D}, 0x09, 1));
        shoot(&d, "update_os_idle.png");
        wxTEST_DIALOG(d.Upload(), ExpectDialog<CConfirmOSUpdateDialog>([](CConfirmOSUpdateDialog*) {
                          return CConfirmOSUpdateDialog::kConfirmed;
                      }));
        runFor(250ms);
        shoot(&d, "update_os_sending.png");
        wxTEST_DIALOG(runFor(600ms), ExpectMessage("OS update completed!\n\nPlease click \"OK\" and exit the program "
                                                   "before switching the hardware back on.",
                                                   wxOK));
        d.Hide();
    }
    frame->Show();
}
