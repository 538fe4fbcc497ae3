// Clipboard, cut, copy, paste, delete, move, swap, imported controls and the
// Edit menu's clipboard items.
#include "EditingTestSupport.h"
#include "editing/ClipboardCommands.h"
#include "editing/EditMenu.h"
#include "editing/History.h"
#include "editing/PasteCommand.h"
#include "model/DeviceProfile.h"

namespace {

class ClipboardTest : public EditingTest {
protected:
    void SetUp() override {
        EditingTest::SetUp();
        for (int i = 0; i <= 85; ++i) tpl.controlAt(i)->isContinuous = CTaNGRAQVDeviceProfile().IsContinuousControl(i);
        assign(3, ControlType::CC, "Cutoff", 74);
        assign(4, ControlType::NRPN, "Reso", 71);
        assign(5, ControlType::CC, "Attack", 73);
        assign(30, ControlType::CC, "Mute", 20);
        view.log.clear();
    }
    void assign(int i, int type, const char* name, int number) {
        CBaseControlState& c = state(i);
        c.setControlType(type, true);
        c.setName(name);
        c.setLsbNumber(static_cast<uint8_t>(number));
        c.setMidiChannel(5);
    }
    EditMenuState menu(const ControlList& selection, bool editWindowShown = false) {
        return editMenuState(&tpl, canUndo(tpl), canRedo(tpl), editWindowShown, selection,
                             CControlClipboard::instance());
    }
    CControlClipboard& clipboard() { return CControlClipboard::instance(); }
};

TEST_F(ClipboardTest, CopyTakesSettingsInOrderOncePerIndex) {
    copyToClipboard({at(5), at(3), at(5)});
    ASSERT_EQ(clipboard().placed().size(), 2u);
    EXPECT_EQ(clipboard().placed()[0].GetIndex(), 5);
    EXPECT_EQ(clipboard().placed()[1].GetIndex(), 3);
    EXPECT_NE(clipboard().placed()[0].GetState(), &state(5));  // a copy, not the control
    EXPECT_TRUE(clipboard().placed()[0].GetState()->sameState(state(5)));
    state(5).setName("Changed");
    EXPECT_EQ(clipboard().placed()[0].GetState()->name, "Attack");
    copyToClipboard({at(4)});
    ASSERT_EQ(clipboard().placed().size(), 1u);
    EXPECT_EQ(clipboard().placed()[0].GetState()->name, "Reso");
}

TEST_F(ClipboardTest, PasteNeedsOneFittingTargetPerCopiedControl) {
    copyToClipboard({at(3)});
    EXPECT_TRUE(menu({at(7)}).paste);
    EXPECT_FALSE(menu({at(7), at(8)}).paste);  // lengths differ
    EXPECT_FALSE(menu({}).paste);

    state(70).setControlType(ControlType::DrumNote, true);
    copyToClipboard({at(70)});
    EXPECT_FALSE(menu({at(24)}).paste);  // not a drum pad
    EXPECT_TRUE(menu({at(71)}).paste);
    EXPECT_FALSE(canPaste(TaNGRAQVFacts(), clipboard().placed(), {CPlacedControl(&state(71), 86)}));  // imported index
}

TEST_F(ClipboardTest, EditMenuClipboardItems) {
    tpl.importedControls.push_back(state(3));
    const CPlacedControl imported(tpl.controlAt(86), 86);
    copyToClipboard({at(3)});

    struct Case {
        const char* what;
        ControlList selection;
        bool editWindowShown;
        bool cut, copy, paste, del, selectAll, getInfo;
    };
    const Case cases[] = {
        {"nothing selected", {}, false, false, false, false, false, true, false},
        {"one control", {at(7)}, false, true, true, true, true, true, true},
        {"imported control", {imported}, false, false, true, false, false, true, true},
        {"imported among others", {at(7), imported}, false, false, true, false, false, true, true},
        {"edit window shown", {at(7)}, true, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const EditMenuState s = menu(c.selection, c.editWindowShown);
        EXPECT_EQ(s.cut, c.cut);
        EXPECT_EQ(s.copy, c.copy);
        EXPECT_EQ(s.paste, c.paste);
        EXPECT_EQ(s.del, c.del);
        EXPECT_EQ(s.selectAll, c.selectAll);
        EXPECT_EQ(s.getInfo, c.getInfo);
    }
    const EditMenuState none = editMenuState(nullptr, false, false, false, {at(7)}, clipboard());
    EXPECT_FALSE(none.cut || none.copy || none.paste || none.del || none.selectAll || none.getInfo);
    EXPECT_EQ(none.undoLabel, "Can't undo\tCtrl+Z");
}

TEST_F(ClipboardTest, CompositeNamesTakeThePluralS) {
    copyToClipboard({at(3), at(4)});
    struct Case {
        std::unique_ptr<CMetaCommand> command;
        const char* name;
    };
    Case cases[] = {
        {deleteCommand({at(3)}), "Delete Control"},
        {deleteCommand({at(3), at(4)}), "Delete Controls"},
        {cutCommand({at(5)}), "Cut Control"},
        {cutCommand({at(3), at(4), at(5)}), "Cut Controls"},
        {pasteCommand({at(7)}, {at(3)}), "Paste Control"},
        {pasteCommand({at(7), at(8)}, {at(3), at(4)}), "Paste Controls"},
        {moveCommand({at(3)}, {at(7)}), "Move control"},
        {swapCommand({at(3)}, {at(4)}), "Swap controls"},
    };
    for (Case& c : cases) {
        ASSERT_TRUE(c.command);
        EXPECT_EQ(c.command->GetName(), c.name);
        const bool clears = c.command->GetName().rfind("Delete", 0) == 0 || c.command->GetName().rfind("Cut", 0) == 0;
        if (clears) {
            for (const auto& child : c.command->Children()) EXPECT_EQ(child->GetName(), "Delete Control");
        }
    }
    auto paste = pasteCommand({at(7), at(8)}, {at(3), at(4)});
    for (const auto& child : paste->Children()) EXPECT_EQ(child->GetName(), "Paste Control");
}

TEST_F(ClipboardTest, UnequalListsAreRefused) {
    EXPECT_EQ(pasteCommand({at(7)}, {at(3), at(4)}), nullptr);
    EXPECT_EQ(pasteCommand({at(7), at(8)}, {at(3)}), nullptr);
    EXPECT_EQ(moveCommand({at(3), at(4)}, {at(7)}), nullptr);
    EXPECT_EQ(swapCommand({at(3)}, {at(4), at(5)}), nullptr);
    copyToClipboard({at(3)});
    EXPECT_EQ(pasteFromClipboard({at(7), at(8)}), nullptr);
}

TEST_F(ClipboardTest, CutOfThreeIsOneEntryAndUndoRestoresAll) {
    const CBaseControlState s3 = state(3), s4 = state(4), s5 = state(5);
    executeCommand(cutCommand({at(3), at(4), at(5)}), tpl);
    ASSERT_EQ(tpl.history.size(), 1u);
    EXPECT_EQ(undoName(tpl), "Cut Controls");
    EXPECT_EQ(clipboard().placed().size(), 3u);
    EXPECT_EQ(state(4).controlType, ControlType::Disabled);
    undoCommand(tpl);
    EXPECT_TRUE(state(3).sameState(s3));
    EXPECT_TRUE(state(4).sameState(s4));
    EXPECT_TRUE(state(5).sameState(s5));
}

TEST_F(ClipboardTest, DeleteResetsEverySettingAndUndoBringsThemBack) {
    CBaseControlState& c = state(30);
    c.setLongName("Mute Channel");
    c.setPortUsb3(true);
    c.setButtonAction(ButtonAction::Toggle);
    c.setSnapshotValue(99);
    c.rawByte6 = 0x11;
    const CBaseControlState before = c;
    executeCommand(deleteCommand({at(30)}), tpl);

    const CBaseControlState defaults;
    EXPECT_EQ(c, defaults);  // name, type and every compared field
    EXPECT_EQ(c.longName, "");
    EXPECT_EQ(c.snapshotValue, 0);
    EXPECT_EQ(c.rawByte6, 0);
    undoCommand(tpl);
    EXPECT_TRUE(c.sameState(before));
    EXPECT_EQ(c.name, "Mute");
}

TEST_F(ClipboardTest, DeletedControlStaysContinuousInItsPlace) {
    executeCommand(deleteCommand({at(3)}), tpl);
    EXPECT_TRUE(state(3).isContinuous);
    EXPECT_EQ(state(3).controlType, ControlType::Disabled);
}

TEST_F(ClipboardTest, PasteRebindsTheSettingsToTheTarget) {
    CBaseControlState& pot = state(3);
    pot.setOffValue(10, true);
    pot.setSnapshotValue(64);
    ASSERT_TRUE(pot.isContinuous);
    copyToClipboard({at(3)});
    const CBaseControlState before = state(31);
    executeCommand(pasteFromClipboard({at(31)}), tpl);

    const CBaseControlState& button = state(31);
    EXPECT_EQ(button.name, "Cutoff");
    EXPECT_EQ(button.lsbNumber, 74);
    EXPECT_FALSE(button.isContinuous);
    EXPECT_EQ(button.snapshotValue, 10);  // a Normal button's snapshot is its low value
    EXPECT_EQ(pot.snapshotValue, 64);     // the source is untouched
    EXPECT_EQ(undoName(tpl), "Paste Control");
    undoCommand(tpl);
    EXPECT_TRUE(state(31).sameState(before));
}

TEST_F(ClipboardTest, PasteKeepsItsOwnCopyOfTheSettings) {
    copyToClipboard({at(3)});
    auto paste = pasteFromClipboard({at(7)});
    copyToClipboard({at(4)});
    clipboard().clear();
    executeCommand(std::move(paste), tpl);
    EXPECT_EQ(state(7).name, "Cutoff");
}

TEST_F(ClipboardTest, PasteSelectsOnRedoAndDeselectsOnUndo) {
    copyToClipboard({at(3), at(4)});
    executeCommand(pasteFromClipboard({at(7), at(8)}), tpl);
    view.log.clear();
    undoCommand(tpl);
    EXPECT_TRUE(view.has("select 7 off"));
    EXPECT_TRUE(view.has("select 8 off"));
    EXPECT_TRUE(view.has("hide"));
    view.log.clear();
    redoCommand(tpl);
    EXPECT_TRUE(view.has("select 7 on"));
    EXPECT_TRUE(view.has("select 8 on"));
    EXPECT_TRUE(view.has("hide"));
    EXPECT_EQ(state(8).name, "Reso");
}

TEST_F(ClipboardTest, DeleteDeselectsOnDoAndSelectsOnUndo) {
    CClearCommand clear(at(5));
    clear.Do();
    EXPECT_FALSE(clear.UpdateView(false));
    clear.Undo();
    EXPECT_FALSE(clear.UpdateView(true));
    EXPECT_EQ(view.log, (std::vector<std::string>{"select 5 off", "select 5 on"}));
}

TEST_F(ClipboardTest, MoveOntoAnUnassignedControl) {
    copyToClipboard({at(5)});
    const CBaseControlState s3 = state(3), s7 = state(7);
    ASSERT_EQ(s7.controlType, ControlType::Disabled);
    executeCommand(moveCommand({at(3)}, {at(7)}), tpl);
    ASSERT_EQ(tpl.history.size(), 1u);
    EXPECT_EQ(undoName(tpl), "Move control");
    EXPECT_EQ(state(7).name, "Cutoff");
    EXPECT_EQ(state(7).lsbNumber, 74);
    EXPECT_EQ(state(3).controlType, ControlType::Disabled);
    EXPECT_EQ(state(3).name, "");
    EXPECT_EQ(clipboard().placed()[0].GetIndex(), 5);  // the clipboard is not touched
    undoCommand(tpl);
    EXPECT_TRUE(state(3).sameState(s3));
    EXPECT_TRUE(state(7).sameState(s7));
}

TEST_F(ClipboardTest, SwapExchangesTwoAssignedControls) {
    const CBaseControlState s3 = state(3), s4 = state(4);
    executeCommand(swapCommand({at(3)}, {at(4)}), tpl);
    EXPECT_EQ(undoName(tpl), "Swap controls");
    EXPECT_EQ(state(3).name, "Reso");
    EXPECT_EQ(state(3).controlType, ControlType::NRPN);
    EXPECT_EQ(state(4).name, "Cutoff");
    EXPECT_EQ(state(4).controlType, ControlType::CC);
    undoCommand(tpl);
    EXPECT_TRUE(state(3).sameState(s3));
    EXPECT_TRUE(state(4).sameState(s4));
}

TEST_F(ClipboardTest, ImportedControlsArePastedNotMoved) {
    CBaseControlState imported;
    imported.setControlType(ControlType::CC, false);
    imported.setName("Drive");
    imported.setLsbNumber(12);
    tpl.importedControls.push_back(imported);
    const CPlacedControl source(tpl.controlAt(86), 86);

    // A drag of an imported control: copy, then paste onto the target.
    copyToClipboard({source});
    executeCommand(pasteFromClipboard({at(9)}), tpl);
    EXPECT_EQ(undoName(tpl), "Paste Control");
    EXPECT_EQ(clipboard().placed()[0].GetIndex(), 86);
    EXPECT_EQ(state(9).name, "Drive");
    EXPECT_TRUE(state(9).isContinuous);
    EXPECT_EQ(tpl.importedControls[0].name, "Drive");

    executeCommand(assignImportedCommand(at(40), tpl, 0), tpl);
    EXPECT_EQ(undoName(tpl), "Assign Imported Control");
    EXPECT_EQ(state(40).lsbNumber, 12);
    EXPECT_FALSE(state(40).isContinuous);
    EXPECT_EQ(assignImportedCommand(at(40), tpl, 1), nullptr);
    EXPECT_EQ(assignImportedCommand(at(40), tpl, -1), nullptr);
}

}  // namespace
