#pragma once
// Commands that change a template-wide record: the template settings, the
// port and channel groups, one keyboard zone, and the zones switch. They
// answer false from UpdateView, so the control edit window is hidden after
// undo and redo.
#include <string>

#include "model/Command.h"
#include "model/TemplateParts.h"

class CEditorTemplate;

// A change to a template-wide record: the record inside the template (not
// owned) and two complete copies, the new one given at construction and the
// old one taken by Do. Only the part of type Data is copied, so whatever the
// live object carries beyond it (device bytes, nested records) is left alone.
template <class Record, class Data>
class CTemplateRecordCommand : public ICommand {
public:
    void Do() override {
        if (!record) return;
        oldRecord = static_cast<const Data&>(*record);
        static_cast<Data&>(*record) = newRecord;
    }
    void Undo() override {
        if (record) static_cast<Data&>(*record) = oldRecord;
    }
    bool UpdateView(bool) override { return false; }

protected:
    CTemplateRecordCommand(Record* record, const Data& newRecord) : record(record), newRecord(newRecord) {}

    Record* record;
    Data newRecord;
    Data oldRecord{};
};

class CSetTemplateLocalsCommand : public CTemplateRecordCommand<CTemplateLocals, CTemplateLocalData> {
public:
    CSetTemplateLocalsCommand(CTemplateLocals* record, const CTemplateLocalData& newRecord)
        : CTemplateRecordCommand(record, newRecord) {}
    std::string GetName() const override { return "Edit Template Settings"; }
    // The Template menu names the template.
    bool UpdateView(bool undone) override;
};

class CSetTemplateGroupsCommand : public CTemplateRecordCommand<CTemplateGroups, CTemplateGroupData> {
public:
    CSetTemplateGroupsCommand(CTemplateGroups* record, const CTemplateGroupData& newRecord)
        : CTemplateRecordCommand(record, newRecord) {}
    std::string GetName() const override { return "Edit Port Groups"; }
};

class CSetKeyboardZoneCommand : public CTemplateRecordCommand<CKeyboardZone, CKeyboardZone> {
public:
    CSetKeyboardZoneCommand(CKeyboardZone* zone, const CKeyboardZone& newZone)
        : CTemplateRecordCommand(zone, newZone) {}
    std::string GetName() const override { return "Edit Keyboard Zone"; }
};

// Switches the template's keyboard zones on or off.
class CEnableZonesCommand : public ICommand {
public:
    CEnableZonesCommand(CEditorTemplate* tpl, bool enable) : tpl(tpl), newValue(enable) {}
    void Do() override;
    void Undo() override;
    bool UpdateView(bool) override { return false; }
    std::string GetName() const override { return std::string(newValue ? "Enable" : "Disable") + " Keyboard Zones"; }

private:
    CEditorTemplate* tpl;
    bool newValue;
    bool oldValue = false;
};
