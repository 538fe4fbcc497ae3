// The undo history: execute, undo, redo, the Edit menu texts, the saved point
// and when the edit window is hidden.
#include <memory>

#include "EditingTestSupport.h"
#include "editing/ClipboardCommands.h"
#include "editing/ControlCommands.h"
#include "editing/EditMenu.h"
#include "editing/History.h"
#include "editing/MetaCommand.h"

namespace {

// A command that writes what happens to it into a shared log.
class ProbeCommand : public ICommand {
public:
    ProbeCommand(std::vector<std::string>& log, std::string name, bool keepOpen = true)
        : log_(log), name_(std::move(name)), keepOpen_(keepOpen) {}
    ~ProbeCommand() override { log_.push_back("~" + name_); }
    void Do() override { log_.push_back("do " + name_); }
    void Undo() override { log_.push_back("undo " + name_); }
    bool UpdateView(bool undone) override {
        log_.push_back((undone ? "view-undone " : "view-done ") + name_);
        return keepOpen_;
    }
    std::string GetName() const override { return name_; }

private:
    std::vector<std::string>& log_;
    std::string name_;
    bool keepOpen_;
};

class HistoryTest : public EditingTest {
protected:
    ~HistoryTest() override { tpl.clearHistory(); }  // the probes log into probeLog
    void run(std::unique_ptr<ICommand> c) { executeCommand(std::move(c), tpl); }
    std::unique_ptr<ICommand> probe(const std::string& name, bool keepOpen = true) {
        return std::make_unique<ProbeCommand>(probeLog, name, keepOpen);
    }
    std::vector<std::string> probeLog;
};

TEST_F(HistoryTest, ExecuteAfterUndoDiscardsRedoEntries) {
    run(probe("P"));
    run(probe("Q"));
    run(probe("R"));
    undoCommand(tpl);
    undoCommand(tpl);
    probeLog.clear();
    run(probe("S"));

    EXPECT_EQ(probeLog, (std::vector<std::string>{"do S", "~R", "~Q", "view-done S"}));
    ASSERT_EQ(tpl.history.size(), 2u);
    EXPECT_EQ(tpl.history[0]->GetName(), "P");
    EXPECT_EQ(tpl.history[1]->GetName(), "S");
    EXPECT_EQ(tpl.currentIndex, 1);
    EXPECT_FALSE(canRedo(tpl));
    EXPECT_EQ(redoName(tpl), "No command");
    EXPECT_EQ(redoItemLabel(&tpl, canRedo(tpl)), "Can't redo\tCtrl+Y");
    EXPECT_EQ(undoItemLabel(&tpl, canUndo(tpl)), "&Undo S\tCtrl+Z");
    EXPECT_EQ(view.log.back(), "repaint");
    EXPECT_TRUE(view.has("menu undo=1 redo=0"));
}

TEST_F(HistoryTest, UndoingEverythingLeavesNothingToUndo) {
    run(std::make_unique<CSetNameCommand>(at(3), "Cutoff"));
    EXPECT_EQ(undoItemLabel(&tpl, canUndo(tpl)), "&Undo Set Control Name\tCtrl+Z");
    EXPECT_EQ(redoItemLabel(&tpl, canRedo(tpl)), "Can't redo\tCtrl+Y");

    undoCommand(tpl);
    EXPECT_FALSE(canUndo(tpl));
    EXPECT_EQ(undoName(tpl), "No command");
    EXPECT_EQ(undoItemLabel(&tpl, canUndo(tpl)), "Can't undo\tCtrl+Z");
    EXPECT_TRUE(canRedo(tpl));
    EXPECT_EQ(redoName(tpl), "Set Control Name");
    EXPECT_EQ(redoItemLabel(&tpl, canRedo(tpl)), "&Redo Set Control Name\tCtrl+Y");
    // Without a template the items read "Can't" whatever is passed.
    EXPECT_EQ(undoItemLabel(nullptr, true), "Can't undo\tCtrl+Z");
    EXPECT_EQ(redoItemLabel(nullptr, true), "Can't redo\tCtrl+Y");
}

TEST_F(HistoryTest, UndoAndRedoOutsideTheHistoryDoNothing) {
    undoCommand(tpl);
    redoCommand(tpl);
    EXPECT_EQ(tpl.currentIndex, -1);
    EXPECT_TRUE(view.log.empty());
}

TEST_F(HistoryTest, EveryHistoryChangeRefreshesMenuTitleAndRepaints) {
    run(probe("P"));
    EXPECT_EQ(view.log, (std::vector<std::string>{"menu undo=1 redo=0", "title", "templateMenu", "repaint"}));
    view.log.clear();
    undoCommand(tpl);
    EXPECT_EQ(view.log, (std::vector<std::string>{"menu undo=0 redo=1", "title", "templateMenu", "repaint", "focus"}));
    view.log.clear();
    redoCommand(tpl);
    EXPECT_EQ(view.log, (std::vector<std::string>{"menu undo=1 redo=0", "title", "templateMenu", "repaint", "focus"}));
}

TEST_F(HistoryTest, CompositeRunsChildrenInOrderAndUndoesInReverse) {
    auto meta = std::make_unique<CMetaCommand>("Both");
    meta->AddCommand(probe("A", false));
    meta->AddCommand(probe("B"));
    CMetaCommand& m = *meta;

    m.Do();
    m.Undo();
    EXPECT_FALSE(m.UpdateView(true));   // A answers false, B is still asked
    EXPECT_FALSE(m.UpdateView(false));
    EXPECT_EQ(probeLog, (std::vector<std::string>{"do A", "do B", "undo B", "undo A", "view-undone A", "view-undone B",
                                                  "view-done B", "view-done A"}));
    probeLog.clear();
    meta.reset();
    EXPECT_EQ(probeLog, (std::vector<std::string>{"~A", "~B"}));

    EXPECT_TRUE(CMetaCommand("Nothing").UpdateView(true));
    EXPECT_TRUE(CMetaCommand("Nothing").UpdateView(false));
}

TEST_F(HistoryTest, MoveUndoesTheDeleteBeforeThePaste) {
    state(3).setControlType(ControlType::CC, true);
    state(3).setLsbNumber(74);
    state(3).setName("Cutoff");
    const CBaseControlState before3 = state(3), before7 = state(7);
    run(moveCommand({at(3)}, {at(7)}));
    view.log.clear();

    undoCommand(tpl);
    EXPECT_TRUE(state(3).sameState(before3));
    EXPECT_TRUE(state(7).sameState(before7));
    // Views are refreshed first to last after an undo: the paste target is
    // deselected, then the deleted source selected again.
    EXPECT_EQ(view.log[0], "select 7 off");
    EXPECT_EQ(view.log[1], "select 3 on");
    EXPECT_TRUE(view.has("hide"));
}

TEST_F(HistoryTest, ModifiedFollowsTheSavedPoint) {
    tpl.markSaved();
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 20));
    EXPECT_TRUE(tpl.isModified());
    view.log.clear();
    undoCommand(tpl);
    EXPECT_FALSE(tpl.isModified());
    EXPECT_TRUE(view.has("title"));  // the title loses its "*"

    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 30));
    EXPECT_TRUE(tpl.isModified());
    // The discarded entry came after the saved point, which is still reachable.
    undoCommand(tpl);
    EXPECT_FALSE(tpl.isModified());
}

TEST_F(HistoryTest, SavedPointBeforeDiscardedEntriesSurvives) {
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 20));
    tpl.markSaved();  // the file holds LSB 20
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 30));
    undoCommand(tpl);
    EXPECT_FALSE(tpl.isModified());
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 40));  // discards LSB 30
    EXPECT_TRUE(tpl.isModified());
    undoCommand(tpl);
    EXPECT_EQ(state(0).lsbNumber, 20);
    EXPECT_FALSE(tpl.isModified());
}

TEST_F(HistoryTest, SavedPointAmongDiscardedEntriesIsGoneForGood) {
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 20));
    tpl.markSaved();  // the file holds LSB 20
    undoCommand(tpl);
    run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 30));
    // Same index as the saved point, but not the saved contents.
    EXPECT_EQ(tpl.currentIndex, tpl.savedIndex);
    EXPECT_TRUE(tpl.isModified());
    undoCommand(tpl);
    EXPECT_TRUE(tpl.isModified());
}

TEST_F(HistoryTest, MarkModifiedOutlastsUndoAndRedo) {
    run(probe("P"));
    tpl.markModified();
    run(probe("Q"));
    for (int i = 0; i < 2; ++i) {
        undoCommand(tpl);
        EXPECT_TRUE(tpl.isModified());
    }
    for (int i = 0; i < 2; ++i) {
        redoCommand(tpl);
        EXPECT_TRUE(tpl.isModified());
    }
}

TEST_F(HistoryTest, LoadingInPlaceMovesTheSavedPointOnlyWhenTheLoadWorks) {
    // An edited template whose file is read in again (opening, reverting).
    struct Case {
        const char* what;
        bool loads;
        bool marksModified;  // a converted template
        bool modifiedAfter;
    };
    const Case cases[] = {
        {"read as it is", true, false, false},
        {"converted on reading", true, true, true},
        {"unreadable: the edits stay unsaved", false, false, true},
    };
    for (const Case& c : cases) {
        tpl.clearHistory();
        tpl.markSaved();
        run(std::make_unique<CSetMIDIControlLSBNumCommand>(at(0), 20));
        ASSERT_TRUE(tpl.isModified());
        const bool loaded = loadInPlace(tpl, [&] {
            if (c.marksModified) tpl.markModified();
            return c.loads;
        });
        EXPECT_EQ(loaded, c.loads) << c.what;
        EXPECT_EQ(tpl.isModified(), c.modifiedAfter) << c.what;
        if (!c.loads) {
            EXPECT_TRUE(canUndo(tpl)) << c.what;
            continue;
        }
        // The template now matches its file: nothing to undo, the state kept.
        restartHistory(tpl);
        EXPECT_FALSE(canUndo(tpl)) << c.what;
        EXPECT_EQ(tpl.isModified(), c.modifiedAfter) << c.what;
    }
}

TEST_F(HistoryTest, FalseFromUpdateViewHidesTheEditWindow) {
    run(probe("Closing", false));  // fresh execute, nothing discarded
    EXPECT_FALSE(view.has("hide"));
    EXPECT_EQ(probeLog, (std::vector<std::string>{"do Closing"}));

    undoCommand(tpl);
    EXPECT_EQ(view.count("hide"), 1);
    redoCommand(tpl);
    EXPECT_EQ(view.count("hide"), 2);

    run(probe("Open", true));
    undoCommand(tpl);
    view.log.clear();
    run(probe("Closing again", false));  // discards "Open"
    EXPECT_EQ(view.count("hide"), 1);
    EXPECT_EQ(probeLog.back(), "view-done Closing again");

    view.log.clear();
    undoCommand(tpl);
    redoCommand(tpl);
    EXPECT_EQ(view.count("hide"), 2);
}

TEST_F(HistoryTest, TrueFromUpdateViewKeepsTheEditWindow) {
    run(probe("Open", true));
    undoCommand(tpl);
    redoCommand(tpl);
    EXPECT_FALSE(view.has("hide"));
    EXPECT_EQ(probeLog, (std::vector<std::string>{"do Open", "undo Open", "view-undone Open", "do Open", "view-done Open"}));
}

TEST_F(HistoryTest, NoViewInstalledIsHarmless) {
    ScopedEditorView none(nullptr);
    run(std::make_unique<CSetControlTypeCommand>(at(0), ControlType::MMC));
    run(deleteCommand({at(1)}));
    undoCommand(tpl);
    undoCommand(tpl);
    redoCommand(tpl);
    EXPECT_EQ(state(0).controlType, ControlType::MMC);
    EXPECT_FALSE(at(0).Select(true));
    EXPECT_TRUE(view.log.empty());
}

}  // namespace
